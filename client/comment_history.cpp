// The comment history: the sorted drop-down list of Comments_ComboBox and the file
// Tallyhorn\Tallyhorn.Cmt in the user's roaming application data folder that keeps it
// between runs.
#include "client/comment_history.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <new>
#include <unordered_set>
#include <utility>

#include "client/dialog_error.h"
#include "client/dialog_texts.h"

namespace tallyhorn::client {

namespace {

// A history up to this size (some thousands of comments) is in the list before the dialog
// shows. A larger one is only read then; the rest is done after the dialog shows, in
// steps of these sizes, a few milliseconds each.
constexpr std::size_t kBytesAtOnce = 64 * 1024;
constexpr std::size_t kKeysPerStep = 8192;
constexpr std::size_t kShowPerStep = 4096;
// Each insert into a long drop-down moves every entry after it; beyond this many inserts
// the whole list is handed over again instead.
constexpr std::size_t kInsertsAtMost = 256;
// How long a save waits for another dialog's save before it goes ahead regardless.
constexpr unsigned kSaveLockWaitMs = 5000;

// Moves the texts out, in the order that `order` found.
std::vector<std::string> InOrder(std::vector<std::string>& texts, const StepwiseOrder& order) {
    std::vector<std::string> ordered;
    ordered.reserve(texts.size());
    for (const std::uint32_t index : order.Order()) {
        ordered.push_back(std::move(texts[index]));
    }
    return ordered;
}

}  // namespace

std::vector<std::string> ParseHistory(std::string_view bytes) {
    std::string withoutZeros;
    if (bytes.find('\0') != std::string_view::npos) {
        if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
            bytes.remove_prefix(2);  // the byte-order mark of UTF-16
        }
        withoutZeros.reserve(bytes.size());
        std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(withoutZeros), [](char c) { return c != '\0'; });
        bytes = withoutZeros;
    }
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        entries.emplace_back(bytes.substr(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        entries.emplace_back(bytes.substr(start));
    }
    return entries;
}

std::string FormatHistory(const std::vector<std::string>& entries) {
    std::size_t size = 0;
    for (const auto& entry : entries) {
        size += entry.size() + 2;
    }
    std::string bytes;
    bytes.reserve(size);
    for (const auto& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }
    return bytes;
}

// ---------------------------------------------------------------- StepwiseOrder

StepwiseOrder::StepwiseOrder(std::size_t runLength, std::size_t mergeStep)
    : runLength_(std::max<std::size_t>(runLength, 1)), mergeStep_(std::max<std::size_t>(mergeStep, 1)) {}

void StepwiseOrder::Add(std::string_view key) {
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        head = (head << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    }
    items_.push_back({head, static_cast<std::uint32_t>(keys_.size()), static_cast<std::uint32_t>(key.size()),
                      static_cast<std::uint32_t>(items_.size())});
    keys_.append(key);
}

int StepwiseOrder::Compare(const Item& a, const Item& b) const {
    if (a.head != b.head) {
        return a.head < b.head ? -1 : 1;
    }
    const int bytes = std::memcmp(keys_.data() + a.offset, keys_.data() + b.offset, std::min(a.length, b.length));
    if (bytes != 0) {
        return bytes;
    }
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

void StepwiseOrder::StartPair(std::size_t lo) {
    const std::size_t n = items_.size();
    left_ = out_ = lo;
    leftEnd_ = right_ = std::min(lo + width_, n);
    rightEnd_ = std::min(lo + 2 * width_, n);
}

bool StepwiseOrder::Step() {
    if (done_) {
        return false;
    }
    const std::size_t n = items_.size();
    const auto less = [this](const Item& a, const Item& b) { return Less(a, b); };
    if (sortedRuns_ * runLength_ < n) {
        const auto first = items_.begin() + static_cast<std::ptrdiff_t>(sortedRuns_ * runLength_);
        std::stable_sort(first, first + static_cast<std::ptrdiff_t>(std::min(runLength_, n - sortedRuns_ * runLength_)),
                         less);
        ++sortedRuns_;
        return true;
    }
    if (width_ == 0) {
        if (runLength_ >= n) {
            done_ = true;
            return false;
        }
        width_ = runLength_;
        merged_.resize(n);
        StartPair(0);
    }
    // Bottom-up merging of neighbouring runs into merged_, resumable at any item; on
    // equal keys the left run goes first, so the order stays stable.
    for (std::size_t budget = mergeStep_; budget > 0; --budget) {
        if (out_ == rightEnd_) {
            if (rightEnd_ < n) {
                StartPair(rightEnd_);
                continue;
            }
            items_.swap(merged_);
            width_ *= 2;
            if (width_ >= n) {
                merged_ = {};
                done_ = true;
                return false;
            }
            StartPair(0);
            continue;
        }
        const bool takeLeft = left_ < leftEnd_ && (right_ == rightEnd_ || !Less(items_[right_], items_[left_]));
        merged_[out_++] = items_[takeLeft ? left_++ : right_++];
    }
    return true;
}

std::vector<std::uint32_t> StepwiseOrder::Order() const {
    std::vector<std::uint32_t> order;
    order.reserve(items_.size());
    for (const Item& item : items_) {
        order.push_back(item.index);
    }
    return order;
}

bool StepwiseOrder::SameAsPrevious(std::size_t place) const {
    return place > 0 && Compare(items_[place - 1], items_[place]) == 0;
}

// ---------------------------------------------------------------- CommentHistory

// A history read but not yet in the list: its entries in file order, their keys going
// into the order step by step.
struct CommentHistory::Loading {
    std::string bytes;
    bool parsed = false;
    std::vector<std::string> entries;
    StepwiseOrder order;
    std::size_t keyed = 0;
};

CommentHistory::CommentHistory(HistoryPlatform& platform) : platform_(platform) {}

CommentHistory::~CommentHistory() = default;

bool CommentHistory::Less(const std::string& a, const std::string& b) {
    return platform_.CompareIgnoringCase(a, b) < 0;
}

bool CommentHistory::Contains(const std::string& text) {
    // Entries that compare equal sit together in the sorted list, so the first one not
    // below `text` decides.
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), text,
                                     [this](const std::string& a, const std::string& b) { return Less(a, b); });
    return at != entries_.end() && platform_.CompareIgnoringCase(*at, text) == 0;
}

bool CommentHistory::Busy() const {
    return loading_ || !noted_.empty() || (shown_ < entries_.size() && !listFull_);
}

std::string CommentHistory::EarlierFile(const std::string& programFolder) {
    return programFolder + std::string(texts::kHistoryFile);
}

std::string CommentHistory::OwnFile() {
    const std::string roaming = platform_.RoamingAppData();
    return roaming.empty() ? std::string()
                           : roaming + std::string(texts::kUserDataFolder) + std::string(texts::kHistoryFile);
}

void CommentHistory::Load(const std::string& programFolder) {
    try {
        const std::string own = OwnFile();
        std::optional<std::string> bytes;
        if (!own.empty()) {
            bytes = platform_.ReadWholeFile(own);
        }
        if (!bytes && (own.empty() || !platform_.FileExists(own))) {
            bytes = platform_.ReadWholeFile(EarlierFile(programFolder));
        }
        if (!bytes) {
            return;
        }
        auto loading = std::make_unique<Loading>();
        loading->bytes = std::move(*bytes);
        entries_.clear();
        lastSeen_.clear();
        const bool atOnce = loading->bytes.size() <= kBytesAtOnce;
        loading_ = std::move(loading);
        while (atOnce && Continue()) {
        }
    } catch (...) {  // best effort: the list keeps what it had
    }
}

bool CommentHistory::Continue() {
    if (!loading_ && !noted_.empty()) {
        // The noted save gets a step of its own: the ordering's last step was long enough.
        SaveNoted(notedFolder_);
        return Busy();
    }
    try {
        if (loading_) {
            StepLoading();
        } else if (Busy()) {
            ShowMore();
        }
    } catch (...) {  // best effort
        // An ordering that fails is dropped (the save still merges the whole file in, as
        // lastSeen_ is empty); a drop-down that fails takes nothing more.
        if (loading_) {
            loading_.reset();
        } else {
            listFull_ = true;
        }
    }
    return Busy();
}

void CommentHistory::StepLoading() {
    Loading& loading = *loading_;
    if (!loading.parsed) {
        loading.entries = ParseHistory(loading.bytes);
        loading.parsed = true;
        ClearDropDown(loading.entries);
        return;
    }
    const std::size_t count = loading.entries.size();
    if (loading.keyed < count) {
        const std::size_t end = std::min(loading.keyed + kKeysPerStep, count);
        for (; loading.keyed < end; ++loading.keyed) {
            loading.order.Add(platform_.SortKey(loading.entries[loading.keyed]));
        }
        return;
    }
    if (loading.order.Step()) {
        return;
    }
    entries_ = InOrder(loading.entries, loading.order);
    lastSeen_ = std::move(loading.bytes);
    loading_.reset();
}

void CommentHistory::CompleteLoading() {
    try {
        while (loading_) {
            StepLoading();
        }
    } catch (...) {  // best effort: the save merges the whole file in instead
        loading_.reset();
    }
}

void CommentHistory::ShowMore() {
    const std::size_t end = std::min(shown_ + kShowPerStep, entries_.size());
    for (; shown_ < end; ++shown_) {
        if (!platform_.InsertHistoryItem(shown_, entries_[shown_])) {
            listFull_ = true;
            return;
        }
    }
}

void CommentHistory::ClearDropDown(const std::vector<std::string>& coming) {
    std::size_t textBytes = 0;
    for (const auto& entry : coming) {
        textBytes += entry.size() + 1;
    }
    platform_.ClearHistoryItems(coming.size(), textBytes);
    shown_ = 0;
    listFull_ = false;
}

// The drop-down takes the whole list again: a short one at once, a long one step by step.
void CommentHistory::ShowAgain() {
    ClearDropDown(entries_);
    while (entries_.size() <= kShowPerStep && Busy()) {
        ShowMore();
    }
}

void CommentHistory::AddKeys(StepwiseOrder& order, const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
        order.Add(platform_.SortKey(text));
    }
}

void CommentHistory::Record(const std::string& comment) {
    // An early close must find the entries of a history still being ordered.
    CompleteLoading();
    if (Contains(comment)) {
        return;
    }
    const auto at = std::upper_bound(entries_.begin(), entries_.end(), comment,
                                     [this](const std::string& a, const std::string& b) { return Less(a, b); });
    const auto index = static_cast<std::size_t>(at - entries_.begin());
    std::string entry;
    try {
        // Everything that can run out of memory happens before the drop-down changes, so
        // the model and the drop-down never part.
        entries_.reserve(entries_.size() + 1);
        entry = comment;
    } catch (const std::bad_alloc&) {
        throw DialogError(std::string(texts::kUnableToInsertLine));
    }
    // Beyond what the drop-down holds so far, the entry reaches it with the rest.
    if (index <= shown_) {
        if (!platform_.InsertHistoryItem(index, entry)) {
            throw DialogError(std::string(texts::kUnableToInsertLine));
        }
        ++shown_;
    }
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), std::move(entry));
}

void CommentHistory::MergeAndSave(const std::string& path, const std::string& earlierPath) {
    // Read, merge and replace as one, or two dialogs closing together each write a file
    // that lacks the other's comment.
    const std::unique_ptr<SaveLock> lock = platform_.TakeSaveLock(path, kSaveLockWaitMs);
    auto bytes = platform_.ReadWholeFile(path);
    if (!bytes) {
        // A file that is there but cannot be read now (locked, no access) is left whole
        // rather than replaced by a list that lacks its entries.
        if (platform_.FileExists(path)) {
            return;
        }
        // The user's first file takes in the comments that everyone shared before, also
        // when the dialog closes before it has loaded them.
        bytes = platform_.ReadWholeFile(earlierPath);
    }
    if (bytes && *bytes != lastSeen_) {
        MergeIn(ParseHistory(*bytes));
    }
    std::string written = FormatHistory(entries_);
    if (platform_.WriteWholeFile(path, written)) {
        lastSeen_ = std::move(written);
    }
}

// Adds the comments that another client saved since this one loaded the file. Whether
// one is a duplicate is judged against the list as it was, as when recording.
void CommentHistory::MergeIn(std::vector<std::string> fileEntries) {
    // Another client's file holds mostly this list's own entries, byte for byte: those
    // need no search.
    std::vector<std::string> candidates;
    {
        const std::unordered_set<std::string_view> listed(entries_.begin(), entries_.end());
        for (auto& entry : fileEntries) {
            if (!listed.contains(entry)) {
                candidates.push_back(std::move(entry));
            }
        }
    }
    if (candidates.empty()) {
        return;
    }
    // A search costs some comparisons per candidate, keys cost one call per entry of both.
    const std::size_t searchCost = candidates.size() * static_cast<std::size_t>(std::bit_width(entries_.size() + 1));
    if (searchCost <= entries_.size() + candidates.size()) {
        MergeFew(std::move(candidates));
    } else {
        MergeMany(std::move(candidates));
    }
}

void CommentHistory::MergeFew(std::vector<std::string> candidates) {
    const auto less = [this](const std::string& a, const std::string& b) { return Less(a, b); };
    std::vector<std::string> added;
    for (auto& candidate : candidates) {
        if (!Contains(candidate)) {
            added.push_back(std::move(candidate));
        }
    }
    if (added.empty()) {
        return;
    }
    // Sorted by keys: the new ones can be a whole file (one that could not be read at start).
    StepwiseOrder order;
    AddKeys(order, added);
    while (order.Step()) {
    }
    std::vector<std::string> sortedAdded = InOrder(added, order);
    std::vector<std::string> merged;
    merged.reserve(entries_.size() + added.size());
    std::vector<std::size_t> places;
    auto from = entries_.begin();
    for (auto& entry : sortedAdded) {
        const auto at = std::upper_bound(from, entries_.end(), entry, less);
        std::move(from, at, std::back_inserter(merged));
        places.push_back(merged.size());
        merged.push_back(std::move(entry));
        from = at;
    }
    std::move(from, entries_.end(), std::back_inserter(merged));
    entries_ = std::move(merged);
    // The drop-down holds the start of the list. New entries that land there are inserted
    // now, unless there are so many that handing over the whole list again costs less.
    if (places.size() > kInsertsAtMost) {
        ShowAgain();
        return;
    }
    for (const std::size_t place : places) {
        if (place > shown_) {
            break;
        }
        if (!platform_.InsertHistoryItem(place, entries_[place])) {
            ShowAgain();
            return;
        }
        ++shown_;
    }
}

// Many candidates: both lists ordered by keys together, the list's own entries first,
// so that a candidate whose key no entry of the list shares is added at its place.
void CommentHistory::MergeMany(std::vector<std::string> candidates) {
    StepwiseOrder order;
    AddKeys(order, entries_);
    AddKeys(order, candidates);
    while (order.Step()) {
    }
    const std::size_t listed = entries_.size();
    std::vector<std::string> merged;
    merged.reserve(order.Size());
    bool groupListed = false;
    bool added = false;
    const std::vector<std::uint32_t> indices = order.Order();
    for (std::size_t place = 0; place < indices.size(); ++place) {
        const std::size_t index = indices[place];
        if (!order.SameAsPrevious(place)) {
            groupListed = index < listed;
        }
        if (index < listed) {
            merged.push_back(std::move(entries_[index]));
        } else if (!groupListed) {
            merged.push_back(std::move(candidates[index - listed]));
            added = true;
        }
    }
    entries_ = std::move(merged);
    if (added) {
        ShowAgain();
    }
}

void CommentHistory::RecordAndSave(const std::string& programFolder, const std::string& comment) {
    noted_.push_back(comment);
    SaveNoted(programFolder);
}

void CommentHistory::RecordAndSaveSoon(const std::string& programFolder, const std::string& comment) {
    if (!Ordering()) {
        RecordAndSave(programFolder, comment);
        return;
    }
    noted_.push_back(comment);
    notedFolder_ = programFolder;
}

void CommentHistory::SaveNoted(const std::string& programFolder) {
    // Taken out before recording, so that after a refused insert the next close attempt
    // records only its own comment, as after a save at once.
    const std::vector<std::string> comments = std::exchange(noted_, {});
    for (const auto& comment : comments) {
        Record(comment);
    }
    try {
        const std::string own = OwnFile();
        if (!own.empty()) {
            platform_.CreateFolder(own.substr(0, own.rfind('\\')));
            MergeAndSave(own, EarlierFile(programFolder));
        }
    } catch (...) {  // best effort: a failed save leaves the old file whole, and the close goes on
    }
}

}  // namespace tallyhorn::client
