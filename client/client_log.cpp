// The daily client log: Tallyhorn_Client_DD_MM_YYYY.log in the log folder of Tallyhorn\ in the
// user's local application data folder, written while the program folder has a log folder.
#include "client/client_log.h"

#include "client/dialog_texts.h"
#include "common/daily_log.h"
#include "common/log_retention.h"
#include "common/profile_number.h"
#include "contract/contract.h"

namespace tallyhorn::client {

namespace {

std::string Str(std::string_view text) { return std::string(text); }

}  // namespace

std::string ClientLogPath(const std::string& logFolder, const LocalDateTime& date) {
    return logFolder + Str(texts::kLogPrefix) + DailyLogDate(date) + Str(kLogFileExtension);
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
    } catch (...) {  // best effort: the separator stays as it was
    }
}

void ClientLog::Write(const std::string& programFolder, const std::string& message) {
    try {
        if (!platform_.FolderExists(programFolder + Str(contract::kLogFolder))) {
            return;
        }
        // In the user's own folder, which no other account writes to.
        const std::string localData = platform_.LocalAppData();
        if (localData.empty()) {
            return;
        }
        const std::string ownFolder = localData + Str(texts::kUserDataFolder);
        const std::string logFolder = ownFolder + Str(contract::kLogFolder);
        platform_.CreateFolder(ownFolder);
        platform_.CreateFolder(logFolder);
        // The date for the name is read before the time for the line, each on its own.
        const LocalDateTime today = platform_.LocalNow();
        const std::string line = ClientLogLine(platform_.LocalNow(), separator_, message);
        bool created = false;
        if (platform_.AppendToLog(ClientLogPath(logFolder, today), line, created) && created) {
            PruneOldLogs(logFolder, today);
        }
    } catch (...) {  // best effort: the line is lost
    }
}

// As the hook prunes its own: LogDays read by the profile number rule, only the dialog's
// dated files.
void ClientLog::PruneOldLogs(const std::string& logFolder, const LocalDateTime& today) {
    const std::int32_t logDays =
        ParseProfileNumber(platform_.ReadProfileValue(Str(contract::kSettingsFile), Str(contract::kSettingsSection),
                                                       Str(contract::kLogDaysKey)))
            .value_or(0);
    for (const std::string& name : ExpiredDatedLogs(platform_.FilesIn(logFolder), texts::kLogPrefix, today, logDays)) {
        platform_.RemoveFile(logFolder + name);
    }
}

}  // namespace tallyhorn::client
