// How a failing test shows an event: its number and its strings.
#pragma once

#include <ostream>

#include "common/event_log.h"

namespace tallyhorn::events {

inline void PrintTo(const Event& event, std::ostream* out) {
    *out << ShownId(event.id) << (IsWarning(event.id) ? " warning" : " error");
    for (const std::string& text : event.strings) *out << " [" << text << "]";
}

}  // namespace tallyhorn::events
