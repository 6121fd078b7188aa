// The hook's one seam to the platform: every operation of the print-job call that
// touches Windows. The Win32 layer implements it; tests use a fake.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/call_result.h"
#include "common/daily_log.h"
#include "common/event_log.h"
#include "contract/contract.h"

namespace tallyhorn::hook {

// Who owns a file, as far as trusting it goes.
enum class FileOwner { System, Administrators, TrustedInstaller, ProcessUser, Other };

// What the handle of a held file tells about it.
struct HeldFileFacts {
    bool reparsePoint = false;
    std::uint32_t links = 1;
    FileOwner owner = FileOwner::Other;
    std::string ownerName;  // the account, else its SID; for the log
};

// A file held open, so that nobody can write, delete or rename it, until this is destroyed.
// Its name can still be read through (profile reads share reading).
class HeldFile {
public:
    virtual ~HeldFile() = default;
    virtual const HeldFileFacts& Facts() const = 0;
};

// A program started, as its process and thread handles: both are closed by Close, or when
// this is destroyed. The program runs on either way.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    // Closes both handles; what it gives back is the process handle's close.
    virtual CallResult Close() noexcept = 0;
};

class HookPlatform {
public:
    virtual ~HookPlatform() = default;

    // A value of a profile-format file as GetPrivateProfileStringA gives it with a
    // 2048-byte buffer: at most 2047 characters, the default when file, section or key
    // is missing.
    virtual std::string ReadProfileValue(const std::string& file, std::string_view section, std::string_view key,
                                         const std::string& defaultValue) = 0;

    // The millisecond tick counter (timeGetTime); it wraps at 2^32.
    virtual std::uint32_t Ticks() = 0;
    // Waits that long on the calling thread (Sleep).
    virtual void Pause(std::uint32_t milliseconds) = 0;
    virtual LocalDateTime LocalNow() = 0;
    // The locale's time separator taken when the library was loaded.
    virtual char TimeSeparator() = 0;

    // Creates one folder level for SYSTEM and Administrators only, nothing inherited from
    // the folder above; every failure is ignored.
    virtual void CreateFolder(const std::string& path) = 0;
    // A directory search finds a file (not a folder) with a DOS-convertible write time.
    virtual bool FileExists(const std::string& path) = 0;
    // Deletes a file; the outcome is not reported.
    virtual void RemoveFile(const std::string& path) = 0;
    // A folder that is a reparse point (a junction or a link to somewhere else).
    virtual bool IsReparsePoint(const std::string& path) = 0;
    // The names of the files (not folders) in a folder; empty when it cannot be listed.
    virtual std::vector<std::string> FilesIn(const std::string& folder) = 0;
    // Holds a file open for reading, sharing neither write nor delete and not following a
    // reparse point at its name; null (with the system error in `opened`) when it cannot.
    virtual std::unique_ptr<HeldFile> HoldFile(const std::string& path, CallResult& opened) = 0;
    // Appends bytes to a daily log file by the log file rules; false when they were lost.
    // `created` tells whether this line began the file.
    virtual bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) = 0;

    // Starts a program minimised at normal priority; null (with the system error in
    // `started`) when it cannot.
    virtual std::unique_ptr<StartedProcess> StartProcess(const std::string& commandLine, CallResult& started) = 0;

    // Writes an event to the Application log under Tallyhorn's source; one that cannot be
    // written is lost without a trace.
    virtual void RecordEvent(const events::Event& event) = 0;

    // A zero-terminated UTF-16 name (never null here) in the system's ANSI code page.
    virtual std::string NarrowName(const char16_t* text) = 0;
    // The bytes that open a two-byte character in that code page.
    virtual contract::LeadBytes AnsiLeadBytes() = 0;
};

}  // namespace tallyhorn::hook
