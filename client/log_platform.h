// What the client log asks of the platform: the local clock, the locale's time separator
// and the append of one line.
#pragma once

#include <string>

#include "common/daily_log.h"

namespace tallyhorn::client {

class LogPlatform {
public:
    virtual LocalDateTime LocalTime() = 0;
    // The locale's time separator as the platform gives it (may be empty or longer).
    virtual std::string TimeSeparator() = 0;
    // Appends the bytes to a daily log file (never creating its folder); false when lost.
    virtual bool AppendToLog(const std::string& path, const std::string& bytes) = 0;

protected:
    ~LogPlatform() = default;
};

}  // namespace tallyhorn::client
