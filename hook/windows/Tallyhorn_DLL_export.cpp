// Tallyhorn.dll's entry points: DllMain and the print-job export.
#include <windows.h>

#include <cstdint>
#include <type_traits>
#include <utility>

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

namespace {

// The library's one process-wide state: when each reason's last event was written, and how
// many jobs went without one since.
constinit tallyhorn::hook::EventThrottle processEvents;

}  // namespace

// Exported under the facts' name and ordinal (the build's Tallyhorn.def). The caller removes
// the four arguments; the verdict is the low byte of the result. Nothing reaches the print
// host: the call fails open inside, where it can still log and report what failed.
extern "C" unsigned char __cdecl Handle_Print_Job(const wchar_t* DeviceName, const wchar_t* pDocumentName,
                                                  std::int32_t JobId, std::int32_t JobType) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    static_assert(noexcept(tallyhorn::hook::Handle_Print_Job(std::declval<tallyhorn::hook::HookPlatform&>(),
                                                             processEvents, nullptr, nullptr, 0, 0)));
    tallyhorn::hook::win::WinHookPlatform platform;
    return tallyhorn::hook::Handle_Print_Job(platform, processEvents, reinterpret_cast<const char16_t*>(DeviceName),
                                             reinterpret_cast<const char16_t*>(pDocumentName), JobId, JobType)
               ? 1
               : 0;
}

static_assert(std::is_same_v<decltype(Handle_Print_Job), tallyhorn::hook::HandlePrintJobExport>,
              "the export's definition and the type its callers use differ");
