// The hook's platform seam on Win32.
#include "hook/windows/win_hook_platform.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <vector>

#include "common/windows/log_file.h"

namespace tallyhorn::hook::win {

namespace {

// Every profile value is read through a buffer of this size, so at most 2047 characters.
constexpr DWORD kProfileBufferSize = 2048;

// How long a log line waits for the day's file while another process holds it. The
// hook's lines come from many print jobs at once, in several print hosts: long enough
// that their turns never cost a line, yet it bounds a blocked call (docs/hook.md).
constexpr DWORD kLogSharingRetryMs = 2000;

// ':' until DllMain has asked the locale.
std::atomic<char> timeSeparator{':'};

}  // namespace

void NoteLocaleTimeSeparator() {
    char separator[16] = {};
    const int length = GetLocaleInfoA(GetThreadLocale(), LOCALE_STIME, separator, sizeof separator);
    // The count includes the terminating zero; a failure gives 0 and so ":".
    timeSeparator = TimeSeparatorFrom(length > 0 ? std::string(separator, static_cast<size_t>(length - 1)) : "");
}

std::string WinHookPlatform::ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                                               const std::string& defaultValue) {
    std::vector<char> value(kProfileBufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                                  defaultValue.c_str(), value.data(), kProfileBufferSize, file.c_str());
    return std::string(value.data(), length);
}

std::uint32_t WinHookPlatform::TickCount() { return timeGetTime(); }

void WinHookPlatform::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

LocalDateTime WinHookPlatform::LocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

char WinHookPlatform::TimeSeparator() { return timeSeparator; }

void WinHookPlatform::CreateFolder(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

bool WinHookPlatform::FileExists(const std::string& path) { return tallyhorn::win::FileExistsForLog(path); }

void WinHookPlatform::RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

bool WinHookPlatform::AppendToLog(const std::string& path, const std::string& bytes) {
    return tallyhorn::win::AppendToLogFile(path, bytes, kLogSharingRetryMs);
}

CallResult WinHookPlatform::StartProcess(const std::string& commandLine, MonitorHandles& started) {
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process))
        return {false, GetLastError()};
    started.process = reinterpret_cast<PlatformHandle>(process.hProcess);
    started.thread = reinterpret_cast<PlatformHandle>(process.hThread);
    return {};
}

CallResult WinHookPlatform::CloseMonitorHandle(PlatformHandle handle) {
    if (!CloseHandle(reinterpret_cast<HANDLE>(handle))) return {false, GetLastError()};
    return {};
}

std::string WinHookPlatform::NarrowName(const char16_t* text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text);
    // With -1 the lengths count the terminating zero; there is no limit on the name.
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    const int written = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<size_t>(written - 1) : 0);
    return narrow;
}

contract::LeadBytes WinHookPlatform::AnsiLeadBytes() {
    contract::LeadBytes leadBytes;
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info)) return leadBytes;
    // Ranges of lead bytes, in pairs of first and last, up to a pair of zeros.
    for (int pair = 0; pair + 1 < MAX_LEADBYTES && info.LeadByte[pair] != 0; pair += 2)
        for (unsigned byte = info.LeadByte[pair]; byte <= info.LeadByte[pair + 1]; ++byte) leadBytes.set(byte);
    return leadBytes;
}

}  // namespace tallyhorn::hook::win
