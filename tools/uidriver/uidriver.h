// The UI test driver: starts the dialog program, finds its windows, reads what a user
// sees (texts, visibility, state, places), answers message boxes, types and presses
// keys through SendInput, and takes screenshots. Used by the Wine tests and by the
// uidriver command-line tool.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tools/tool_handles.h"

namespace tallyhorn::uidriver {

struct Program {
    tallyhorn::win::ProcessHandles handles;
    DWORD processId = 0;
    DWORD startError = 0;  // GetLastError of a failed start
};

// Starts `exe` with the command line `"exe" arguments` in `folder` (empty: the
// driver's own). showState < 0 leaves the show state to the system; otherwise it is
// passed in STARTUPINFO (STARTF_USESHOWWINDOW). processId is 0 when the start failed,
// and startError says why.
Program StartProgram(const std::string& exe, const std::string& arguments, int showState = -1,
                     const std::string& folder = "");
// Waits for the program to end; true with its exit code when it did within the time.
bool WaitForExit(const Program& program, DWORD timeoutMs, DWORD* exitCode = nullptr);

// The dialog window of the process (any process when processId is 0), or nullptr when
// none appears within the time.
HWND FindDialog(DWORD processId, DWORD timeoutMs);
// Waits until the window's text is `caption`; true when it was within the time.
bool WaitForText(HWND window, const std::string& caption, DWORD timeoutMs);

// The text of a window of any process, read with the wide call and given in the ANSI
// code page (the ANSI calls lose text across processes under Wine).
std::string TextOf(HWND window);

struct ControlState {
    bool exists = false;
    std::string text;
    bool visible = false;  // the control and all its parents are shown
    bool enabled = false;
    RECT place{};  // in the dialog's client coordinates
};
ControlState ReadControl(HWND dialog, int controlId);
// The dialog's client area on the screen.
RECT ClientRectOnScreen(HWND window);
// The items of a combo box's list, in list order.
std::vector<std::string> ComboItems(HWND combo);
// The window that has the keyboard focus in the dialog's thread (the dialog itself, a
// control or a control's part), or nullptr.
HWND FocusedWindow(HWND dialog);
// The control of the dialog that has the keyboard focus (0 when no control of the dialog has it).
int FocusedControlId(HWND dialog);

struct MessageBoxInfo {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;                  // the static control with id 0xFFFF
    std::vector<std::string> buttons;  // left to right
    RECT place{};
};
// The newest visible message box of the process that is not in `known`, or none
// (window nullptr) within the time.
MessageBoxInfo FindMessageBox(DWORD processId, DWORD timeoutMs, const std::vector<HWND>& known = {});
// Every visible message box of the process, in no particular order.
std::vector<HWND> MessageBoxes(DWORD processId);
// Clicks the box's button (IDOK, IDYES, IDNO ...) as the mouse would.
bool ClickBoxButton(HWND box, int buttonId);

// Keyboard input as a person makes it: to the foreground window.
bool BringToFront(HWND window);
void PressKey(WORD virtualKey);
void ReleaseKey(WORD virtualKey);
void TapKey(WORD virtualKey);
// Types each character with its key (and Shift where needed).
void TypeText(const std::string& text);
// Sets the comment box's text directly (WM_SETTEXT), without typing.
void SetText(HWND window, const std::string& text);
// Clicks a button control with the mouse message pair (BM_CLICK).
void ClickButton(HWND button);

// Saves the screen area (the whole screen when area is nullptr) as a 24-bit BMP file.
bool SaveScreenshot(const std::string& bmpPath, const RECT* area = nullptr);
// The window rectangle including the frame.
RECT WindowPlace(HWND window);

struct NamedControl {
    const char* name;
    int id;
};
// The dialog's controls by their designer names.
const std::vector<NamedControl>& DialogControls();

}  // namespace tallyhorn::uidriver
