// The events of print jobs that go without the job monitor's verdict: one per reason, at
// most one a minute per reason in a print host, each telling how many jobs took that
// path meanwhile without an event of their own.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/event_log.h"

namespace tallyhorn::hook {

// Why a job went without the monitor's verdict.
enum class UncheckedReason { ServerAddressEmpty, MonitorNotStarted, NoResultInTime, ResultFileUnusable, CallFailed };
inline constexpr std::size_t kUncheckedReasons = 5;

// What became of such a job.
inline constexpr std::string_view kPrintedUnchecked = "printed unchecked";
inline constexpr std::string_view kHeld = "held";

// The least time between two events of one reason in one process.
inline constexpr std::uint32_t kEventIntervalMs = 60000;

// For each reason, when its last event was written and how many jobs have taken it since
// without one. One for the whole process: calls on any thread share it without a lock
// (atomics only), so a flood of failing jobs costs one event a minute, not one each.
class EventThrottle {
public:
    constexpr EventThrottle() = default;
    EventThrottle(const EventThrottle&) = delete;
    EventThrottle& operator=(const EventThrottle&) = delete;

    // Whether the event of a job of this reason at this tick (milliseconds, wrapping at
    // 2^32) is to be written. If so, gives how many jobs of the reason went without one
    // since the last. If one was written within a minute of this tick, gives nothing and
    // counts the job for the next.
    std::optional<std::uint32_t> Claim(UncheckedReason reason, std::uint32_t tick) noexcept;

private:
    struct Reason {
        // The tick of the last event with its lowest bit set, so 0 means none yet.
        std::atomic<std::uint32_t> lastEvent{0};
        std::atomic<std::uint32_t> unreported{0};
    };
    std::array<Reason, kUncheckedReasons> reasons_{};
};

// The event of such a job: its id by the reason, and its strings: job id, printer (as the
// log shows names, control characters blanked), outcome, detail and the jobs not reported.
events::Event UncheckedJobEvent(UncheckedReason reason, std::int32_t jobId, const std::string& printer, bool held,
                                const std::string& detail, std::uint32_t unreported);

}  // namespace tallyhorn::hook
