// Writing one event to the Application log under Tallyhorn's source, as both deliverables'
// seams do.
#include "common/windows/event_log.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/windows/handles.h"

namespace tallyhorn::win {

void WriteToEventLog(const events::Event& event) {
    // Opened for each event: events are rare (failures only), and a handle kept open would
    // be one more thing shared by the print host's threads.
    const UniqueEventSource source(RegisterEventSourceA(nullptr, std::string(events::kEventSource).c_str()));
    if (!source) return;
    std::vector<const char*> strings;
    for (const std::string& text : event.strings) strings.push_back(text.c_str());
    ReportEventA(source.get(), events::IsWarning(event.id) ? EVENTLOG_WARNING_TYPE : EVENTLOG_ERROR_TYPE, 0, event.id,
                 nullptr, static_cast<WORD>(strings.size()), 0, strings.data(), nullptr);
}

}  // namespace tallyhorn::win
