// The dialog's Win32 window: a dialog of the system's dialog class, its designed layout
// scaled to the DPI of its monitor, one dialog procedure forwarding each message to one
// member, and the program's message loop.
#include "client/windows/dialog_window.h"

#include <winsock.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "client/dialog_design.h"
#include "client/dialog_texts.h"
#include "client/uTallyhornClient.h"
#include "client/windows/control_ids.h"
#include "client/windows/dialog_layout.h"
#include "client/windows/message_boxes.h"
#include "client/windows/res/resource_ids.h"

namespace tallyhorn::client::win {

namespace {

using ::tallyhorn::win::Selection;
using ::tallyhorn::win::UniqueGdiObject;
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

// A call of user32 that newer Windows has and older Windows lacks; null where it lacks it.
template <typename Call>
Call User32Call(const char* name) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name))) : nullptr;
}
using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SetDialogDpiChangeBehaviorCall = BOOL(WINAPI*)(HWND, int, int);
constexpr int kDialogDpiChangeDisableAll = 1;  // DDC_DISABLE_ALL

int SystemDpi() {
    const WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kDesignDpi;
    return dpi > 0 ? dpi : kDesignDpi;
}

// The DPI of the window's monitor where Windows knows one per monitor, else the system's.
int WindowDpi(HWND window) {
    const auto dpiOf = User32Call<GetDpiForWindowCall>("GetDpiForWindow");
    const UINT dpi = dpiOf ? dpiOf(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

int CALLBACK NoteScalableFace(const LOGFONTA*, const TEXTMETRICA*, DWORD type, LPARAM found) {
    if (!(type & RASTER_FONTTYPE)) *reinterpret_cast<bool*>(found) = true;
    return 1;
}

bool HasScalableFace(const char* face) {
    const WindowDc screen(nullptr);
    if (!screen) return false;
    LOGFONTA wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExA(screen.get(), &wanted, &NoteScalableFace, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// At the design DPI the bitmap face of the design, which looks as designed. Above it a
// scalable face of the same metrics, which grows with the DPI: a bitmap face grows only
// in the steps of its few sizes (at 192 DPI by 1.54 instead of 2).
const char* FontFaceFor(int dpi) {
    if (dpi <= kDesignDpi) return kFontFace;
    for (const char* face : kScalableFontFaces) {
        if (HasScalableFace(face)) return face;
    }
    return kFontFace;
}

HFONT CreateDialogFont(int height, const char* face) {
    return CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

int TextWidth(HGDIOBJ font, const char* text) {
    const WindowDc screen(nullptr);
    if (!screen || !font) return 0;
    const Selection selected(screen.get(), font);
    SIZE size{};
    GetTextExtentPoint32A(screen.get(), text, lstrlenA(text), &size);
    return size.cx;
}

// The font's em height: the design's 8 points at the DPI. A face other than the design's
// may be wider (the nearest one a system has, Tahoma under Wine, by a tenth): it is made
// smaller until the widest designed caption fits the width that the design gives it.
int FontHeight(int dpi, const char* face) {
    const int height = MulDiv(kFontPoints, dpi, 72);
    if (face == kFontFace) return height;
    const ControlDesign& widest = DesignOf(Control::Label4);
    const int room = MulDiv(widest.width, dpi, kDesignDpi);
    const int width = TextWidth(UniqueGdiObject(CreateDialogFont(height, face)).get(), widest.caption);
    return width > room ? height * room / width : height;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

// An in-memory template of a dialog of the system's dialog class ("#32770"), so that
// accessibility tools give the window the role of a dialog and read it as one, and the
// dialog manager gives it a dialog's keyboard (Tab, arrows, default button). It holds no
// controls and no font: they follow it, in pixels, so that the design and the DPI decide
// every size.
std::vector<WORD> DialogTemplate(const char* caption) {
    static_assert(sizeof(DLGTEMPLATE) % sizeof(WORD) == 0, "a dialog template is made of WORDs");
    DLGTEMPLATE head{};
    head.style = kWindowStyle;
    head.dwExtendedStyle = kWindowExStyle;
    std::vector<WORD> words(sizeof head / sizeof(WORD));
    std::memcpy(words.data(), &head, sizeof head);
    words.push_back(0);  // no menu
    words.push_back(0);  // the system's dialog class
    for (const char* c = caption; *c; ++c) words.push_back(static_cast<unsigned char>(*c));  // ASCII
    words.push_back(0);
    return words;
}

}  // namespace

DialogWindow::DialogWindow(HINSTANCE instance) {
    const ControlDesign& form = DesignOf(Control::Form);
    const std::vector<WORD> dialog = DialogTemplate(form.caption);
    CreateDialogIndirectParamA(instance, reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), nullptr,
                               &DialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window_) throw std::runtime_error("the dialog window cannot be created");
    // The system's dialog class has no icon of its own.
    SendMessageA(window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_TALLYHORN_CLIENT))));
    SendMessageA(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TALLYHORN_CLIENT), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                     LR_SHARED)));
    // The dialog lays itself out for a new DPI (LayOut); the dialog manager must not
    // scale it a second time.
    if (const auto scaling = User32Call<SetDialogDpiChangeBehaviorCall>("SetDialogDpiChangeBehavior")) {
        scaling(window_, kDialogDpiChangeDisableAll, kDialogDpiChangeDisableAll);
    }
    for (const ControlDesign& design : DesignedDialog()) places_[Slot(design.control)] = {design.left, design.top};
    dpi_ = WindowDpi(window_);
    CreateControls(instance);
    // OK is the designed default button; the dialog manager draws it so.
    SendMessageA(window_, DM_SETDEFID, kIdOKBtn, 0);
    LayOut(dpi_);
    PlaceWindow(Scale(form.left), Scale(form.top));
}

DialogWindow::~DialogWindow() { Destroy(); }

void DialogWindow::Destroy() {
    form_ = nullptr;
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
}

// The control's window rectangle in the dialog at the current DPI; a label's width is its
// text's, set once its font is.
RECT DialogWindow::PlaceOf(Control control) const {
    const ControlDesign& design = DesignOf(control);
    const POINT place = places_[Slot(control)];
    int height = Scale(design.height);
    // For a drop-down combo box the window height includes the open list.
    if (control == Control::Comments_ComboBox) height += Scale(kComboItemHeight) * kComboDropRows + 2;
    const int left = Scale(place.x);
    const int top = Scale(place.y);
    return {left, top, left + Scale(design.width), top + height};
}

void DialogWindow::CreateControls(HINSTANCE instance) {
    for (const WindowedControl& windowed : WindowedControls()) {
        const ControlDesign& design = DesignOf(windowed.control);
        const char* className = "STATIC";
        // Arrow keys move the focus within a group: OK and Cancel make one, every other
        // control one of its own, so that the focus never lands on a label or a picture.
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (design.visible ? WS_VISIBLE : 0) |
                      (design.control == Control::CancelBtn ? 0 : WS_GROUP);
        switch (windowed.kind) {
            case ControlKind::Label:
                style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
                break;
            case ControlKind::Picture:
                // Drawn by the dialog, which paints only the picture: its text is its name
                // for screen readers.
                style |= SS_OWNERDRAW;
                break;
            case ControlKind::Button:
                className = "BUTTON";
                style |= WS_TABSTOP | (design.control == Control::OKBtn ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
                break;
            case ControlKind::ComboBox:
                className = "COMBOBOX";
                style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL;
                break;
        }
        const RECT place = PlaceOf(design.control);
        HWND control = CreateWindowExA(0, className, design.caption, style, place.left, place.top,
                                       place.right - place.left, place.bottom - place.top, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(windowed.id)), instance, nullptr);
        if (!control) throw std::runtime_error("a control of the dialog cannot be created");
        controls_[Slot(design.control)] = control;
        if (windowed.picture != 0) {
            bitmaps_[Slot(design.control)].reset(LoadBitmapA(instance, MAKEINTRESOURCEA(windowed.picture)));
        }
    }
    controls_[Slot(Control::Form)] = window_;
    comboEdit_ = FindWindowExA(ControlWindow(Control::Comments_ComboBox), nullptr, "EDIT", nullptr);
    if (!comboEdit_) comboEdit_ = ControlWindow(Control::Comments_ComboBox);
}

void DialogWindow::LayOut(int dpi) {
    dpi_ = dpi;
    const char* face = FontFaceFor(dpi);
    const int height = FontHeight(dpi, face);
    UniqueGdiObject font(CreateDialogFont(height, face));
    UniqueGdiObject label3Font(CreateDialogFont(height, face));
    for (const WindowedControl& windowed : WindowedControls()) {
        HWND control = ControlWindow(windowed.control);
        const RECT place = PlaceOf(windowed.control);
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        HGDIOBJ own = windowed.control == Control::Label3 ? label3Font.get() : font.get();
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(own), TRUE);
        if (windowed.kind == ControlKind::Label) SizeLabelToText(control);
    }
    // Every control holds a new font now; the old ones may go.
    font_ = std::move(font);
    label3Font_ = std::move(label3Font);
    SizeCommentBox();
    SizeWindow();
}

// The designed client area at the current DPI, with the frame around it.
void DialogWindow::SizeWindow() {
    if (IsIconic(window_) || IsZoomed(window_)) return;
    const ControlDesign& form = DesignOf(Control::Form);
    RECT frame{0, 0, Scale(form.width), Scale(form.height)};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window_, GWL_EXSTYLE));
    const auto adjustForDpi = User32Call<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi_))) {
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A frame drawn at another DPI than its window's (Wine draws every frame at the
    // system's) leaves another client area: the frame as drawn tells how much.
    RECT client{};
    GetClientRect(window_, &client);
    if (client.right != Scale(form.width) || client.bottom != Scale(form.height)) {
        width += Scale(form.width) - client.right;
        height += Scale(form.height) - client.bottom;
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void DialogWindow::SizeCommentBox() {
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
}

void DialogWindow::PlaceWindow(int left, int top) {
    if (IsIconic(window_) || IsZoomed(window_)) return;
    RECT place{};
    GetWindowRect(window_, &place);
    OffsetRect(&place, left - place.left, top - place.top);
    // The designed place scaled with a high DPI, or a place that the system suggests, can
    // lie partly off the screen: the window moves in until the whole of it is on it.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        OffsetRect(&place, std::min(0L, work.right - place.right), std::min(0L, work.bottom - place.bottom));
        OffsetRect(&place, std::max(0L, work.left - place.left), std::max(0L, work.top - place.top));
    }
    SetWindowPos(window_, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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

// ---- the controls ----

void DialogWindow::SetCaption(Control control, const std::string& text) {
    HWND target = ControlWindow(control);
    if (!target) return;
    SetWindowTextA(target, text.c_str());
    const WindowedControl* windowed = WindowedControlOf(control);
    if (windowed && windowed->kind == ControlKind::Label) SizeLabelToText(target);
}

void DialogWindow::SetVisible(Control control, bool visible) {
    if (HWND target = ControlWindow(control)) ShowWindow(target, visible ? SW_SHOWNA : SW_HIDE);
}

void DialogWindow::SetEnabled(Control control, bool enabled) {
    if (HWND target = ControlWindow(control)) EnableWindow(target, enabled ? TRUE : FALSE);
}

// Moves a control to a designed left or top; the other coordinate stays.
void DialogWindow::MoveControl(Control control, std::optional<int> left, std::optional<int> top) {
    HWND target = ControlWindow(control);
    if (!target || control == Control::Form) return;
    POINT& place = places_[Slot(control)];
    place = {left.value_or(place.x), top.value_or(place.y)};
    SetWindowPos(target, nullptr, Scale(place.x), Scale(place.y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogWindow::SetLeft(Control control, int left) { MoveControl(control, left, std::nullopt); }

void DialogWindow::SetTop(Control control, int top) { MoveControl(control, std::nullopt, top); }

void DialogWindow::SetOkIsDefault(bool isDefault) {
    okIsDefault_ = isDefault;
    // The dialog manager draws the default button, and lends that look to a button that
    // takes the focus.
    SendMessageA(window_, DM_SETDEFID, isDefault ? kIdOKBtn : 0, 0);
}

void DialogWindow::SetAlwaysOnTop(bool onTop) {
    SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::string DialogWindow::CommentText() { return WindowText(ControlWindow(Control::Comments_ComboBox)); }

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

// ---- timers, boxes and the end ----

void DialogWindow::StartTimer(Timer timer, unsigned intervalMs) {
    SetTimer(window_, TimerIdOf(timer), intervalMs, nullptr);
}

void DialogWindow::StopTimer(Timer timer) { KillTimer(window_, TimerIdOf(timer)); }

bool DialogWindow::Confirm(const std::string& text) {
    return ShowMessageBox(window_, openBoxes_, text, std::string(texts::kConfirmCaption),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

void DialogWindow::ShowError(const std::string& text) {
    ShowMessageBox(window_, openBoxes_, text, std::string(texts::kErrorCaption), MB_OK | MB_ICONHAND);
}

void DialogWindow::ShowInformation(const std::string& text) {
    ShowMessageBox(window_, openBoxes_, text, std::string(texts::kInformationCaption), MB_OK | MB_ICONINFORMATION);
}

void DialogWindow::ShowGeneralError(const std::string& caption, const std::string& text) {
    ShowMessageBox(window_, openBoxes_, text, caption, MB_OK | MB_ICONHAND);
}

void DialogWindow::RequestQuit() { PostQuitMessage(0); }

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

void DialogWindow::GiveFocus(Control control) {
    HWND target = ControlWindow(control);
    if (!target) return;
    if (target == window_) {
        SetFocus(window_);
    } else {
        // As Tab moves it: a button that takes the focus looks like the one Enter presses.
        SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    }
    focusToRestore_ = control == Control::Comments_ComboBox ? comboEdit_ : target;
}

// Back to where the focus was when the dialog was last active; a control hidden or
// disabled meanwhile never takes it, the dialog itself does.
void DialogWindow::RestoreFocus() {
    HWND target = focusToRestore_;
    if (!target || !IsWindow(target) || !IsChild(window_, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
        target = window_;
    }
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
    GiveFocus(Control::Comments_ComboBox);
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
        if (RouteButtonKey(message)) continue;
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

// Every colour from the system's scheme, so that a high-contrast scheme is followed: the
// window text on the button face, Label3 too (black in the default scheme).
LRESULT DialogWindow::ColourStatic(HDC dc) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// ---- the dialog procedure ----

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<DialogWindow*>(lParam);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
        return FALSE;  // the focus is given once the controls exist
    }
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || self->window_ != window) return FALSE;
    std::optional<LRESULT> result;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {  // window procedure: no exception leaves it
        result = 0;
    }
    if (!result) return FALSE;
    // A colour message answers with its brush, every other one through the message result.
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return static_cast<INT_PTR>(*result);
    SetWindowLongPtrA(window, DWLP_MSGRESULT, *result);
    return TRUE;
}

std::optional<LRESULT> DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
                GiveFocus(Control::Comments_ComboBox);
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
        case WM_SETFOCUS:
            return 0;  // the dialog keeps the focus it was given; the dialog manager would pass it on
        case WM_NEXTDLGCTL:
            // The arrow keys would take the focus from the dialog itself to a label: it
            // goes only to the comment box and the buttons.
            if (LOWORD(lParam) && !(GetWindowLongA(reinterpret_cast<HWND>(wParam), GWL_STYLE) & WS_TABSTOP)) return 0;
            return std::nullopt;
        case WM_DPICHANGED: {
            // On a monitor of another scale, or the scale changed: the layout and fonts of
            // the new DPI, in the place that the system suggests.
            const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
            LayOut(HIWORD(wParam));
            PlaceWindow(suggested.left, suggested.top);
            return 0;
        }
        case WM_SETTINGCHANGE:
            if (form_) form_->SettingsChanged();
            return 0;
        case WM_DRAWITEM:
            DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return ColourStatic(reinterpret_cast<HDC>(wParam));
        default:
            return std::nullopt;
    }
}

}  // namespace tallyhorn::client::win
