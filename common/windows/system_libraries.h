// Where a Tallyhorn binary takes the system DLLs that it does not import: from the
// system folder only. Windows looks for a DLL that is not a KnownDLL in the program's
// own folder first, so a file planted there under a system DLL's name would otherwise
// run inside the print host or the user's dialog.
#pragma once

#include <windows.h>

namespace tallyhorn::win {

// Loads a system DLL (a bare name such as L"winmm.dll") from the system folder and
// nowhere else; null when it cannot be loaded there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// For a program, first thing in its entry: every later load by bare name, its own and
// the system's (a window's theme library, say), searches the system folder only. Does
// nothing where Windows lacks the call (Windows 7 without its loader update). Never
// for the hook library: the search path belongs to the print host.
void SearchSystemFolderOnly();

}  // namespace tallyhorn::win
