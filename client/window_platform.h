// What the dialog TForm1 asks of its window: the controls, the timers, the message boxes
// and the end of the program.
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

// The two designed timers, and History_Timer, which hands a large comment history to the
// drop-down in steps while the dialog keeps answering.
enum class Timer { WatchDog_Timer, Quota_Timer, History_Timer };

class WindowPlatform {
public:
    // ---- controls (places in designed pixels at the design DPI; the window scales them) ----
    virtual void SetCaption(Control control, const std::string& text) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetLeft(Control control, int left) = 0;
    virtual void SetTop(Control control, int top) = 0;
    // Whether Enter presses OKBtn as the dialog's default button.
    virtual void SetOkIsDefault(bool isDefault) = 0;
    // Always on top, or an ordinary window; place, size and contents stay.
    virtual void SetAlwaysOnTop(bool onTop) = 0;
    // Gives the keyboard focus to a control, or for Form to the dialog itself.
    virtual void GiveFocus(Control control) = 0;
    // The text in the edit field of Comments_ComboBox.
    virtual std::string CommentText() = 0;

    // ---- timers. Starting a stopped timer begins a full interval; the dialog never
    // starts a running timer or stops a stopped one ----
    virtual void StartTimer(Timer timer, unsigned intervalMs) = 0;
    virtual void StopTimer(Timer timer) = 0;

    // ---- message boxes. Each is modal and runs its own message loop, so ticks, socket
    // notifications and nested close checks can run before it returns ----
    // The "Confirm" box with Yes and No; true only for Yes.
    virtual bool Confirm(const std::string& text) = 0;
    // The "Error" box with a stop sign.
    virtual void ShowError(const std::string& text) = 0;
    // The "Information" box.
    virtual void ShowInformation(const std::string& text) = 0;
    // The general error box: the given caption, a stop sign, one OK button.
    virtual void ShowGeneralError(const std::string& caption, const std::string& text) = 0;

    // Ends the program once control returns to the message loop; the caller runs on until then.
    virtual void RequestQuit() = 0;

protected:
    ~WindowPlatform() = default;
};

}  // namespace tallyhorn::client
