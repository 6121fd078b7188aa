// One retry loop for a file step that another process may be holding for a moment.
#pragma once

#include <windows.h>

namespace tallyhorn::win {

// The outcome of one try of a step: done, the file held by someone else (worth another
// try), or failed for good. Only the retry's steps answer it; it never crosses a role.
enum class Attempt { Done, Busy, Failed };

// The pause between two tries of a held file: short, since holders keep a file for
// milliseconds, and long enough not to spin.
inline constexpr DWORD kBusyRetryStepMs = 10;

// Runs `attempt` until it is not Busy, trying again every kBusyRetryStepMs for at most
// `budgetMs` after its first Busy; gives its last outcome (Busy when the time ran out).
// A budget of 0 tries once.
template <typename Try>
Attempt RetryWhileBusy(DWORD budgetMs, const Try& attempt) {
    const Attempt first = attempt();
    if (first != Attempt::Busy) return first;
    const DWORD firstBusy = GetTickCount();  // the difference survives the counter's wrap
    for (;;) {
        if (GetTickCount() - firstBusy >= budgetMs) return Attempt::Busy;
        Sleep(kBusyRetryStepMs);
        const Attempt result = attempt();
        if (result != Attempt::Busy) return result;
    }
}

}  // namespace tallyhorn::win
