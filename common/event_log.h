// Events of both deliverables in the Windows Application log, under the one source whose
// message table Tallyhorn.dll carries. The ids come from the message file
// (common/event_messages.mc.in) through the header that the message compiler makes of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "event_messages.h"  // made by the build from common/event_messages.mc.in
#include "installation_facts.h"

namespace tallyhorn::events {

// The event source in the Application log (the installation's facts).
using facts::kEventSource;

// The hook's events: a job printed or held without the job monitor's verdict.
inline constexpr std::uint32_t kServerAddressEmpty = TALLYHORN_EVENT_SERVER_ADDRESS_EMPTY;
inline constexpr std::uint32_t kMonitorNotStarted = TALLYHORN_EVENT_MONITOR_NOT_STARTED;
inline constexpr std::uint32_t kNoResultInTime = TALLYHORN_EVENT_NO_RESULT_IN_TIME;
inline constexpr std::uint32_t kResultFileUnusable = TALLYHORN_EVENT_RESULT_FILE_UNUSABLE;
inline constexpr std::uint32_t kCallFailed = TALLYHORN_EVENT_CALL_FAILED;
// The dialog's events: what the user was told failed.
inline constexpr std::uint32_t kCommentNotDelivered = TALLYHORN_EVENT_COMMENT_NOT_DELIVERED;
inline constexpr std::uint32_t kQuotaResponseNotWritten = TALLYHORN_EVENT_QUOTA_RESPONSE_NOT_WRITTEN;
inline constexpr std::uint32_t kDialogErrorShown = TALLYHORN_EVENT_DIALOG_ERROR_SHOWN;

// One event: its full message id (severity in the top two bits, the number that the
// Event Viewer shows in the low 16) and its insert strings, 8-bit ANSI text.
struct Event {
    std::uint32_t id = 0;
    std::vector<std::string> strings;

    bool operator==(const Event&) const = default;
};

// The id's severity is a warning's (else an error's).
inline bool IsWarning(std::uint32_t id) { return (id >> 30) == 2; }

// The number that the Event Viewer and Get-WinEvent show as the event's id.
inline std::uint16_t ShownId(std::uint32_t id) { return static_cast<std::uint16_t>(id & 0xFFFF); }

// A text as an insert string: a control character (CR, LF, tab ...) becomes a blank, so
// that text from outside cannot break the message into lines of its own.
inline std::string InsertString(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';  // never the second byte of a pair
    return text;
}

}  // namespace tallyhorn::events
