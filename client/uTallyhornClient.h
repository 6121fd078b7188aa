// The job dialog TForm1: its job values, its handlers and the rules between them. It
// works only through its platform roles, so the same code runs on Win32 and against fakes.
#pragma once

#include <memory>
#include <string>

#include "client/event_platform.h"
#include "client/job_file_platform.h"
#include "client/socket_platform.h"
#include "client/window_platform.h"

namespace tallyhorn::client {

class ClientLog;
class CommentHistory;

// The key codes that the keyboard handlers look at.
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;

// The job values, held for the life of the program.
struct JobValues {
    std::string programFolder;
    std::string jobFilePath;
    std::string action;
    std::string quotaType;
    std::string serverIp;
    std::string jobId;
    std::string userIp;
    std::string response;
    int countdown = 30;
};

// What the program was started with.
struct ProgramStart {
    std::string folder;         // ending in a backslash
    std::string fileName;       // without its folder, for the general error box's caption
    std::string firstArgument;  // the job file's path, without quotes; empty when none was given
};

// What the dialog works through. What the user is told failed also goes to `eventLog`,
// for the administrators.
struct FormParts {
    WindowPlatform& window;
    JobFilePlatform& jobFiles;
    SocketPlatform& sockets;
    EventPlatform& eventLog;
    CommentHistory& history;
    ClientLog& log;
};

class TForm1 {
public:
    // The dialog keeps the parts it is given; its connection over `parts.sockets` is its own.
    TForm1(ProgramStart start, const FormParts& parts);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;
    ~TForm1();

    // ---- events, as the Win32 layer delivers them. None of them throws: an error that
    // escapes a handler is shown in the general error box and the dialog goes on. ----

    // Once, when the dialog is first shown and the comment box has taken the focus. Once
    // the mode is arranged, the focus moves to the first control that can take it.
    void FormActivate() noexcept;
    // A click on OKBtn or CancelBtn (mouse, space bar, Enter while the button has focus).
    void ButtonClicked(Control button) noexcept;
    // A key press. `focus` is the control that has the keyboard focus (Comments_ComboBox
    // for its edit field, OKBtn, CancelBtn, or Form for anything else); `dropDownOpen`
    // tells whether the comment box's list is open. Returns true when the key was taken
    // as a button key (Enter pressing the focused or default button, Escape the cancel
    // button or answering as it) and must not reach the control.
    bool KeyDown(int key, bool shiftCtrlOrAltHeld, Control focus, bool dropDownOpen) noexcept;
    // A key release; it reaches Comments_ComboBoxKeyUp when the comment box has focus
    // and is shown and enabled.
    void KeyUp(int key, Control focus) noexcept;
    // Any attempt to close the dialog from outside its handlers (WM_CLOSE).
    void CloseRequested() noexcept;
    void TimerFired(Timer timer) noexcept;
    // A notification of the platform for the connection's `socket`.
    void SocketNotified(SocketId socket, NetworkEvent event, int error) noexcept;
    // The locale's settings changed (the time separator is read again).
    void SettingsChanged() noexcept;

    const JobValues& Job() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tallyhorn::client
