// <windows.h> for the dialog's Win32 layer, without the macros that would rename the
// seam's own DeleteFile and ReplaceFile operations.
#pragma once

#include <windows.h>

#undef DeleteFile
#undef ReplaceFile
