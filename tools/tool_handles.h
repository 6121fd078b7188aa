// Owners that only the tools, tests and benchmarks need, on the product's handle owner:
// a loaded library and both handles of a started process.
#pragma once

#include <windows.h>

#include "common/windows/handles.h"

namespace tallyhorn::win {

struct ModuleTraits : NullIsEmpty<HMODULE> {
    static bool Close(Handle h) { return FreeLibrary(h) != 0; }
};
using UniqueModule = Unique<ModuleTraits>;

// Both handles that CreateProcess gives back.
struct ProcessHandles {
    UniqueHandle process;
    UniqueHandle thread;

    ProcessHandles() = default;
    explicit ProcessHandles(const PROCESS_INFORMATION& info) : process(info.hProcess), thread(info.hThread) {}
};

}  // namespace tallyhorn::win
