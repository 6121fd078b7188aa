// What the hook's bench programs share: the export, a fine clock, the settings file and
// the day's log name (their names from the installation's facts); whole files come from the
// Wine tests' helpers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/windows/handles.h"
#include "hook/windows/Tallyhorn_export.h"
#include "tests/wine/common/files.h"
#include "tools/tool_handles.h"

namespace tallyhorn::bench {

using HandlePrintJob = hook::HandlePrintJobExport*;

using facts::kExportName;
using Text = std::string;

inline HandlePrintJob LoadExport(HMODULE library) {
    return reinterpret_cast<HandlePrintJob>(reinterpret_cast<void (*)()>(GetProcAddress(library, kExportName.data())));
}

inline double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

using wine_test::ReadBytes;
using wine_test::TodaysLogDate;
using wine_test::WriteBytes;

// The settings file in the Windows directory, where the hook looks for it.
inline std::string SettingsFile() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\" + Text(facts::kSettingsFile);
}

// The settings file as it was when the bench began, put back when it ends.
class SavedSettings {
public:
    SavedSettings() : bytes_(ReadBytes(SettingsFile())) {}
    SavedSettings(const SavedSettings&) = delete;
    SavedSettings& operator=(const SavedSettings&) = delete;
    ~SavedSettings() {
        if (bytes_.empty())
            DeleteFileA(SettingsFile().c_str());
        else
            WriteBytes(SettingsFile(), bytes_);
    }

private:
    std::string bytes_;
};

inline void WriteSettings(const std::string& progDir, bool withServer) {
    std::string text = "[";
    text.append(facts::kSettingsSection).append("]\r\n").append(facts::kProgDirKey).append("=" + progDir + "\r\n");
    if (withServer) text.append(facts::kServerIpKey).append("=127.0.0.1\r\n");
    WriteBytes(SettingsFile(), text);
}

inline std::string TodaysLog(const std::string& progDir) {
    return progDir + Text(facts::kLogFolder) + "Tallyhorn_Hk_" + TodaysLogDate() + ".log";
}

// Lets threads, also of several processes, start their calls at the same moment: each
// reports itself ready and waits for the go. (std::latch of this compiler's library can
// lose its wake-up and leave its waiters asleep for good: seen under Wine with 16 threads.)
class StartGate {
public:
    // The gate's owner; named objects let other processes wait at the same gate.
    StartGate(long parties, const char* readyName = nullptr, const char* goName = nullptr)
        : ready_(CreateSemaphoreA(nullptr, 0, parties, readyName)), go_(CreateEventA(nullptr, TRUE, FALSE, goName)) {}
    // Another process's side of a named gate.
    StartGate(const char* readyName, const char* goName)
        : ready_(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, readyName)), go_(OpenEventA(SYNCHRONIZE, FALSE, goName)) {}

    void ArriveAndWait() const {
        ReleaseSemaphore(ready_.get(), 1, nullptr);
        WaitForSingleObject(go_.get(), INFINITE);
    }
    // Opens the gate once all parties wait at it; a party that never comes is given a minute.
    void OpenWhenAllWait(long parties) const {
        for (long party = 0; party < parties; ++party) WaitForSingleObject(ready_.get(), 60000);
        SetEvent(go_.get());
    }

private:
    win::UniqueHandle ready_;
    win::UniqueHandle go_;
};

}  // namespace tallyhorn::bench
