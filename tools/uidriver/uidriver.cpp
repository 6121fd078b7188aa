// The UI test driver: finds the dialog's windows, reads them, answers boxes, sends keys
// and takes screenshots.
#include "tools/uidriver/uidriver.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "client/windows/control_ids.h"

namespace tallyhorn::uidriver {

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 3000;

std::string ToAnsi(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

std::wstring ToWide(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool ClassIs(HWND window, const char* name) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, name) == 0;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The dialog and its message boxes share the system's dialog class; only the dialog has
// a comment box.
bool IsJobDialog(HWND window) { return GetDlgItem(window, client::win::kIdComments_ComboBox) != nullptr; }

struct Search {
    DWORD processId;
    bool dialog;  // the job dialog, else message boxes
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if ((search->processId == 0 || ProcessOf(window) == search->processId) &&
        ClassIs(window, client::win::kDialogClassName) && IsJobDialog(window) == search->dialog &&
        (!search->visibleOnly || IsWindowVisible(window))) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool dialog, bool visibleOnly) {
    Search search{processId, dialog, visibleOnly, {}};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SendKey(WORD virtualKey, bool release) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0));  // MAPVK_VK_TO_VSC
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void SendUnicode(wchar_t character) {
    INPUT inputs[2] = {};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wScan = static_cast<WORD>(character);
        inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, inputs, sizeof inputs[0]);
}

}  // namespace

const std::vector<NamedControl>& DialogControls() {
    using namespace client::win;
    static const std::vector<NamedControl> controls = {
        {"Label4", kIdLabel4},
        {"Label2", kIdLabel2},
        {"DocumentName", kIdDocumentName},
        {"Pages", kIdPages},
        {"PrinterName", kIdPrinterName},
        {"Label1", kIdLabel1},
        {"Comments_ComboBox", kIdComments_ComboBox},
        {"Label3", kIdLabel3},
        {"Reason", kIdReason},
        {"OKBtn", kIdOKBtn},
        {"CancelBtn", kIdCancelBtn},
        {"Stop_Image", kIdStop_Image},
        {"Confirm_Image", kIdConfirm_Image},
        {"Comment_Image", kIdComment_Image},
    };
    return controls;
}

Program StartProgram(const std::string& exe, const std::string& arguments, int showState,
                     const std::string& folder) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (showState >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showState);
    }
    PROCESS_INFORMATION info{};
    Program program;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        program.startError = GetLastError();
        std::fprintf(stderr, "uidriver: starting %s failed (error %lu)\n", exe.c_str(), program.startError);
        return program;
    }
    program.handles = tallyhorn::win::ProcessHandles(info);
    program.processId = info.dwProcessId;
    return program;
}

bool WaitForExit(const Program& program, DWORD timeoutMs, DWORD* exitCode) {
    if (!program.handles.process) return false;
    const DWORD waited = WaitForSingleObject(program.handles.process.get(), timeoutMs);
    if (waited == WAIT_FAILED) std::fprintf(stderr, "uidriver: waiting for a program failed (error %lu)\n", GetLastError());
    if (waited != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(program.handles.process.get(), exitCode);
    return true;
}

HWND FindDialog(DWORD processId, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        const std::vector<HWND> found = TopLevelWindows(processId, true, false);
        if (!found.empty()) return found.front();
        if (GetTickCount() - started >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

bool WaitForText(HWND window, const std::string& caption, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        if (TextOf(window) == caption) return true;
        if (GetTickCount() - started >= timeoutMs || !IsWindow(window)) return false;
        Sleep(kPollMs);
    }
}

std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got)) {
        return {};
    }
    text.resize(got);
    return ToAnsi(text);
}

RECT WindowPlace(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    return place;
}

RECT ClientRectOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

ControlState ReadControl(HWND dialog, int controlId) {
    ControlState state;
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) return state;
    state.exists = true;
    state.text = TextOf(control);
    state.visible = IsWindowVisible(control) != FALSE;
    state.enabled = IsWindowEnabled(control) != FALSE;
    GetWindowRect(control, &state.place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&state.place), 2);
    return state;
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length == CB_ERR) break;
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT got =
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
        items.push_back(ToAnsi(item));
    }
    return items;
}

HWND FocusedWindow(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) ? info.hwndFocus : nullptr;
}

int FocusedControlId(HWND dialog) {
    HWND focus = FocusedWindow(dialog);
    // The combo box's edit field counts as the combo box.
    while (focus && GetParent(focus) != dialog) focus = GetParent(focus);
    return focus ? GetDlgCtrlID(focus) : 0;
}

std::vector<HWND> MessageBoxes(DWORD processId) { return TopLevelWindows(processId, false, true); }

MessageBoxInfo FindMessageBox(DWORD processId, DWORD timeoutMs, const std::vector<HWND>& known) {
    const DWORD started = GetTickCount();
    MessageBoxInfo info;
    for (;;) {
        for (HWND box : MessageBoxes(processId)) {
            bool seen = false;
            for (HWND old : known) seen = seen || old == box;
            if (!seen && GetDlgItem(box, 0xFFFF)) {
                info.window = box;
                break;
            }
        }
        if (info.window || GetTickCount() - started >= timeoutMs) break;
        Sleep(kPollMs);
    }
    if (!info.window) return info;
    info.owner = GetWindow(info.window, GW_OWNER);
    info.caption = TextOf(info.window);
    info.text = TextOf(GetDlgItem(info.window, 0xFFFF));
    info.place = WindowPlace(info.window);
    struct Buttons {
        static BOOL CALLBACK Add(HWND child, LPARAM lParam) {
            if (ClassIs(child, "Button") && IsWindowVisible(child)) {
                reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(child);
            }
            return TRUE;
        }
    };
    std::vector<HWND> buttons;
    EnumChildWindows(info.window, &Buttons::Add, reinterpret_cast<LPARAM>(&buttons));
    // Left to right, as the user reads them.
    for (std::size_t i = 1; i < buttons.size(); ++i) {
        for (std::size_t j = i; j > 0 && WindowPlace(buttons[j]).left < WindowPlace(buttons[j - 1]).left; --j) {
            std::swap(buttons[j], buttons[j - 1]);
        }
    }
    for (HWND button : buttons) info.buttons.push_back(TextOf(button));
    return info;
}

bool ClickBoxButton(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    if (!button) return false;
    ClickButton(button);
    return true;
}

void ClickButton(HWND button) {
    // Posted: the click may open a box whose loop would hold a sent message.
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool BringToFront(HWND window) {
    if (GetForegroundWindow() == window) return true;
    SetForegroundWindow(window);
    const DWORD started = GetTickCount();
    while (GetForegroundWindow() != window) {
        if (GetTickCount() - started >= 2000) return false;
        Sleep(kPollMs);
    }
    return true;
}

void PressKey(WORD virtualKey) { SendKey(virtualKey, false); }

void ReleaseKey(WORD virtualKey) { SendKey(virtualKey, true); }

void TapKey(WORD virtualKey) {
    PressKey(virtualKey);
    Sleep(30);
    ReleaseKey(virtualKey);
}

void TypeText(const std::string& text) {
    for (wchar_t character : ToWide(text)) {
        const SHORT key = character < 0x80 ? VkKeyScanW(character) : -1;
        if (key == -1) {
            SendUnicode(character);
        } else {
            const bool shift = (key & 0x100) != 0;
            if (shift) PressKey(VK_SHIFT);
            TapKey(static_cast<WORD>(key & 0xFF));
            if (shift) ReleaseKey(VK_SHIFT);
        }
        Sleep(10);
    }
}

void SetText(HWND window, const std::string& text) {
    const std::wstring wide = ToWide(text);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &result);
}

bool SaveScreenshot(const std::string& bmpPath, const RECT* area) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT shot = area ? *area : screen;
    const int width = shot.right - shot.left;
    const int height = shot.bottom - shot.top;
    if (width <= 0 || height <= 0) return false;
    const tallyhorn::win::WindowDc screenDc(nullptr);
    if (!screenDc) return false;
    const tallyhorn::win::UniqueMemoryDc memory(CreateCompatibleDC(screenDc.get()));
    const tallyhorn::win::UniqueGdiObject bitmap(CreateCompatibleBitmap(screenDc.get(), width, height));
    bool ok = memory && bitmap;
    std::vector<unsigned char> pixels;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up, as a BMP file keeps its rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    header.biSizeImage = stride * static_cast<DWORD>(height);
    if (ok) {
        {
            // GetDIBits wants the bitmap out of every device context.
            const tallyhorn::win::Selection drawing(memory.get(), bitmap.get());
            ok = BitBlt(memory.get(), 0, 0, width, height, screenDc.get(), shot.left, shot.top, SRCCOPY | CAPTUREBLT) !=
                 FALSE;
        }
        pixels.resize(header.biSizeImage);
        ok = ok && GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, static_cast<UINT>(height),
                             pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
    }
    if (!ok) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::ofstream out(bmpPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

}  // namespace tallyhorn::uidriver
