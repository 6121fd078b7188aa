// The whole platform of the dialog program: every role in one, for the composition root
// that hands each part only its own role.
#pragma once

#include "client/event_platform.h"
#include "client/form_platform.h"
#include "client/history_platform.h"
#include "client/log_platform.h"
#include "client/socket_platform.h"

namespace tallyhorn::client {

class DialogPlatform : public FormPlatform,
                       public HistoryPlatform,
                       public SocketPlatform,
                       public LogPlatform,
                       public EventPlatform {
public:
    virtual ~DialogPlatform() = default;
};

}  // namespace tallyhorn::client
