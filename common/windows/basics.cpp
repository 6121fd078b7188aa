// The Win32 reads that the hook's and the dialog's seams (and the tools) make alike:
// profile values, the local time, the locale's time separator, the program's own file,
// the words for an error code.
#include "common/windows/basics.h"

#include <windows.h>

#include <vector>

namespace tallyhorn::win {

namespace {

// Every profile value is read through a buffer of this size, so at most 2047 characters.
constexpr DWORD kProfileBufferSize = 2048;

}  // namespace

std::string ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                              const std::string& defaultValue) {
    std::vector<char> value(kProfileBufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                                  defaultValue.c_str(), value.data(), kProfileBufferSize, file.c_str());
    return std::string(value.data(), length);
}

LocalDateTime LocalNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string LocaleTimeSeparator() {
    char separator[16] = {};
    const int length = GetLocaleInfoA(GetThreadLocale(), LOCALE_STIME, separator, sizeof separator);
    // The count includes the terminating zero; a failure gives 0.
    return length > 0 ? std::string(separator, static_cast<size_t>(length - 1)) : std::string();
}

std::string ProgramPath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ProgramFolder() {
    const std::string path = ProgramPath();
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string SystemErrorText(std::uint32_t code) {
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
    return text;
}

}  // namespace tallyhorn::win
