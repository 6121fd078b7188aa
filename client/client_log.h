// The daily client log: Tallyhorn_Client_DD_MM_YYYY.log in the log folder of Tallyhorn\ in the
// user's local application data folder, written while the program folder has a log folder.
#pragma once

#include <string>

#include "client/log_platform.h"

namespace tallyhorn::client {

// The day's log file in a log folder (ending in a backslash).
std::string ClientLogPath(const std::string& logFolder, const LocalDateTime& date);

// One line: "hh:nn:ss", two blanks, the message, CR LF. A control byte in the message
// (texts from the job file and the server's errors among them) is written as a blank, so
// that nothing from outside can end the line, forge another or cut the file.
std::string ClientLogLine(const LocalDateTime& time, char separator, const std::string& message);

class ClientLog {
public:
    explicit ClientLog(LogPlatform& platform);

    // Reads the locale's time separator again (at start and on a settings change).
    void ReadTimeSeparator();

    // Appends one line to the user's log, when the program folder (ending in a backslash)
    // has a Debug folder: that folder is the administrator's switch and stays empty. The
    // line that begins a day's file deletes the user's logs older than LogDays of the
    // hook's settings file. Every failure loses the line silently.
    void Write(const std::string& programFolder, const std::string& message);

private:
    void PruneOldLogs(const std::string& logFolder, const LocalDateTime& today);

    LogPlatform& platform_;
    char separator_ = ':';
};

}  // namespace tallyhorn::client
