// The application data folders of the account the dialog runs as, found through the shell.
#pragma once

#include <string>

namespace tallyhorn::client::win {

// The roaming (%APPDATA%, `roaming`) or local (%LOCALAPPDATA%) application data folder
// of the process's account, as the shell knows it for the process's token, not as the
// environment says (the program that starts the dialog may pass none, or another's). It
// is created when missing. Ends in a backslash; empty when the shell names none, or
// names one that the ANSI code page cannot spell even in its short form.
std::string UserAppDataFolder(bool roaming);

}  // namespace tallyhorn::client::win
