// Tallyhorn.dll's one export as print hosts find it: its library, name, ordinal and type.
// The DLL defines it (Tallyhorn.def names it alike); the harness and the benchmarks call it.
#pragma once

#include <cstdint>

namespace tallyhorn::hook {

inline constexpr wchar_t kLibraryName[] = L"Tallyhorn.dll";
inline constexpr char kExportName[] = "Handle_Print_Job@16";
inline constexpr unsigned short kExportOrdinal = 1;

// cdecl (on x64 the one calling convention there is): two UTF-16 names and two 32-bit
// numbers; the verdict is the low byte of the result.
using HandlePrintJobExport = unsigned char __cdecl(const wchar_t*, const wchar_t*, std::int32_t, std::int32_t);

}  // namespace tallyhorn::hook
