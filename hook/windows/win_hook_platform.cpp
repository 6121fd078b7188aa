// The hook's platform seam on Win32.
#include "hook/windows/win_hook_platform.h"

#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <memory>
#include <vector>

#include "common/windows/basics.h"
#include "common/windows/event_log.h"
#include "common/windows/files.h"
#include "common/windows/handles.h"
#include "common/windows/log_file.h"
#include "common/windows/system_libraries.h"
#include "hook/windows/held_file.h"

namespace tallyhorn::hook::win {

namespace {

// How long a log line waits for the day's file while another process holds it. The
// hook's lines come from many print jobs at once, in several print hosts: long enough
// that their turns never cost a line, yet it bounds a blocked call (docs/hook.md).
constexpr DWORD kLogSharingRetryMs = 2000;

// ':' until DllMain has asked the locale.
std::atomic<char> timeSeparator{':'};

using TickCounter = DWORD(WINAPI*)();

// timeGetTime from winmm, which is no KnownDLL: loaded from the system folder on the first
// reading (never in DllMain, where loading a library may deadlock), once for all threads.
// Without it GetTickCount, the same millisecond counter wrapping at 2^32.
TickCounter LoadTickCounter() {
    if (const HMODULE winmm = tallyhorn::win::LoadSystemLibrary(L"winmm.dll"))
        if (const FARPROC found = GetProcAddress(winmm, "timeGetTime"))
            return reinterpret_cast<TickCounter>(reinterpret_cast<void (*)()>(found));
    return &GetTickCount;
}

// The log and job folders, when the hook makes them, as the package does (installation facts):
// SYSTEM and Administrators only, nothing inherited from the installation folder (which lets
// users read), so users cannot read job or log files.
constexpr const char* kAdminOnlyFolder = tallyhorn::facts::kAdminOnlyAccessFolderDacl.data();

// The descriptor of kAdminOnlyFolder, made once for the process (on the first folder, never
// in DllMain); null when it cannot be made, and the folder then gets the usual one.
SECURITY_ATTRIBUTES* AdminOnlyFolder() {
    struct Attributes {
        tallyhorn::win::UniqueLocalMemory descriptor;
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
        Attributes() {
            PSECURITY_DESCRIPTOR made = nullptr;
            if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminOnlyFolder, SDDL_REVISION_1, &made, nullptr))
                descriptor.reset(made);
            attributes.lpSecurityDescriptor = descriptor.get();
        }
    };
    static Attributes folder;  // initialised once, thread safe
    return folder.descriptor ? &folder.attributes : nullptr;
}

// The started monitor's process and thread handles, closed by Close or at the latest
// when this goes.
class WinStartedProcess final : public StartedProcess {
public:
    WinStartedProcess(tallyhorn::win::UniqueHandle process, tallyhorn::win::UniqueHandle thread)
        : process_(std::move(process)), thread_(std::move(thread)) {}
    CallResult Close() noexcept override {
        CallResult closed;
        if (!process_.reset()) closed = Failure(GetLastError());
        thread_.reset();
        return closed;
    }

private:
    tallyhorn::win::UniqueHandle process_;
    tallyhorn::win::UniqueHandle thread_;
};

}  // namespace

void NoteLocaleTimeSeparator() { timeSeparator = TimeSeparatorFrom(tallyhorn::win::LocaleTimeSeparator()); }

std::string WinHookPlatform::ReadProfileValue(const std::string& file, std::string_view section, std::string_view key,
                                              const std::string& defaultValue) {
    return tallyhorn::win::ReadProfileString(file, section, key, defaultValue);
}

std::uint32_t WinHookPlatform::Ticks() {
    static const TickCounter counter = LoadTickCounter();  // initialised once, thread safe
    return counter();
}

void WinHookPlatform::Pause(std::uint32_t milliseconds) { Sleep(milliseconds); }

LocalDateTime WinHookPlatform::LocalNow() { return tallyhorn::win::LocalNow(); }

char WinHookPlatform::TimeSeparator() { return timeSeparator; }

void WinHookPlatform::CreateFolder(const std::string& path) { CreateDirectoryA(path.c_str(), AdminOnlyFolder()); }

bool WinHookPlatform::FileExists(const std::string& path) { return tallyhorn::win::SearchFindsFileWithDosDate(path); }

void WinHookPlatform::RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

bool WinHookPlatform::IsReparsePoint(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::vector<std::string> WinHookPlatform::FilesIn(const std::string& folder) {
    return tallyhorn::win::FilesIn(folder);
}

std::unique_ptr<HeldFile> WinHookPlatform::HoldFile(const std::string& path, CallResult& opened) {
    return HoldFileOpen(path, opened);
}

bool WinHookPlatform::AppendToLog(const std::string& path, const std::string& bytes, bool& created) {
    return tallyhorn::win::AppendToLogFile(path, bytes, kLogSharingRetryMs, &created);
}

std::unique_ptr<StartedProcess> WinHookPlatform::StartProcess(const std::string& commandLine, CallResult& started) {
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        started = Failure(GetLastError());
        return nullptr;
    }
    // Owned before anything else can fail.
    tallyhorn::win::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return std::make_unique<WinStartedProcess>(std::move(processHandle), std::move(threadHandle));
}

void WinHookPlatform::RecordEvent(const events::Event& event) { tallyhorn::win::WriteToEventLog(event); }

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
