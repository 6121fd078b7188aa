// The dialog's message boxes: centred on the screen, each owned by the newest box still
// open (or by the dialog), and in a Yes/No box Escape and the close command answer No.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tallyhorn::client::win {

// Shows a modal box over the dialog and gives the button that closed it (IDYES, IDOK, ...).
// `openBoxes` holds the boxes open now, newest last: a box opened from inside another (by
// a tick or a socket notification) is owned by the newest, so it stays in front of it.
int ShowMessageBox(HWND dialog, std::vector<HWND>& openBoxes, const std::string& text, const std::string& caption,
                   UINT style);

}  // namespace tallyhorn::client::win
