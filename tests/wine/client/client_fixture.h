// What the dialog's Wine tests share: a program folder of their own per test, the job
// file, the client log and history, the stand-in server, and waiting for what a user sees.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "client/windows/control_ids.h"
#include "tools/uidriver/uidriver.h"

namespace tallyhorn::client::wine_test {

using namespace tallyhorn::client::win;
namespace driver = tallyhorn::uidriver;

// A path of the build tree (Unix) as Wine sees it (Z:\...).
std::string WinePath(const std::string& unixPath);
// Polls `done` until it is true or the time is up; the last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The value of one key of a profile-format file.
std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key);

// The job file's contents, raw: [PrintJob] and the keys in the given order.
std::string JobFileText(const std::vector<std::pair<std::string, std::string>>& keys);
std::vector<std::pair<std::string, std::string>> CommentJob(const std::string& jobId = "1234");

// One run of TallyhornClient.exe from a program folder of its own under C:\, with a
// Debug\ subfolder (the client log) unless told otherwise; `name` tells apart several
// runs of one test. Ends the program if it is still running at the end and removes the
// folder.
class ClientRun {
public:
    explicit ClientRun(bool withLogFolder = true, const std::string& name = "");
    ~ClientRun();
    ClientRun(const ClientRun&) = delete;
    ClientRun& operator=(const ClientRun&) = delete;

    const std::string& Folder() const { return folder_; }
    std::string JobFile() const { return folder_ + "job.txt"; }
    std::string ResponseFile() const { return JobFile() + ".response"; }
    std::string HistoryFile() const { return folder_ + "Tallyhorn.Cmt"; }

    void WriteJob(const std::vector<std::pair<std::string, std::string>>& keys);
    // Starts the program with the job file path (or `arguments` as given) and waits for
    // its dialog; false when none appeared.
    bool Start(int showState = -1);
    bool StartWithArguments(const std::string& arguments, int showState = -1);
    // Waits for the activation to arrange the dialog (its caption leaves "Tallyhorn").
    bool WaitForActivation(const std::string& caption);
    bool WaitForExit(DWORD timeoutMs = 10000);

    HWND Dialog() const { return dialog_; }
    DWORD ProcessId() const { return program_.processId; }
    driver::ControlState Control(int id) const { return driver::ReadControl(dialog_, id); }
    std::string Text(int id) const { return Control(id).text; }
    HWND ControlWindow(int id) const { return GetDlgItem(dialog_, id); }

    // The client log's messages (without their time stamps), oldest first.
    std::vector<std::string> LogMessages() const;
    // Every log line in full, as written.
    std::vector<std::string> LogLines() const;
    std::string History() const { return ReadFileBytes(HistoryFile()); }

    // The next message box of the program that is not in `known`.
    driver::MessageBoxInfo WaitForBox(DWORD timeoutMs = 10000, const std::vector<HWND>& known = {});
    // Puts the dialog in front and presses and releases a key as a person does.
    void Press(WORD virtualKey);
    void SetComment(const std::string& text);
    void Click(int buttonId);

private:
    std::string folder_;
    std::string exe_;
    driver::Program program_;
    HWND dialog_ = nullptr;
};

// The stand-in comment server, started for one test and ended at its end.
class CommentServer {
public:
    explicit CommentServer(const std::string& mode, const std::vector<std::string>& extra = {});
    ~CommentServer();
    CommentServer(const CommentServer&) = delete;
    CommentServer& operator=(const CommentServer&) = delete;

    bool Ready() const { return ready_; }
    // Every byte that clients sent, in arrival order.
    std::string Received() const { return ReadFileBytes(record_); }
    // The server's event lines.
    std::string Log() const { return ReadFileBytes(log_); }
    int Connections() const;

private:
    std::string folder_;
    std::string record_;
    std::string log_;
    driver::Program program_;
    bool ready_ = false;
};

// Sets the system DPI that programs started from now on see (LogPixels under
// HKCU "Control Panel\Desktop"), and puts 96 back at the end.
class SystemDpi {
public:
    explicit SystemDpi(DWORD dpi);
    ~SystemDpi();
};

}  // namespace tallyhorn::client::wine_test
