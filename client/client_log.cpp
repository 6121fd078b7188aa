// The daily client log: Debug\Tallyhorn_Client_DD_MM_YYYY.log in the program folder.
#include "client/client_log.h"

#include "client/dialog_texts.h"
#include "common/daily_log.h"
#include "contract/contract.h"

namespace tallyhorn::client {

std::string ClientLogPath(const std::string& programFolder, const LocalDateTime& date) {
    return programFolder + std::string(contract::kLogFolder) + std::string(texts::kLogPrefix) + DailyLogDate(date) +
           std::string(texts::kLogSuffix);
}

std::string ClientLogLine(const LocalDateTime& time, char separator, const std::string& message) {
    std::string text = message;
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';  // never the second byte of a pair
    }
    return LogTime(time, separator) + "  " + text + "\r\n";
}

ClientLog::ClientLog(LogPlatform& platform) : platform_(platform) {}

void ClientLog::ReadTimeSeparator() {
    try {
        separator_ = TimeSeparatorFrom(platform_.TimeSeparator());
    } catch (...) {
        // Keeps the separator it had.
    }
}

void ClientLog::Write(const std::string& programFolder, const std::string& message) {
    try {
        // The date for the name is read before the time for the line, each on its own.
        const std::string path = ClientLogPath(programFolder, platform_.LocalTime());
        const std::string line = ClientLogLine(platform_.LocalTime(), separator_, message);
        platform_.AppendToLog(path, line);
    } catch (...) {
        // Best effort: the line is lost.
    }
}

}  // namespace tallyhorn::client
