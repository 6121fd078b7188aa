// The dialog's platform roles for tests, one fake per role over one shared fake disk: they
// record what the dialog does to its window, files, log, timers and socket, and play
// message boxes from a script that may run nested events.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "client/client_log.h"
#include "client/comment_history.h"
#include "client/dialog_texts.h"
#include "client/event_platform.h"
#include "client/history_platform.h"
#include "client/job_file_platform.h"
#include "client/log_platform.h"
#include "client/socket_platform.h"
#include "client/uTallyhornClient.h"
#include "client/window_platform.h"
#include "tests/native/common/event_printer.h"

namespace tallyhorn::client::testing {

// A history too long to be in the list before the dialog shows: "Entry 0" ... "Entry 9999"
// in no order, every tenth in capitals.
std::vector<std::string> LargeHistory();

enum class BoxKind { Confirm, Error, Information, General };

struct Box {
    BoxKind kind;
    std::string caption;
    std::string text;
    int depth;  // how many boxes were already open when this one opened
};

struct ControlView {
    std::string caption;
    bool visible = true;
    bool enabled = true;
    int left = 0;
    int top = 0;
};

struct TimerView {
    bool running = false;
    unsigned interval = 0;
    long long due = 0;
    int starts = 0;
};

// The files that every role sees: plain files by path, and profile files by path,
// section and key.
struct FakeDisk {
    std::map<std::string, std::string> files;
    std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> profiles;
    std::set<std::string> folders;        // without a final backslash; where files may be written
    std::set<std::string> lockedFiles;    // ReadWholeFile fails
    std::set<std::string> unwritable;     // WriteWholeFile and WriteProfileValue fail
    std::vector<std::string> replaced;    // every WriteWholeFile that succeeded, by path
    std::vector<std::string> readPaths;   // every ReadWholeFile, by path
    bool lockBusy = false;                // TakeSaveLock gives nothing, as after its wait
    // "lock", "read", "replace" and "unlock", in the order they happened.
    std::vector<std::string> fileSteps;

    bool Exists(const std::string& path) const { return files.count(path) || profiles.count(path); }
    bool HasFolder(const std::string& path) const { return folders.count(WithoutFinalBackslash(path)) > 0; }
    bool CanWriteIn(const std::string& path) const { return HasFolder(path.substr(0, path.rfind('\\'))); }
    void MakeFolder(const std::string& path) { folders.insert(WithoutFinalBackslash(path)); }
    // A value of a profile file, with an empty default, as GetPrivateProfileStringA reads it.
    std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key) const;
    static std::string WithoutFinalBackslash(const std::string& path) {
        return !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    }
};

class FakeWindow : public WindowPlatform {
public:
    FakeWindow();

    // ---- controls ----
    std::map<Control, ControlView> controls;
    bool okIsDefault = true;
    bool alwaysOnTop = true;
    std::string commentText;
    // The window gives the comment box the focus as it first shows the dialog.
    Control focus = Control::Comments_ComboBox;

    // ---- timers, on a clock of their own ----
    std::map<Timer, TimerView> timers;
    long long nowMs = 0;
    int timerMisuse = 0;  // a start of a running timer or a stop of a stopped one
    // The due timer that fires next at or before `untilMs`, if any; moves the clock to it.
    std::optional<Timer> NextDueTimer(long long untilMs);

    // ---- boxes: each opening box takes the next script step (its answer; the step may
    // run events first, as the box's own message loop would). No step left: answer No. ----
    using BoxStep = std::function<bool(const Box&)>;
    std::deque<BoxStep> script;
    std::vector<Box> boxes;
    int openBoxes = 0;
    std::vector<Box> BoxesOf(BoxKind kind) const;

    int quitRequests = 0;

    void SetCaption(Control control, const std::string& text) override { controls[control].caption = text; }
    void SetVisible(Control control, bool visible) override { controls[control].visible = visible; }
    void SetEnabled(Control control, bool enabled) override { controls[control].enabled = enabled; }
    void SetLeft(Control control, int left) override { controls[control].left = left; }
    void SetTop(Control control, int top) override { controls[control].top = top; }
    void SetOkIsDefault(bool isDefault) override { okIsDefault = isDefault; }
    void SetAlwaysOnTop(bool onTop) override { alwaysOnTop = onTop; }
    void GiveFocus(Control control) override { focus = control; }
    std::string CommentText() override { return commentText; }
    void StartTimer(Timer timer, unsigned intervalMs) override;
    void StopTimer(Timer timer) override;
    bool Confirm(const std::string& text) override { return OpenBox(BoxKind::Confirm, texts::kConfirmCaption, text); }
    void ShowError(const std::string& text) override { OpenBox(BoxKind::Error, texts::kErrorCaption, text); }
    void ShowInformation(const std::string& text) override {
        OpenBox(BoxKind::Information, texts::kInformationCaption, text);
    }
    void ShowGeneralError(const std::string& caption, const std::string& text) override {
        OpenBox(BoxKind::General, caption, text);
    }
    void RequestQuit() override { ++quitRequests; }

private:
    bool OpenBox(BoxKind kind, std::string_view caption, const std::string& text);
};

class FakeJobFiles : public JobFilePlatform {
public:
    explicit FakeJobFiles(FakeDisk& disk) : disk_(disk) {}

    bool FileExists(const std::string& path) override { return disk_.Exists(path); }
    std::string ReadProfileValue(const std::string& file, const std::string& section,
                                 const std::string& key) override {
        return disk_.ProfileValue(file, section, key);
    }
    bool WriteProfileValue(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& value) override;
    bool RemoveFile(const std::string& path) override {
        return disk_.files.erase(path) + disk_.profiles.erase(path) > 0;
    }

private:
    FakeDisk& disk_;
};

class FakeHistoryList : public HistoryPlatform {
public:
    FakeHistoryList(FakeDisk& disk, std::function<bool()> formShown);

    std::string roamingAppData = "C:\\Users\\Ann\\AppData\\Roaming\\";  // empty: none to be had
    std::vector<std::string> items;
    bool refuseInserts = false;
    int keysWhileFormShown = 0;  // SortKey calls while the dialog was on the screen

    // The entries in the order of CompareIgnoringCase, equal ones as they came.
    std::vector<std::string> SortedIgnoringCase(std::vector<std::string> entries);

    void ClearHistoryItems(std::size_t count, std::size_t bytes) override;
    bool InsertHistoryItem(std::size_t index, const std::string& entry) override;
    int CompareIgnoringCase(const std::string& a, const std::string& b) override;
    std::string SortKey(const std::string& text) override;
    std::string RoamingAppData() override { return roamingAppData; }
    void CreateFolder(const std::string& path) override { disk_.MakeFolder(path); }
    bool FileExists(const std::string& path) override { return disk_.Exists(path); }
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    std::unique_ptr<SaveLock> TakeSaveLock(const std::string& path, unsigned waitMs) override;

private:
    FakeDisk& disk_;
    std::function<bool()> formShown_;
};

// One connection at a time, to a server that the test plays.
class FakeSockets : public SocketPlatform {
public:
    std::uint32_t wouldBlock = 10035;
    std::uint32_t createError = 0;       // OpenSocket fails when not 0
    std::uint32_t connectError = 10035;  // what StartConnecting reports (0: connected at once)
    std::uint32_t sendError = 0;
    int sendChunk = -1;                  // the most bytes one HandOver takes; -1: no limit
    int sendRoom = -1;                   // bytes taken before a HandOver would block; -1: no limit
    std::uint32_t bytesWaitingError = 0;
    std::uint32_t receiveError = 0;
    std::uint32_t closeError = 0;
    std::string incoming;            // bytes the server has sent and not yet been read
    std::vector<std::string> sent;   // what each HandOver took
    std::string AllSent() const { return std::accumulate(sent.begin(), sent.end(), std::string()); }
    std::vector<std::string> addresses;  // the text of every ParseAddress
    std::vector<std::uint16_t> ports;    // the port of every StartConnecting
    std::vector<SocketId> closedSockets;
    std::set<SocketId> openSockets;
    SocketId lastSocket = kNoSocket;

    std::uint32_t WouldBlockCode() override { return wouldBlock; }
    SocketId OpenSocket() override {
        if (createError != 0) return kNoSocket;
        lastSocket = nextSocket_++;
        openSockets.insert(lastSocket);
        return lastSocket;
    }
    std::uint32_t ParseAddress(const std::string& text) override {
        addresses.push_back(text);
        return text == "127.0.0.1" ? 0x0100007Fu : 0xFFFFFFFFu;
    }
    CallResult StartConnecting(SocketId, std::uint32_t, std::uint16_t port) override {
        ports.push_back(port);
        return connectError == 0 ? CallResult{} : Failure(connectError);
    }
    CallResult HandOver(SocketId, const std::string& bytes) override;
    CallResult BytesWaiting(SocketId) override {
        return bytesWaitingError != 0 ? Failure(bytesWaitingError) : CallResult{true, 0, incoming.size()};
    }
    CallResult ReadWaiting(SocketId, std::size_t count, std::string& bytes) override;
    CallResult CloseConnection(SocketId socket) noexcept override {
        closedSockets.push_back(socket);
        openSockets.erase(socket);
        return closeError == 0 ? CallResult{} : Failure(closeError);
    }
    std::string SocketErrorText(std::uint32_t code) override { return "text of " + std::to_string(code); }

private:
    SocketId nextSocket_ = 100;
};

class FakeLog : public LogPlatform {
public:
    explicit FakeLog(FakeDisk& disk) : disk_(disk) {}

    // LocalNow() takes the queued readings first.
    std::deque<LocalDateTime> clockReadings;
    LocalDateTime now{2026, 12, 7, 14, 3, 27};
    std::string timeSeparator = ":";
    std::string localAppData = "C:\\Users\\Ann\\AppData\\Local\\";  // empty: none to be had

    LocalDateTime LocalNow() override;
    std::string TimeSeparator() override { return timeSeparator; }
    std::string LocalAppData() override { return localAppData; }
    bool FolderExists(const std::string& path) override { return disk_.HasFolder(path); }
    void CreateFolder(const std::string& path) override { disk_.MakeFolder(path); }
    bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) override;
    std::vector<std::string> FilesIn(const std::string& folder) override;
    bool RemoveFile(const std::string& path) override { return disk_.files.erase(path) > 0; }
    std::string ReadProfileValue(const std::string& file, const std::string& section,
                                 const std::string& key) override {
        return disk_.ProfileValue(file, section, key);
    }

private:
    FakeDisk& disk_;
};

class FakeEvents : public EventPlatform {
public:
    std::vector<events::Event> events;  // written to the Application log, in order

    void RecordEvent(const events::Event& event) override { events.push_back(event); }
};

// Every role on one disk, as the program has them.
class FakePlatform : public FakeDisk,
                     public FakeWindow,
                     public FakeJobFiles,
                     public FakeHistoryList,
                     public FakeSockets,
                     public FakeLog,
                     public FakeEvents {
public:
    FakePlatform();
    using FakeJobFiles::FileExists;
    using FakeJobFiles::ReadProfileValue;
    using FakeJobFiles::RemoveFile;

    // What the program is started with, but the job file.
    std::string programFolder = "C:\\Apps\\";
    std::string programFileName = "TallyhornClient.exe";

    // Helpers for tests: the user's log folder and today's log in it, the user's history
    // and the one that earlier versions shared in the program folder.
    std::string LogFolder() const { return localAppData + "Tallyhorn\\Debug\\"; }
    std::string LogPath() const;
    std::vector<std::string> LogMessages() const;
    std::string HistoryPath() const { return roamingAppData + "Tallyhorn\\Tallyhorn.Cmt"; }
    std::string EarlierHistoryPath() const { return programFolder + "Tallyhorn.Cmt"; }
    void PutJobFile(const std::string& path, const std::map<std::string, std::string>& values);
};

// The dialog put together from its parts on a fake platform, as the program's entry does,
// started with `jobFile` as its argument.
struct FakeDialog {
    explicit FakeDialog(FakePlatform& platform, const std::string& jobFile = {})
        : history(platform),
          log(platform),
          form({platform.programFolder, platform.programFileName, jobFile},
               {platform, platform, platform, platform, history, log}) {}
    CommentHistory history;
    ClientLog log;
    TForm1 form;
};

}  // namespace tallyhorn::client::testing
