// The dialog's message boxes: centred on the screen, each owned by the newest box still
// open (or by the dialog), and in a Yes/No box Escape and the close command answer No.
#include "client/windows/message_boxes.h"

#include <cstring>

#include "common/windows/handles.h"

namespace tallyhorn::client::win {

namespace {

constexpr char kOriginalBoxProc[] = "TallyhornBoxProc";

// Escape and the box's close command arrive as IDCANCEL; a Yes/No box has no Cancel
// button, and for the dialog they mean No.
LRESULT CALLBACK YesNoBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropA(box, kOriginalBoxProc));
    if (!original) return DefWindowProcA(box, message, wParam, lParam);
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && GetDlgItem(box, IDNO)) {
        wParam = MAKEWPARAM(IDNO, HIWORD(wParam));
        lParam = reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(box, kOriginalBoxProc);
    }
    return CallWindowProcA(original, box, message, wParam, lParam);
}

// The box being opened, which the hook procedure finds, centres and notes.
struct OpeningBox {
    HWND owner = nullptr;
    HHOOK hook = nullptr;
    HWND box = nullptr;
    bool yesNo = false;
    OpeningBox* outer = nullptr;
    std::vector<HWND>* openBoxes = nullptr;
};
OpeningBox* openingBox = nullptr;  // the dialog has one thread

LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam) {
    OpeningBox* opening = openingBox;
    if (code == HCBT_ACTIVATE && opening && !opening->box) {
        HWND candidate = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        GetClassNameA(candidate, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && GetWindow(candidate, GW_OWNER) == opening->owner) {
            opening->box = candidate;
            opening->openBoxes->push_back(candidate);
            RECT place{};
            GetWindowRect(candidate, &place);
            const int width = place.right - place.left;
            const int height = place.bottom - place.top;
            SetWindowPos(candidate, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                         (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            if (opening->yesNo) {
                const LONG_PTR original = GetWindowLongPtrA(candidate, GWLP_WNDPROC);
                SetPropA(candidate, kOriginalBoxProc, reinterpret_cast<HANDLE>(original));
                SetWindowLongPtrA(candidate, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&YesNoBoxProc));
            }
        }
    }
    return CallNextHookEx(opening ? opening->hook : nullptr, code, wParam, lParam);
}

}  // namespace

int ShowMessageBox(HWND dialog, std::vector<HWND>& openBoxes, const std::string& text, const std::string& caption,
                   UINT style) {
    // Room for the box now, so that noting it inside the hook procedure cannot throw.
    openBoxes.reserve(openBoxes.size() + 1);
    OpeningBox opening;
    opening.owner = openBoxes.empty() ? dialog : openBoxes.back();
    opening.yesNo = (style & MB_TYPEMASK) == MB_YESNO;
    opening.outer = openingBox;
    opening.openBoxes = &openBoxes;
    const ::tallyhorn::win::UniqueWindowsHook hook(
        SetWindowsHookExA(WH_CBT, &BoxHookProc, nullptr, GetCurrentThreadId()));
    opening.hook = hook.get();
    openingBox = &opening;
    struct Restore {
        OpeningBox& opening;
        std::vector<HWND>& open;
        ~Restore() {
            openingBox = opening.outer;
            if (opening.box && !open.empty() && open.back() == opening.box) open.pop_back();
        }
    } restore{opening, openBoxes};
    return MessageBoxA(opening.owner, text.c_str(), caption.c_str(), style | MB_SETFOREGROUND);
}

}  // namespace tallyhorn::client::win
