// Tallyhorn.dll's export as a print host finds it, shared by the calls and the check.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "hook/windows/Tallyhorn_export.h"

namespace tallyhorn::harness {

using hook::kExportName;
using hook::kExportOrdinal;
using hook::kLibraryName;
using HandlePrintJob = hook::HandlePrintJobExport*;

// The export as found by its name (or by its ordinal), when name and ordinal 1 give the
// same one; otherwise null, and problem says what is wrong.
HandlePrintJob FindExport(HMODULE library, std::string& problem, bool byOrdinal = false);

// A file in the folder of this program.
std::wstring BesideThisProgram(const wchar_t* fileName);

}  // namespace tallyhorn::harness
