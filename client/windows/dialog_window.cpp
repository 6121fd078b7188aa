// The dialog's Win32 window: designed layout scaled to the system DPI, one window
// procedure forwarding each message to one member, and the program's message loop.
#include "client/windows/dialog_window.h"

#include <winsock.h>

#include <optional>
#include <stdexcept>

#include "client/dialog_design.h"
#include "client/windows/res/resource_ids.h"
#include "client/uTallyhornClient.h"
#include "client/windows/control_ids.h"
#include "client/windows/dialog_layout.h"

namespace tallyhorn::client::win {

namespace {

using ::tallyhorn::win::Selection;
using ::tallyhorn::win::UniqueMemoryDc;
using ::tallyhorn::win::WindowDc;

std::size_t Slot(Control control) { return static_cast<std::size_t>(control); }

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

HFONT CreateDialogFont(int dpi) {
    return CreateFontA(-MulDiv(kFontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       kFontFace);
}

int SystemDpi() {
    const WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kDesignDpi;
    return dpi > 0 ? dpi : kDesignDpi;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

void RegisterDialogClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TALLYHORN_CLIENT));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kDialogClassName;
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TALLYHORN_CLIENT), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0));
    RegisterClassExA(&windowClass);  // a second dialog in the process finds it registered
}

}  // namespace

DialogWindow::DialogWindow(HINSTANCE instance) : dpi_(SystemDpi()) {
    RegisterDialogClass(instance, &DialogWindow::WindowProc);
    const ControlDesign& form = DesignOf(Control::Form);
    RECT frame{0, 0, Scale(form.width), Scale(form.height)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    CreateWindowExA(kWindowExStyle, kDialogClassName, form.caption, kWindowStyle, Scale(form.left), Scale(form.top),
                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (!window_) throw std::runtime_error("the dialog window cannot be created");
    font_.reset(CreateDialogFont(dpi_));
    label3Font_.reset(CreateDialogFont(dpi_));
    CreateControls(instance);
}

DialogWindow::~DialogWindow() { Destroy(); }

void DialogWindow::Destroy() {
    form_ = nullptr;
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
}

void DialogWindow::CreateControls(HINSTANCE instance) {
    for (const WindowedControl& windowed : WindowedControls()) {
        const ControlDesign& design = DesignOf(windowed.control);
        const char* className = "STATIC";
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (design.visible ? WS_VISIBLE : 0);
        int height = Scale(design.height);
        switch (windowed.kind) {
            case ControlKind::Label:
                style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
                break;
            case ControlKind::Picture:
                style |= SS_OWNERDRAW;
                break;
            case ControlKind::Button:
                className = "BUTTON";
                style |= WS_TABSTOP | (design.control == Control::OKBtn ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
                break;
            case ControlKind::ComboBox:
                className = "COMBOBOX";
                style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL;
                // For a drop-down combo box the window height includes the open list.
                height += Scale(kComboItemHeight) * kComboDropRows + 2;
                break;
        }
        HWND control = CreateWindowExA(0, className, design.caption, style, Scale(design.left), Scale(design.top),
                                       Scale(design.width), height, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(windowed.id)), instance, nullptr);
        if (!control) throw std::runtime_error("a control of the dialog cannot be created");
        controls_[Slot(design.control)] = control;
        HGDIOBJ font = design.control == Control::Label3 ? label3Font_.get() : font_.get();
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (windowed.kind == ControlKind::Label) SizeLabelToText(control);
        if (windowed.picture != 0) {
            bitmaps_[Slot(design.control)].reset(LoadBitmapA(instance, MAKEINTRESOURCEA(windowed.picture)));
        }
    }
    controls_[Slot(Control::Form)] = window_;

    HWND combo = ControlWindow(Control::Comments_ComboBox);
    SendMessageA(combo, CB_SETITEMHEIGHT, 0, Scale(kComboItemHeight));
    // The closed box is as high as designed, whatever the font's own field height. The
    // field height that the box reports and the one it takes need not agree (Wine adds
    // its margin once more), so learn the box's margin from one setting, then set it.
    const int wanted = Scale(DesignOf(Control::Comments_ComboBox).height);
    const auto closedHeight = [combo] {
        RECT closed{};
        GetWindowRect(combo, &closed);
        return static_cast<int>(closed.bottom - closed.top);
    };
    const LRESULT field = SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (field != CB_ERR && closedHeight() != wanted) {
        SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        const int margin = closedHeight() - static_cast<int>(field);
        if (wanted - margin > 0) SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted - margin);
    }
    comboEdit_ = FindWindowExA(combo, nullptr, "EDIT", nullptr);
    if (!comboEdit_) comboEdit_ = combo;
}

HWND DialogWindow::ControlWindow(Control control) const { return controls_[Slot(control)]; }

void DialogWindow::SizeLabelToText(HWND label) {
    const std::string text = WindowText(label);
    RECT extent{0, 0, 0, 0};
    TEXTMETRICA metrics{};
    {
        const WindowDc dc(label);
        if (!dc) return;
        const Selection font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
        DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        GetTextMetricsA(dc.get(), &metrics);
    }
    SetWindowPos(label, nullptr, 0, 0, extent.right - extent.left, metrics.tmHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(label, nullptr, TRUE);
}

// ---- the seam's control operations ----

void DialogWindow::SetCaption(Control control, const std::string& text) {
    HWND target = ControlWindow(control);
    if (!target) return;
    SetWindowTextA(target, text.c_str());
    const WindowedControl* windowed = WindowedControlOf(control);
    if (windowed && windowed->kind == ControlKind::Label) SizeLabelToText(target);
}

void DialogWindow::SetVisible(Control control, bool visible) {
    HWND target = ControlWindow(control);
    if (!target) return;
    // Windows moves the focus away from a window being hidden; the comment box keeps it
    // so that its key releases still reach the dialog.
    const bool keepFocus = !visible && control == Control::Comments_ComboBox && OwnsFocus() &&
                           FocusedControl() == Control::Comments_ComboBox;
    ShowWindow(target, visible ? SW_SHOWNA : SW_HIDE);
    if (keepFocus) KeepFocusInCommentBox();
}

void DialogWindow::SetEnabled(Control control, bool enabled) {
    if (HWND target = ControlWindow(control)) EnableWindow(target, enabled ? TRUE : FALSE);
}

// Moves a control to a designed left or top; the other coordinate stays.
void DialogWindow::MoveControl(Control control, std::optional<int> left, std::optional<int> top) {
    HWND target = ControlWindow(control);
    if (!target || control == Control::Form) return;
    RECT place{};
    GetWindowRect(target, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    SetWindowPos(target, nullptr, left ? Scale(*left) : place.left, top ? Scale(*top) : place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogWindow::SetLeft(Control control, int left) { MoveControl(control, left, std::nullopt); }

void DialogWindow::SetTop(Control control, int top) { MoveControl(control, std::nullopt, top); }

void DialogWindow::SetOkIsDefault(bool isDefault) {
    okIsDefault_ = isDefault;
    SendMessageA(ControlWindow(Control::OKBtn), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void DialogWindow::SetAlwaysOnTop(bool onTop) {
    SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::string DialogWindow::CommentText() const { return WindowText(ControlWindow(Control::Comments_ComboBox)); }

void DialogWindow::ClearHistoryItems(std::size_t count, std::size_t bytes) {
    HWND combo = ControlWindow(Control::Comments_ComboBox);
    const std::string comment = CommentText();  // emptying the list empties the field too
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    // Room for all at once: a list that grows by a few entries at a time copies itself
    // again and again.
    if (count > 0) SendMessageA(combo, CB_INITSTORAGE, count, static_cast<LPARAM>(bytes));
    SetWindowTextA(combo, comment.c_str());
}

bool DialogWindow::InsertHistoryItem(std::size_t index, const std::string& entry) {
    const LRESULT added = SendMessageA(ControlWindow(Control::Comments_ComboBox), CB_INSERTSTRING,
                                       static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry.c_str()));
    return added != CB_ERR && added != CB_ERRSPACE;
}

// ---- focus and keyboard ----

bool DialogWindow::OwnsFocus() const {
    HWND focus = GetFocus();
    return focus && (focus == window_ || IsChild(window_, focus));
}

Control DialogWindow::FocusedControl() const {
    HWND focus = GetFocus();
    HWND combo = ControlWindow(Control::Comments_ComboBox);
    if (focus && (focus == combo || focus == comboEdit_ || GetParent(focus) == combo)) {
        return Control::Comments_ComboBox;
    }
    if (focus && focus == ControlWindow(Control::OKBtn)) return Control::OKBtn;
    if (focus && focus == ControlWindow(Control::CancelBtn)) return Control::CancelBtn;
    return Control::Form;
}

void DialogWindow::KeepFocusInCommentBox() {
    SetFocus(comboEdit_);
    focusToRestore_ = comboEdit_;
}

void DialogWindow::RestoreFocus() {
    HWND target = focusToRestore_;
    if (!target || !IsWindow(target) || !IsChild(window_, target) || !IsWindowEnabled(target)) target = comboEdit_;
    SetFocus(target);
}

void DialogWindow::Activate() {
    if (!activationPending_ || !form_) return;
    activationPending_ = false;
    form_->FormActivate();
}

void DialogWindow::Show(int startShowState) {
    // Only a maximised start and a minimised start without activation are honoured;
    // every other show state, the minimised one included, shows the designed dialog.
    int command = SW_SHOWNORMAL;
    if (startShowState == SW_SHOWMAXIMIZED) command = SW_SHOWMAXIMIZED;
    if (startShowState == SW_SHOWMINNOACTIVE) command = SW_SHOWMINNOACTIVE;
    ShowWindow(window_, command);
    if (command == SW_SHOWMINNOACTIVE) return;  // activation waits for the first restore
    // Windows may give a program's first ShowWindow the starting program's show state
    // instead of the one asked for; a second call is taken as it is.
    if (command == SW_SHOWNORMAL && (IsIconic(window_) || IsZoomed(window_) || !IsWindowVisible(window_))) {
        ShowWindow(window_, SW_RESTORE);
        ShowWindow(window_, SW_SHOWNORMAL);
    }
    SetForegroundWindow(window_);
    KeepFocusInCommentBox();
    UpdateWindow(window_);
    Activate();
}

bool DialogWindow::RouteButtonKey(const MSG& message) {
    const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    const bool up = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
    if (!form_ || !(down || up) || (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE)) return false;
    if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
    const int key = message.wParam == VK_RETURN ? kKeyEnter : kKeyEscape;
    if (down) {
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        const bool ctrl = GetKeyState(VK_CONTROL) < 0;
        const bool alt = GetKeyState(VK_MENU) < 0;
        const bool dropped =
            SendMessageA(ControlWindow(Control::Comments_ComboBox), CB_GETDROPPEDSTATE, 0, 0) != FALSE;
        if (form_->KeyDown(key, shift || ctrl || alt, FocusedControl(), dropped)) return true;
        // Not a button key: the control gets the press (an open list closes on it), but
        // the dialog manager must not turn it into a default-button command.
        DispatchMessageA(&message);
        return true;
    }
    form_->KeyUp(key, FocusedControl());
    return true;
}

int DialogWindow::RunMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        try {
            if (RouteButtonKey(message)) continue;
        } catch (...) {
            continue;  // the form guards its own handlers; nothing else may end the loop
        }
        if (window_ && IsDialogMessageA(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

// ---- painting ----

void DialogWindow::DrawPicture(const DRAWITEMSTRUCT& item) {
    for (const WindowedControl& windowed : WindowedControls()) {
        if (windowed.id != static_cast<int>(item.CtlID) || windowed.picture == 0) continue;
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        HGDIOBJ bitmap = bitmaps_[Slot(windowed.control)].get();
        if (!bitmap) return;
        BITMAP size{};
        GetObjectA(bitmap, sizeof size, &size);
        const UniqueMemoryDc memory(CreateCompatibleDC(item.hDC));
        if (!memory) return;
        const Selection picture(memory.get(), bitmap);
        // The bottom-left pixel names the transparent colour, as in the designer.
        const COLORREF transparent = GetPixel(memory.get(), 0, size.bmHeight - 1);
        GdiTransparentBlt(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
                          item.rcItem.bottom - item.rcItem.top, memory.get(), 0, 0, size.bmWidth, size.bmHeight,
                          transparent);
        return;
    }
}

LRESULT DialogWindow::ColourStatic(HDC dc, HWND control) {
    SetTextColor(dc, control == ControlWindow(Control::Label3) ? RGB(0, 0, 0) : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// ---- the window procedure ----

LRESULT CALLBACK DialogWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<DialogWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || self->window_ != window) return DefWindowProcA(window, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;  // no exception leaves a window procedure
    }
}

LRESULT DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (form_ && HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == kIdOKBtn) form_->ButtonClicked(Control::OKBtn);
                if (LOWORD(wParam) == kIdCancelBtn) form_->ButtonClicked(Control::CancelBtn);
            }
            return 0;
        case DM_GETDEFID:
            return okIsDefault_ ? MAKELRESULT(kIdOKBtn, DC_HASDEFID) : 0;
        case WM_CLOSE:
            if (form_) form_->CloseRequested();
            return 0;
        case WM_TIMER:
            for (const Timer timer : kTimers) {
                if (form_ && wParam == TimerIdOf(timer)) form_->TimerFired(timer);
            }
            return 0;
        case kSocketMessage: {
            if (!form_) return 0;
            const WORD event = WSAGETSELECTEVENT(lParam);
            const int error = WSAGETSELECTERROR(lParam);
            const SocketId socket = static_cast<SocketId>(wParam);
            if (event == FD_CONNECT) form_->SocketNotified(socket, NetworkEvent::Connect, error);
            if (event == FD_READ) form_->SocketNotified(socket, NetworkEvent::Read, error);
            if (event == FD_WRITE) form_->SocketNotified(socket, NetworkEvent::Write, error);
            if (event == FD_CLOSE) form_->SocketNotified(socket, NetworkEvent::Close, error);
            return 0;
        }
        case kActivateMessage:
            if (activationPending_) {
                KeepFocusInCommentBox();
                Activate();
            }
            return 0;
        case WM_SIZE:
            // A dialog started minimised is activated when it is first restored.
            if (activationPending_ && wParam != SIZE_MINIMIZED && IsWindowVisible(window_)) {
                PostMessageA(window_, kActivateMessage, 0, 0);
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (OwnsFocus()) focusToRestore_ = GetFocus();
            } else if (!HIWORD(wParam)) {
                RestoreFocus();
            }
            return 0;
        case WM_SETTINGCHANGE:
            if (form_) form_->SettingsChanged();
            return 0;
        case WM_DRAWITEM:
            DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        default:
            return DefWindowProcA(window_, message, wParam, lParam);
    }
}

}  // namespace tallyhorn::client::win
