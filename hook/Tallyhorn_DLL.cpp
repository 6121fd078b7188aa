// The print-job hook: its settings reader, its log writer and the print-job call,
// written against the hook's platform seam.
#include "hook/Tallyhorn_DLL.h"

#include <exception>
#include <string_view>

#include "contract/contract.h"
#include "hook/log_retention.h"
#include "hook/profile_number.h"

namespace tallyhorn::hook {

namespace {

// The call's log messages.
constexpr std::string_view kServerIpEmpty = "Server IP is empty";
constexpr std::string_view kCallStarted = "Handle_Print_Job, DeviceName = ";
constexpr std::string_view kCallJobType = ",  JobType = ";
constexpr std::string_view kCallDocument = ",  pDocumentName = ";
constexpr std::string_view kStartingMonitor = "Starting the Tallyhorn monitor, Job file is ";
constexpr std::string_view kStartFailed = "Error creating Monitor,   error ";
constexpr std::string_view kStartFailedCommandLine = ", Command Line=";
constexpr std::string_view kMonitorCreated = "Monitor created OK";
constexpr std::string_view kResultFile = "Rslt file ";
constexpr std::string_view kResultFound = " found";
constexpr std::string_view kResultNotFound = " not found";
constexpr std::string_view kResultIgnored = " ignored: ";
constexpr std::string_view kResultNotOpened = " could not be opened, error ";
// The system errors of a file that another process holds open for writing or deleting:
// the monitor may still be writing it (or a scanner looking at it), so it is looked at
// again at the next poll instead of being taken as no verdict.
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::string_view kReparsePoint = "reparse point";
constexpr std::string_view kLinks = " links";
constexpr std::string_view kOwner = "owner ";
constexpr std::string_view kHandleClosed = "Monitor Handle closed OK";
constexpr std::string_view kHandleCloseError = "Warning: Monitor Handle close error ";
constexpr std::string_view kVerdictTrue = "Result = 1";
constexpr std::string_view kVerdictFalse = "Result = 0";
// Ends a name that the log shows cut.
constexpr std::string_view kNameCut = "...";
// Not one of the monitor's steps: something failed inside the call, which then answers true.
constexpr std::string_view kCallFailed = "Error in Handle_Print_Job, the job is printed: ";

std::string Text(std::string_view piece) { return std::string(piece); }

// The monitor's two handles. Close() is the call's own step with its log line; a call
// that fails before it still closes both on the way out.
class MonitorHandleOwner {
public:
    MonitorHandleOwner(HookPlatform& platform, const MonitorHandles& handles) : platform_(platform), handles_(handles) {}
    MonitorHandleOwner(const MonitorHandleOwner&) = delete;
    MonitorHandleOwner& operator=(const MonitorHandleOwner&) = delete;
    ~MonitorHandleOwner() {
        try {
            if (open_) CloseBoth();
        } catch (...) {
        }
    }

    // Closes both handles; guarded, so a failure here changes no verdict.
    void Close(const HookSettings& settings, std::int32_t jobId) noexcept {
        try {
            const CallResult processClose = CloseBoth();
            if (processClose.succeeded)
                Write_Hook_Log(platform_, settings, kHandleClosed, jobId);
            else
                Write_Hook_Log(platform_, settings, Text(kHandleCloseError) + std::to_string(processClose.error), jobId);
        } catch (...) {
        }
    }

private:
    // The process handle's close is the one the log tells of.
    CallResult CloseBoth() {
        open_ = false;
        const CallResult processClose = platform_.CloseMonitorHandle(handles_.process);
        platform_.CloseMonitorHandle(handles_.thread);
        return processClose;
    }

    HookPlatform& platform_;
    MonitorHandles handles_;
    bool open_ = true;
};

std::string NameText(HookPlatform& platform, const char16_t* name) {
    return name == nullptr ? std::string() : platform.NarrowName(name);
}

// The verdict of a result file found, read while the file is held so that nothing can
// swap it meanwhile, and the file deleted. Nothing for a file that cannot be trusted: it
// is deleted where possible and the wait goes on; its reason is logged unless the look
// before logged the same one (a file that cannot be deleted is met at every look). Nothing
// either, and logged once, while another process holds the file: the next look tries again.
std::optional<bool> TakeResultFile(HookPlatform& platform, const std::string& path,
                                   const std::function<void(std::string_view)>& log, std::string& lastIgnored) {
    CallResult opened;
    std::unique_ptr<HeldFile> held = platform.HoldFile(path, opened);
    if (!held && (opened.error == kSharingViolation || opened.error == kLockViolation)) {
        const std::string busy = Text(kResultNotOpened) + std::to_string(opened.error);
        if (busy != lastIgnored) log(Text(kResultFile) + path + busy);
        lastIgnored = busy;
        return std::nullopt;
    }
    const std::string reason = held ? UntrustedReason(held->Facts()) : std::string();
    if (!reason.empty()) {
        held.reset();
        platform.RemoveFile(path);
        if (reason != lastIgnored) log(Text(kResultFile) + path + Text(kResultIgnored) + reason);
        lastIgnored = reason;
        return std::nullopt;
    }
    log(Text(kResultFile) + path + Text(kResultFound));
    bool verdict = true;  // a file that cannot be held gives no verdict: print
    if (held)
        verdict = ProfileBoolean(platform, path, contract::kJobSection, contract::kResultKey, true);
    else
        log(Text(kResultFile) + path + Text(kResultNotOpened) + std::to_string(opened.error));
    held.reset();
    platform.RemoveFile(path);
    return verdict;
}

// Deletes the hook's own logs older than LogDays; best effort, never the call's failure.
void PruneHookLogs(HookPlatform& platform, const HookSettings& settings, const LocalDateTime& today) noexcept {
    try {
        const std::string folder = settings.ProgDir + Text(contract::kLogFolder);
        for (const std::string& name : ExpiredHookLogs(platform.FilesIn(folder), today, settings.LogDays))
            platform.RemoveFile(folder + name);
    } catch (...) {
    }
}

// Steps 4 to 10 of the call, once the server address is known; returns the verdict.
bool RunMonitor(HookPlatform& platform, const HookSettings& settings, const char16_t* DeviceName,
                const char16_t* pDocumentName, std::int32_t JobId, std::int32_t JobType) {
    const auto log = [&](std::string_view message) { Write_Hook_Log(platform, settings, message, JobId); };

    const std::string device = NameText(platform, DeviceName);
    const std::string document = NameText(platform, pDocumentName);
    const contract::LeadBytes leadBytes = platform.AnsiLeadBytes();
    log(Text(kCallStarted) + LogName(device, leadBytes) + Text(kCallJobType) + std::to_string(JobType) +
        Text(kCallDocument) + LogName(document, leadBytes));

    const std::string jobFilePath = contract::JobFilePath(settings.ProgDir, platform.TickCount(), JobId);
    log(Text(kStartingMonitor) + jobFilePath);

    const std::string commandLine =
        contract::MonitorCommandLine(settings.ProgDir, jobFilePath, device, document, JobId, JobType, leadBytes);
    MonitorHandles started;
    const CallResult start = platform.StartProcess(commandLine, started);
    if (!start.succeeded) {
        // The whole command line, as started: its names are cut already, and the line's
        // own rule blanks their control characters.
        log(Text(kStartFailed) + std::to_string(start.error) + Text(kStartFailedCommandLine) + commandLine);
        return true;
    }
    MonitorHandleOwner handles(platform, started);
    log(kMonitorCreated);

    const std::string resultFilePath = contract::ResultFilePath(jobFilePath);
    std::string lastIgnored;
    const std::optional<bool> found = WaitForResultFile(
        platform, resultFilePath, [&] { return TakeResultFile(platform, resultFilePath, log, lastIgnored); });
    if (!found) log(Text(kResultFile) + resultFilePath + Text(kResultNotFound));
    handles.Close(settings, JobId);
    return found.value_or(true);
}

// The line for a failure that the call turns into the answer true.
void LogFailure(HookPlatform& platform, const HookSettings& settings, const char* what, std::int32_t jobId) noexcept {
    try {
        Write_Hook_Log(platform, settings, Text(kCallFailed) + what, jobId);
    } catch (...) {
    }
}

}  // namespace

HookSettings Read_Hook_Settings(HookPlatform& platform) noexcept {
    HookSettings settings;
    try {
        const std::string file = Text(kSettingsFile);
        settings.ProgDir = platform.ReadProfileString(file, kSettingsSection, kProgDirKey, Text(kProgDirDefault));
        settings.ServerIP = platform.ReadProfileString(file, kSettingsSection, kServerIpKey, std::string());
        settings.WriteToLog = ProfileBoolean(platform, file, kSettingsSection, kWriteToLogKey, true);
        settings.LogDays = ProfileInteger(platform, file, kSettingsSection, kLogDaysKey, 0);
    } catch (...) {
    }
    try {
        settings.ProgDir = NormalisedProgDir(std::move(settings.ProgDir));
    } catch (...) {
    }
    return settings;
}

std::string NormalisedProgDir(std::string progDir) {
    if (!progDir.empty() && progDir.back() != '\\') progDir += '\\';
    return progDir;
}

std::string HookLogPath(const std::string& progDir, const LocalDateTime& date) {
    return progDir + Text(contract::kLogFolder) + Text(kLogFilePrefix) + DailyLogDate(date) + Text(kLogFileExtension);
}

std::string HookLogLine(const LocalDateTime& time, char separator, std::int32_t jobId, std::string_view message) {
    std::string text(message);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';  // never the second byte of a pair
    return LogTime(time, separator) + "  [" + std::to_string(jobId) + "]\t" + text + "\r\n";
}

std::string LogName(std::string_view name, const contract::LeadBytes& leadBytes) {
    const std::size_t kept = contract::WholeCharactersWithin(name, contract::kMaxNameBytes, leadBytes);
    return kept == name.size() ? Text(name) : Text(name.substr(0, kept)) + Text(kNameCut);
}

void Write_Hook_Log(HookPlatform& platform, const HookSettings& settings, std::string_view message,
                    std::int32_t jobId) noexcept {
    if (!settings.WriteToLog) return;
    // Both folders are tried for every line; only the missing "Debug\" costs the line.
    // Neither is followed where it leads elsewhere: the line is lost then.
    bool followsLink = false;
    for (std::string_view folder : {contract::kLogFolder, contract::kJobFolder}) {
        try {
            platform.CreateFolder(settings.ProgDir + Text(folder));
            followsLink = followsLink || platform.IsReparsePoint(settings.ProgDir + Text(folder));
        } catch (...) {
        }
    }
    if (followsLink) return;
    try {
        // The date for the name and the time for the line are two readings of the clock.
        const LocalDateTime today = platform.LocalTime();
        const std::string line = HookLogLine(platform.LocalTime(), platform.TimeSeparator(), jobId, message);
        bool created = false;
        // The line that starts a day's file prunes the old ones.
        if (platform.AppendToLog(HookLogPath(settings.ProgDir, today), line, created) && created)
            PruneHookLogs(platform, settings, today);
    } catch (...) {
    }
}

std::string UntrustedReason(const HeldFileFacts& facts) {
    if (facts.reparsePoint) return Text(kReparsePoint);
    if (facts.links > 1) return std::to_string(facts.links) + Text(kLinks);
    if (facts.owner == FileOwner::Other) return Text(kOwner) + facts.ownerName;
    return std::string();
}

std::optional<bool> WaitForResultFile(HookPlatform& platform, const std::string& resultFilePath,
                                      const std::function<std::optional<bool>()>& take) {
    const std::uint32_t startTick = platform.TickCount();
    for (;;) {
        platform.Sleep(kResultPollMs);
        if (platform.FileExists(resultFilePath))
            if (const std::optional<bool> verdict = take()) return verdict;
        const std::uint32_t elapsed = platform.TickCount() - startTick;
        if (elapsed > kResultWaitMs) return std::nullopt;
    }
}

bool Handle_Print_Job(HookPlatform& platform, const char16_t* DeviceName, const char16_t* pDocumentName,
                      std::int32_t JobId, std::int32_t JobType) noexcept {
    const HookSettings settings = Read_Hook_Settings(platform);
    if (settings.ServerIP.empty()) {
        Write_Hook_Log(platform, settings, kServerIpEmpty, JobId);
        return true;
    }
    bool verdict = true;
    try {
        verdict = RunMonitor(platform, settings, DeviceName, pDocumentName, JobId, JobType);
    } catch (const std::exception& failure) {
        LogFailure(platform, settings, failure.what(), JobId);
    } catch (...) {
        LogFailure(platform, settings, "unknown error", JobId);
    }
    Write_Hook_Log(platform, settings, verdict ? kVerdictTrue : kVerdictFalse, JobId);
    return verdict;
}

}  // namespace tallyhorn::hook
