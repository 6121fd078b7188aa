// Tallyhorn.dll's export as a print host finds it, shared by the calls and the check.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tallyhorn::harness {

inline constexpr wchar_t kLibraryName[] = L"Tallyhorn.dll";
inline constexpr char kExportName[] = "Handle_Print_Job@16";
inline constexpr WORD kExportOrdinal = 1;

// As a print host declares it: cdecl (on x64 the one calling convention there is), two
// pointers to UTF-16 names and two 32-bit numbers; only the low byte of the result
// carries the verdict.
using HandlePrintJob = std::uint32_t(__cdecl*)(const wchar_t*, const wchar_t*, std::int32_t, std::int32_t);

// The export as found by its name (or by its ordinal), when name and ordinal 1 give the
// same one; otherwise null, and problem says what is wrong.
HandlePrintJob FindExport(HMODULE library, std::string& problem, bool byOrdinal = false);

// A file in the folder of this program.
std::wstring BesideThisProgram(const wchar_t* fileName);

}  // namespace tallyhorn::harness
