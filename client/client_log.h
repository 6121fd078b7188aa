// The daily client log: Debug\Tallyhorn_Client_DD_MM_YYYY.log in the program folder.
#pragma once

#include <string>

#include "client/dialog_platform.h"

namespace tallyhorn::client {

// The day's log file for a program folder (ending in a backslash).
std::string ClientLogPath(const std::string& programFolder, const LocalDateTime& date);

// One line: "hh:nn:ss", two blanks, the message, CR LF.
std::string ClientLogLine(const LocalDateTime& time, char separator, const std::string& message);

class ClientLog {
public:
    explicit ClientLog(DialogPlatform& platform);

    // Reads the locale's time separator again (at start and on a settings change).
    void ReadTimeSeparator();

    // Appends one line; every failure loses the line silently.
    void Write(const std::string& programFolder, const std::string& message);

private:
    DialogPlatform& platform_;
    char separator_ = ':';
};

}  // namespace tallyhorn::client
