// Tallyhorn.dll's entry points: DllMain and the print-job export.
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "hook/Tallyhorn_DLL.h"
#include "hook/windows/Tallyhorn_export.h"
#include "hook/windows/win_hook_platform.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // The library starts no thread and wants no per-thread notices.
        DisableThreadLibraryCalls(instance);
        tallyhorn::hook::win::NoteLocaleTimeSeparator();
    }
    return TRUE;
}

// Exported under the name and at the ordinal of the installation's facts (the Tallyhorn.def
// that the build makes). The caller removes the four arguments; the verdict is the low byte
// of the result.
extern "C" unsigned char __cdecl Handle_Print_Job(const wchar_t* DeviceName, const wchar_t* pDocumentName,
                                                  std::int32_t JobId, std::int32_t JobType) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    try {
        tallyhorn::hook::win::WinHookPlatform platform;
        return tallyhorn::hook::Handle_Print_Job(platform, reinterpret_cast<const char16_t*>(DeviceName),
                                                 reinterpret_cast<const char16_t*>(pDocumentName), JobId, JobType)
                   ? 1
                   : 0;
    } catch (...) {
        // Nothing may reach the print host: the hook fails open.
        return 1;
    }
}

static_assert(std::is_same_v<decltype(Handle_Print_Job), tallyhorn::hook::HandlePrintJobExport>,
              "the export's definition and the type its callers use differ");
