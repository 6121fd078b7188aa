// What the client log asks of the platform: the local clock, the locale's time separator,
// the log switch, the user's own log folder, the append of one line, and the pruning of
// old logs by the hook's setting.
#pragma once

#include <string>
#include <vector>

#include "common/daily_log.h"

namespace tallyhorn::client {

class LogPlatform {
public:
    virtual LocalDateTime LocalNow() = 0;
    // The locale's time separator as the platform gives it (may be empty or longer).
    virtual std::string TimeSeparator() = 0;
    // The local application data folder (%LOCALAPPDATA%) of the account the dialog runs
    // as, from the system rather than the environment, ending in a backslash; empty when
    // the system names none.
    virtual std::string LocalAppData() = 0;
    // A folder (not a file) is at the path.
    virtual bool FolderExists(const std::string& path) = 0;
    // Creates one folder level; every failure is ignored.
    virtual void CreateFolder(const std::string& path) = 0;
    // Appends the bytes to a daily log file (never creating its folder); false when lost.
    // `created` tells whether they began the file.
    virtual bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) = 0;
    // The names of the files (not folders) in a folder; empty when it cannot be listed.
    virtual std::vector<std::string> FilesIn(const std::string& folder) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // A value of a profile-format file, read with an empty default through a 2048-byte buffer.
    virtual std::string ReadProfileValue(const std::string& file, const std::string& section,
                                         const std::string& key) = 0;

protected:
    ~LogPlatform() = default;
};

}  // namespace tallyhorn::client
