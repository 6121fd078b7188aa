// Tallyhorn.dll's one export as print hosts find it: its library, name, ordinal and type.
// The DLL defines it (its Tallyhorn.def comes from the same facts); the harness and the benchmarks call it.
#pragma once

#include <cstdint>

#include "installation_facts.h"

namespace tallyhorn::hook {

inline constexpr wchar_t kLibraryName[] = L"Tallyhorn.dll";
using facts::kExportName;
using facts::kExportOrdinal;

// cdecl (on x64 the one calling convention there is): two UTF-16 names and two 32-bit
// numbers; the verdict is the low byte of the result.
using HandlePrintJobExport = unsigned char __cdecl(const wchar_t*, const wchar_t*, std::int32_t, std::int32_t);

}  // namespace tallyhorn::hook
