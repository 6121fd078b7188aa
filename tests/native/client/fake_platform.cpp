// The dialog's platform roles for tests, one fake per role over one shared fake disk: they
// record what the dialog does to its window, files, log, timers and socket, and play
// message boxes from a script that may run nested events.
#include "tests/native/client/fake_platform.h"

#include <algorithm>
#include <cctype>

#include "client/dialog_design.h"

namespace tallyhorn::client::testing {

std::vector<std::string> LargeHistory() {
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < 10000; ++i) {
        const std::size_t k = (i * 7919) % 10000;
        entries.push_back((k % 10 ? "Entry " : "ENTRY ") + std::to_string(k));
    }
    return entries;
}

FakeWindow::FakeWindow() {
    // The designed state, as the window shows it before the activation: all enabled.
    for (const ControlDesign& design : DesignedDialog()) {
        controls[design.control] = {design.caption, design.visible, true, design.left, design.top};
    }
}

FakeHistoryList::FakeHistoryList(FakeDisk& disk, std::function<bool()> formShown)
    : disk_(disk), formShown_(std::move(formShown)) {}

FakePlatform::FakePlatform()
    : FakeJobFiles(static_cast<FakeDisk&>(*this)),
      FakeHistoryList(static_cast<FakeDisk&>(*this), [this] { return controls[Control::Form].visible; }),
      FakeLog(static_cast<FakeDisk&>(*this)) {
    folders.insert(programFolder + "Debug");
}

std::vector<Box> FakeWindow::BoxesOf(BoxKind kind) const {
    std::vector<Box> found;
    std::copy_if(boxes.begin(), boxes.end(), std::back_inserter(found), [kind](const Box& b) { return b.kind == kind; });
    return found;
}

std::string FakePlatform::LogPath() const { return ClientLogPath(LogFolder(), now); }

std::vector<std::string> FakePlatform::LogMessages() const {
    std::vector<std::string> messages;
    const auto it = files.find(LogPath());
    if (it == files.end()) {
        return messages;
    }
    std::string_view rest = it->second;
    while (!rest.empty()) {
        const auto end = rest.find("\r\n");
        const auto line = rest.substr(0, end);
        messages.emplace_back(line.substr(std::min<std::size_t>(10, line.size())));  // after "hh:nn:ss  "
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    }
    return messages;
}

void FakePlatform::PutJobFile(const std::string& path, const std::map<std::string, std::string>& values) {
    profiles[path]["PrintJob"] = values;
}

std::optional<Timer> FakeWindow::NextDueTimer(long long untilMs) {
    std::optional<Timer> next;
    for (auto& [timer, view] : timers) {
        if (view.running && view.due <= untilMs && (!next || view.due < timers[*next].due)) {
            next = timer;
        }
    }
    if (next) {
        TimerView& view = timers[*next];
        nowMs = view.due;
        view.due += view.interval;  // a window timer repeats until it is stopped
    }
    return next;
}

void FakeHistoryList::ClearHistoryItems(std::size_t, std::size_t) { items.clear(); }

bool FakeHistoryList::InsertHistoryItem(std::size_t index, const std::string& entry) {
    if (refuseInserts || index > items.size()) {
        return false;
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), entry);
    return true;
}

int FakeHistoryList::CompareIgnoringCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<std::string> FakeHistoryList::SortedIgnoringCase(std::vector<std::string> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const auto& a, const auto& b) { return CompareIgnoringCase(a, b) < 0; });
    return entries;
}

// Lower-case bytes: their order is the order of CompareIgnoringCase above.
std::string FakeHistoryList::SortKey(const std::string& text) {
    keysWhileFormShown += formShown_() ? 1 : 0;
    std::string key = text;
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

void FakeWindow::StartTimer(Timer timer, unsigned intervalMs) {
    TimerView& view = timers[timer];
    if (view.running) {
        ++timerMisuse;
    }
    view = {true, intervalMs, nowMs + intervalMs, view.starts + 1};
}

void FakeWindow::StopTimer(Timer timer) {
    TimerView& view = timers[timer];
    if (!view.running) {
        ++timerMisuse;
    }
    view.running = false;
}

bool FakeWindow::OpenBox(BoxKind kind, std::string_view caption, const std::string& text) {
    const Box box{kind, std::string(caption), text, openBoxes};
    boxes.push_back(box);
    if (script.empty()) {
        return false;
    }
    BoxStep step = std::move(script.front());
    script.pop_front();
    ++openBoxes;
    const bool answer = step(box);
    --openBoxes;
    return answer;
}

std::string FakeDisk::ProfileValue(const std::string& file, const std::string& section,
                                   const std::string& key) const {
    const auto f = profiles.find(file);
    if (f == profiles.end()) {
        return {};
    }
    const auto s = f->second.find(section);
    if (s == f->second.end()) {
        return {};
    }
    const auto k = s->second.find(key);
    return k == s->second.end() ? std::string() : k->second.substr(0, 2047);
}

bool FakeJobFiles::WriteProfileValue(const std::string& file, const std::string& section, const std::string& key,
                                     const std::string& value) {
    if (disk_.unwritable.count(file)) {
        return false;
    }
    disk_.profiles[file][section][key] = value;
    return true;
}

std::optional<std::string> FakeHistoryList::ReadWholeFile(const std::string& path) {
    disk_.readPaths.push_back(path);
    disk_.fileSteps.push_back("read");
    const auto it = disk_.files.find(path);
    if (it == disk_.files.end() || disk_.lockedFiles.count(path)) {
        return std::nullopt;
    }
    return it->second;
}

bool FakeHistoryList::WriteWholeFile(const std::string& path, const std::string& bytes) {
    if (disk_.unwritable.count(path) || !disk_.CanWriteIn(path)) {
        return false;
    }
    disk_.files[path] = bytes;
    disk_.replaced.push_back(path);
    disk_.fileSteps.push_back("replace");
    return true;
}

std::unique_ptr<SaveLock> FakeHistoryList::TakeSaveLock(const std::string&, unsigned) {
    struct Held final : SaveLock {
        explicit Held(std::vector<std::string>& steps) : steps(steps) { steps.push_back("lock"); }
        ~Held() override { steps.push_back("unlock"); }
        std::vector<std::string>& steps;
    };
    return disk_.lockBusy ? nullptr : std::make_unique<Held>(disk_.fileSteps);
}

bool FakeLog::AppendToLog(const std::string& path, const std::string& bytes, bool& created) {
    if (!disk_.CanWriteIn(path)) {
        return false;
    }
    created = !disk_.files.count(path);
    disk_.files[path] += bytes;
    return true;
}

std::vector<std::string> FakeLog::FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& [path, bytes] : disk_.files) {
        if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path.find('\\', folder.size()) == std::string::npos) {
            names.push_back(path.substr(folder.size()));
        }
    }
    return names;
}

LocalDateTime FakeLog::LocalNow() {
    if (clockReadings.empty()) {
        return now;
    }
    const LocalDateTime reading = clockReadings.front();
    clockReadings.pop_front();
    return reading;
}

CallResult FakeSockets::HandOver(SocketId, const std::string& bytes) {
    if (sendError != 0) {
        return Failure(sendError);
    }
    if (sendRoom == 0) {
        return Failure(wouldBlock);
    }
    std::size_t taken = bytes.size();
    for (const int limit : {sendChunk, sendRoom}) {
        taken = limit < 0 ? taken : std::min<std::size_t>(taken, static_cast<std::size_t>(limit));
    }
    sendRoom = sendRoom < 0 ? sendRoom : sendRoom - static_cast<int>(taken);
    sent.push_back(bytes.substr(0, taken));
    return {true, 0, taken};
}

CallResult FakeSockets::ReadWaiting(SocketId, std::size_t count, std::string& bytes) {
    if (receiveError != 0) {
        return Failure(receiveError);
    }
    bytes = incoming.substr(0, count);
    incoming.erase(0, bytes.size());
    return {true, 0, bytes.size()};
}

}  // namespace tallyhorn::client::testing
