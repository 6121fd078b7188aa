// What the dialog TForm1 asks of the platform: its program, controls, timers, message
// boxes and the job and response files.
#pragma once

#include <cstddef>
#include <string>

namespace tallyhorn::client {

// Every window of the dialog that its handlers touch, named as in the designer.
enum class Control {
    Form,
    Label1,
    Label2,
    Label3,
    Label4,
    DocumentName,
    Pages,
    PrinterName,
    Reason,
    Comments_ComboBox,
    OKBtn,
    CancelBtn,
    Stop_Image,
    Confirm_Image,
    Comment_Image,
};

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::Comment_Image) + 1;

// The DPI at which the dialog's places and sizes are designed.
inline constexpr int kDesignDpi = 96;

// The designed timers, and the one that hands a large comment history to the drop-down
// step by step while the dialog goes on answering.
enum class Timer { WatchDog_Timer, Quota_Timer, History_Timer };

class FormPlatform {
public:
    // ---- program ----
    // Folder of the program's own file, ending in a backslash.
    virtual std::string ProgramFolder() = 0;
    // The program's file name without its folder (for the general error box's caption).
    virtual std::string ProgramFileName() = 0;
    // The first command-line argument without its quotes; empty when there is none.
    virtual std::string FirstArgument() = 0;
    // Asks the program to end: the window message loop stops when control next returns
    // to it. The caller goes on running until then.
    virtual void RequestQuit() = 0;

    // ---- controls (positions in designed pixels at the design DPI; the platform scales) ----
    virtual void SetCaption(Control control, const std::string& text) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetLeft(Control control, int left) = 0;
    virtual void SetTop(Control control, int top) = 0;
    // Whether OKBtn is the dialog's default button (pressed by Enter on key press).
    virtual void SetOkIsDefault(bool isDefault) = 0;
    // Always on top, or an ordinary window, keeping position, size and contents.
    virtual void SetAlwaysOnTop(bool onTop) = 0;
    // Gives the keyboard focus to a control, or for Form to the dialog itself.
    virtual void GiveFocus(Control control) = 0;
    // The comment field (the edit text) of Comments_ComboBox.
    virtual std::string CommentText() = 0;

    // ---- timers: Start when stopped begins a full interval; the dialog never starts a
    // running timer or stops a stopped one ----
    virtual void StartTimer(Timer timer, unsigned intervalMs) = 0;
    virtual void StopTimer(Timer timer) = 0;

    // ---- message boxes: modal, they run a message loop of their own, so handlers
    // (ticks, socket notifications, nested close checks) can run before they return ----
    // "Confirm" box with Yes and No; true only for Yes.
    virtual bool Confirm(const std::string& text) = 0;
    // "Error" box with a stop sign.
    virtual void ShowError(const std::string& text) = 0;
    // "Information" box.
    virtual void ShowInformation(const std::string& text) = 0;
    // The general error box: the given caption, a stop sign, one OK button.
    virtual void ShowGeneralError(const std::string& caption, const std::string& text) = 0;

    // ---- the job and response files ----
    virtual bool FileExists(const std::string& path) = 0;
    // GetPrivateProfileStringA with an empty default and a 2048-byte buffer.
    virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                          const std::string& key) = 0;
    // WritePrivateProfileStringA; false when it failed.
    virtual bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;

protected:
    ~FormPlatform() = default;
};

}  // namespace tallyhorn::client
