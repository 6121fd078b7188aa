// What the dialog's Wine tests share: a program folder of their own per test, the job
// file, the dialog shown and arranged, its log, history and boxes, the stand-in server.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "client/windows/control_ids.h"
#include "tests/wine/common/test_support.h"
#include "tools/uidriver/uidriver.h"

namespace tallyhorn::client::wine_test {

using namespace tallyhorn::client::win;
using namespace tallyhorn::wine_test;
namespace driver = tallyhorn::uidriver;

// The captions that say the activation has arranged the dialog for its mode.
inline constexpr char kCommentCaption[] = "Tallyhorn: enter comment";
inline constexpr char kRejectCaption[] = "Message from Tallyhorn server";
inline constexpr char kQuotaCaption[] = "Tallyhorn: Quota alert";

// A job file's keys, in the order the file gives them.
using JobKeys = std::vector<std::pair<std::string, std::string>>;
inline constexpr char kJobErrorMsg[] = "Your monthly quota of 100 pages is used up.";
// A job as a monitor writes it: printer "HP LaserJet 4", "Quarterly report.docx", 12
// pages, the ErrorMsg above, server 127.0.0.1, with this Action and JobID.
JobKeys Job(const std::string& action, const std::string& jobId = "1234");
inline JobKeys CommentJob(const std::string& jobId = "1234") { return Job("COMMENT", jobId); }
// The job with one key's value replaced.
JobKeys With(JobKeys job, const std::string& key, const std::string& value);
// The job file's contents, raw: [PrintJob] and the keys in their order.
std::string JobFileText(const JobKeys& keys);

// The user's own folder of the dialog's data: Tallyhorn\ in %APPDATA% (`roaming`) or
// %LOCALAPPDATA%, as the test's environment names them, ending in a backslash.
std::string UserDataFolder(bool roaming);

// One run of TallyhornClient.exe from a fresh program folder under C:\ with a folder
// Debug (the client log's switch) unless told otherwise; `name` tells apart several runs
// of one test. The user's data folders start empty. The program is ended and the folders
// removed at the end.
class ClientRun {
public:
    explicit ClientRun(bool withLogFolder = true, const std::string& name = "");
    ~ClientRun();
    ClientRun(const ClientRun&) = delete;
    ClientRun& operator=(const ClientRun&) = delete;

    const std::string& Folder() const { return folder_; }
    std::string JobFile() const { return folder_ + "job.txt"; }
    std::string ResponseFile() const { return JobFile() + ".response"; }
    // The user's history, and the one that earlier versions shared in the program folder.
    std::string HistoryFile() const { return UserDataFolder(true) + "Tallyhorn.Cmt"; }
    std::string EarlierHistoryFile() const { return folder_ + "Tallyhorn.Cmt"; }
    // Writes the user's history, making its folder.
    bool WriteHistory(const std::string& bytes) const;

    void WriteJob(const JobKeys& keys);
    // Starts the program with the job file path and waits for its dialog; false when
    // none appeared.
    bool Start(int showState = -1);
    // Starts the program with `arguments` as given, without waiting for a dialog (one
    // that closes at once may be gone before it could be found); false when it did not start.
    bool Launch(const std::string& arguments, int showState = -1);
    // Waits for the activation to arrange the dialog (its caption leaves "Tallyhorn").
    bool WaitForActivation(const std::string& caption);
    // Writes the job, starts the program with it and waits until the dialog is shown and
    // arranged: the usual start of a test.
    ::testing::AssertionResult Show(const JobKeys& job, const std::string& caption, int showState = -1);
    bool WaitForExit(DWORD timeoutMs = 10000);
    // Waits until the dialog takes input again (after a box it owned has closed).
    bool WaitUntilEnabled() const;

    HWND Dialog() const { return dialog_; }
    DWORD ProcessId() const { return program_.processId; }
    driver::ControlState Control(int id) const { return driver::ReadControl(dialog_, id); }
    std::string Text(int id) const { return Control(id).text; }
    HWND ControlWindow(int id) const { return GetDlgItem(dialog_, id); }

    // The client log's folder, and its messages (without their time stamps), oldest first.
    static std::string LogFolder() { return UserDataFolder(false) + "Debug\\"; }
    std::vector<std::string> LogMessages() const;
    // How many times the log has this message.
    int Logged(const std::string& message) const;
    // Every log line in full, as written.
    std::vector<std::string> LogLines() const;
    std::string History() const { return ReadBytes(HistoryFile()); }
    // The Response value of the response file.
    std::string Response() const { return ProfileValue(ResponseFile(), "PrintJob", "Response"); }

    // The next message box of the program that is not in `known`.
    driver::MessageBoxInfo WaitForBox(DWORD timeoutMs = 10000, const std::vector<HWND>& known = {});
    // Waits for the next box, checks its text, clicks the button (IDYES, IDNO ...) and
    // waits for the box to close.
    ::testing::AssertionResult AnswerBox(const std::string& text, int buttonId, const std::vector<HWND>& known = {});
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

// Values under HKEY_CURRENT_USER that programs read as they start (under Wine: the DPI,
// the colour scheme, the visual style), set for the programs started from now on and put
// back at the end: texts, or with REG_DWORD numbers given as their four bytes.
class UserRegistryValues {
public:
    UserRegistryValues(const std::string& key, const std::vector<std::pair<std::string, std::string>>& values,
                       DWORD type = REG_SZ);
    ~UserRegistryValues();
    UserRegistryValues(const UserRegistryValues&) = delete;
    UserRegistryValues& operator=(const UserRegistryValues&) = delete;

private:
    struct Old {
        std::string name;
        DWORD type;  // REG_NONE: there was none
        std::string bytes;
    };
    std::string key_;
    std::vector<Old> old_;
};

// The DPI that Wine gives to programs.
inline UserRegistryValues SystemDpi(DWORD dpi) {
    return {"Control Panel\\Desktop", {{"LogPixels", std::string(reinterpret_cast<const char*>(&dpi), sizeof dpi)}},
            REG_DWORD};
}

// What Windows switches to with "High Contrast Black": white text on black, and no visual
// style, so that the controls too are drawn in the scheme. (Wine refuses to switch high
// contrast on, so it is set by its parts.)
struct HighContrastBlack {
    UserRegistryValues colours{
        "Control Panel\\Colors",
        {{"WindowText", "255 255 255"}, {"Window", "0 0 0"}, {"ButtonFace", "0 0 0"}, {"ButtonText", "255 255 255"},
         {"ButtonHilight", "255 255 255"}, {"ButtonLight", "192 192 192"}, {"ButtonShadow", "128 128 128"},
         {"ButtonDkShadow", "128 128 128"}, {"GrayText", "63 242 63"}, {"ActiveTitle", "0 0 0"},
         {"GradientActiveTitle", "0 0 0"}, {"TitleText", "255 255 255"}, {"WindowFrame", "255 255 255"}}};
    UserRegistryValues noVisualStyle{"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager",
                                     {{"ThemeActive", "0"}}};
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
    std::string Received() const { return ReadBytes(record_); }
    // The server's event lines.
    std::string Log() const { return ReadBytes(log_); }
    int Connections() const;

private:
    std::string folder_;
    std::string record_;
    std::string log_;
    driver::Program program_;
    bool ready_ = false;
};

}  // namespace tallyhorn::client::wine_test
