// The dialog's events on Win32: the Application log, under Tallyhorn's source.
#pragma once

#include "client/event_platform.h"
#include "common/windows/event_log.h"

namespace tallyhorn::client::win {

class Win32Events final : public EventPlatform {
public:
    void RecordEvent(const events::Event& event) override { ::tallyhorn::win::WriteToEventLog(event); }
};

}  // namespace tallyhorn::client::win
