// The client log's platform on Win32: the clock, the locale, the user's local application
// data folder and the daily log files in it.
#pragma once

#include <windows.h>

#include "client/log_platform.h"
#include "client/windows/user_folders.h"
#include "common/windows/basics.h"
#include "common/windows/files.h"
#include "common/windows/log_file.h"

namespace tallyhorn::client::win {

class Win32Log final : public LogPlatform {
public:
    LocalDateTime LocalNow() override { return ::tallyhorn::win::LocalNow(); }
    std::string TimeSeparator() override { return ::tallyhorn::win::LocaleTimeSeparator(); }
    std::string LocalAppData() override { return UserAppDataFolder(false); }
    bool FolderExists(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    void CreateFolder(const std::string& path) override { CreateDirectoryA(path.c_str(), nullptr); }
    bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) override {
        return ::tallyhorn::win::AppendToLogFile(path, bytes, ::tallyhorn::win::kDefaultSharingRetryMs, &created);
    }
    std::vector<std::string> FilesIn(const std::string& folder) override { return ::tallyhorn::win::FilesIn(folder); }
    bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }
    std::string ReadProfileValue(const std::string& file, const std::string& section,
                                 const std::string& key) override {
        return ::tallyhorn::win::ReadProfileString(file, section, key, "");
    }
};

}  // namespace tallyhorn::client::win
