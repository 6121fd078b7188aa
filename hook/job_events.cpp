// The events of print jobs that go without the job monitor's verdict: one per reason, at
// most one a minute per reason in a print host, each telling how many jobs took that
// path meanwhile without an event of their own.
#include "hook/job_events.h"

namespace tallyhorn::hook {

namespace {

constexpr std::uint32_t kEventIds[kUncheckedReasons] = {events::kServerAddressEmpty, events::kMonitorNotStarted,
                                                        events::kNoResultInTime, events::kResultFileUnusable,
                                                        events::kCallFailed};

// The two ticks lie less than the interval apart, either way round (a call on another
// thread may have read its tick a moment before the last event's).
bool WithinInterval(std::uint32_t a, std::uint32_t b) { return a - b < kEventIntervalMs || b - a < kEventIntervalMs; }

}  // namespace

std::optional<std::uint32_t> EventThrottle::Claim(UncheckedReason reason, std::uint32_t tick) noexcept {
    Reason& state = reasons_[static_cast<std::size_t>(reason)];
    const std::uint32_t stamp = tick | 1u;
    std::uint32_t last = state.lastEvent.load();
    // When several calls find the event due at once, only the one whose compare-exchange
    // succeeds writes it; the others are counted.
    if ((last != 0 && WithinInterval(stamp, last)) || !state.lastEvent.compare_exchange_strong(last, stamp)) {
        state.unreported.fetch_add(1);
        return std::nullopt;
    }
    return state.unreported.exchange(0);
}

events::Event UncheckedJobEvent(UncheckedReason reason, std::int32_t jobId, const std::string& printer, bool held,
                                const std::string& detail, std::uint32_t unreported) {
    return {kEventIds[static_cast<std::size_t>(reason)],
            {std::to_string(jobId), events::InsertString(printer), std::string(held ? kHeld : kPrintedUnchecked),
             events::InsertString(detail), std::to_string(unreported)}};
}

}  // namespace tallyhorn::hook
