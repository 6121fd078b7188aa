// The daily client log: Debug\Tallyhorn_Client_DD_MM_YYYY.log in the program folder.
#pragma once

#include <string>

#include "client/log_platform.h"

namespace tallyhorn::client {

// The day's log file for a program folder (ending in a backslash).
std::string ClientLogPath(const std::string& programFolder, const LocalDateTime& date);

// One line: "hh:nn:ss", two blanks, the message, CR LF. A control byte in the message
// (texts from the job file and the server's errors among them) is written as a blank, so
// that nothing from outside can end the line, forge another or cut the shared file.
std::string ClientLogLine(const LocalDateTime& time, char separator, const std::string& message);

class ClientLog {
public:
    explicit ClientLog(LogPlatform& platform);

    // Reads the locale's time separator again (at start and on a settings change).
    void ReadTimeSeparator();

    // Appends one line; every failure loses the line silently.
    void Write(const std::string& programFolder, const std::string& message);

private:
    LogPlatform& platform_;
    char separator_ = ':';
};

}  // namespace tallyhorn::client
