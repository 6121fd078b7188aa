// What the dialog TForm1 asks of the platform to tell administrators what the user was
// told failed: one event in the Application log, under Tallyhorn's source.
#pragma once

#include "common/event_log.h"

namespace tallyhorn::client {

class EventPlatform {
public:
    // Writes the event; one that cannot be written is lost without a trace.
    virtual void RecordEvent(const events::Event& event) = 0;

protected:
    ~EventPlatform() = default;
};

}  // namespace tallyhorn::client
