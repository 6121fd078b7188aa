// The comment history's platform on Win32: the comment box's drop-down list, the
// locale's order, and the history file in the user's roaming folder, read whole and
// replaced in one step under a lock file.
#pragma once

#include <windows.h>

#include "client/history_platform.h"
#include "client/windows/dialog_window.h"
#include "client/windows/user_folders.h"
#include "common/windows/files.h"

namespace tallyhorn::client::win {

class Win32HistoryList final : public HistoryPlatform {
public:
    explicit Win32HistoryList(DialogWindow& window) : window_(window) {}

    void ClearHistoryItems(std::size_t count, std::size_t bytes) override { window_.ClearHistoryItems(count, bytes); }
    bool InsertHistoryItem(std::size_t index, const std::string& entry) override {
        return window_.InsertHistoryItem(index, entry);
    }
    int CompareIgnoringCase(const std::string& a, const std::string& b) override;
    std::string SortKey(const std::string& text) override;
    std::string RoamingAppData() override { return UserAppDataFolder(true); }
    void CreateFolder(const std::string& path) override { CreateDirectoryA(path.c_str(), nullptr); }
    bool FileExists(const std::string& path) override { return ::tallyhorn::win::SearchFindsFileWithDosDate(path); }
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    std::unique_ptr<SaveLock> TakeSaveLock(const std::string& path, unsigned waitMs) override;

private:
    DialogWindow& window_;
};

}  // namespace tallyhorn::client::win
