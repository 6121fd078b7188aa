// The dialog's Win32 window: a dialog of the system's dialog class with its controls in
// the designed layout, scaled to the DPI of its monitor, its timers and message boxes, and
// the message loop that turns window messages into TForm1 events.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "client/window_platform.h"
#include "common/windows/handles.h"

namespace tallyhorn::client {
class TForm1;
}

namespace tallyhorn::client::win {

// Private window messages of the dialog.
inline constexpr UINT kSocketMessage = WM_APP + 1;
inline constexpr UINT kActivateMessage = WM_APP + 2;

// The dialog's window timers, one identifier each.
inline constexpr Timer kTimers[] = {Timer::WatchDog_Timer, Timer::Quota_Timer, Timer::History_Timer};
constexpr UINT_PTR TimerIdOf(Timer timer) { return static_cast<UINT_PTR>(timer) + 1; }

class DialogWindow final : public WindowPlatform {
public:
    // Creates the window and its controls in the designed state, hidden. Throws
    // std::runtime_error when the window cannot be created.
    explicit DialogWindow(HINSTANCE instance);
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
    ~DialogWindow();

    HWND Handle() const { return window_; }
    // Events reach the form from now on.
    void Attach(TForm1* form) { form_ = form; }

    // Shows the window for the show state that the starting program asked for, gives
    // the comment box the focus and, unless it starts minimised, runs the activation.
    void Show(int startShowState);
    // Runs the message loop until the program is asked to end.
    int RunMessageLoop();
    // Detaches the form and destroys the window; safe to repeat.
    void Destroy();

    // ---- the window's role for TForm1 ----
    void SetCaption(Control control, const std::string& text) override;
    void SetVisible(Control control, bool visible) override;
    void SetEnabled(Control control, bool enabled) override;
    void SetLeft(Control control, int left) override;
    void SetTop(Control control, int top) override;
    void SetOkIsDefault(bool isDefault) override;
    void SetAlwaysOnTop(bool onTop) override;
    void GiveFocus(Control control) override;
    std::string CommentText() override;
    // Window timers on the dialog, so that they tick inside message boxes too.
    void StartTimer(Timer timer, unsigned intervalMs) override;
    void StopTimer(Timer timer) override;
    bool Confirm(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ShowGeneralError(const std::string& caption, const std::string& text) override;
    void RequestQuit() override;

    // ---- the comment box's drop-down list, for the comment history ----
    void ClearHistoryItems(std::size_t count, std::size_t bytes);
    bool InsertHistoryItem(std::size_t index, const std::string& entry);

    // Designed pixels to device pixels at the window's DPI.
    int Scale(int designed) const { return MulDiv(designed, dpi_, kDesignDpi); }

private:
    void MoveControl(Control control, std::optional<int> left, std::optional<int> top);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The message's result, or nothing for the dialog manager's own handling.
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls(HINSTANCE instance);
    // The control's window rectangle in the dialog at the current DPI.
    RECT PlaceOf(Control control) const;
    // Places, sizes and fonts of the window and every control for a DPI.
    void LayOut(int dpi);
    void SizeCommentBox();
    void SizeWindow();
    // Moves the window to a place, kept inside the work area of its monitor.
    void PlaceWindow(int left, int top);
    HWND ControlWindow(Control control) const;
    Control FocusedControl() const;
    bool OwnsFocus() const;
    void SizeLabelToText(HWND label);
    void RestoreFocus();
    void Activate();
    bool RouteButtonKey(const MSG& message);
    void DrawPicture(const DRAWITEMSTRUCT& item);
    LRESULT ColourStatic(HDC dc);

    HWND window_ = nullptr;
    HWND comboEdit_ = nullptr;
    TForm1* form_ = nullptr;
    int dpi_ = kDesignDpi;
    bool okIsDefault_ = true;
    bool activationPending_ = true;
    HWND focusToRestore_ = nullptr;
    std::vector<HWND> openBoxes_;
    std::array<HWND, kControlCount> controls_{};
    // Each control's place in designed pixels, as the form last put it.
    std::array<POINT, kControlCount> places_{};
    std::array<::tallyhorn::win::UniqueGdiObject, kControlCount> bitmaps_{};
    ::tallyhorn::win::UniqueGdiObject font_;
    ::tallyhorn::win::UniqueGdiObject label3Font_;
};

}  // namespace tallyhorn::client::win
