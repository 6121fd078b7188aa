// Writing one event to the Application log under Tallyhorn's source, as both deliverables'
// seams do.
#pragma once

#include "common/event_log.h"

namespace tallyhorn::win {

// Writes the event (a warning or an error by its id); an event that cannot be written is
// lost without a trace, like a log line.
void WriteToEventLog(const events::Event& event);

}  // namespace tallyhorn::win
