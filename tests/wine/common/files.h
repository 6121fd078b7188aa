// Whole files and the day's log date, for the Wine tests and the benchmarks alike.
#pragma once

#include <windows.h>

#include <string>

#include "common/daily_log.h"
#include "common/windows/handles.h"

namespace tallyhorn::wine_test {

// A whole file, also while another program writes to it; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

// Replaces a file's bytes; true when all of them were written.
inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Today's "DD_MM_YYYY", as in the daily log files' names.
inline std::string TodaysLogDate() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return DailyLogDate({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
}

}  // namespace tallyhorn::wine_test
