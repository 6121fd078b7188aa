// The print-job hook: its settings reader, its log writer and the print-job call,
// written against the hook's platform seam.
#include "hook/Tallyhorn_DLL.h"

#include <exception>
#include <initializer_list>
#include <optional>
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

std::string NameText(HookPlatform& platform, const char16_t* name) {
    return name == nullptr ? std::string() : platform.NarrowName(name);
}

// Deletes the hook's own logs older than LogDays.
void PruneHookLogs(HookPlatform& platform, const HookSettings& settings, const LocalDateTime& today) {
    const std::string folder = settings.ProgDir + Text(contract::kLogFolder);
    for (const std::string& name : ExpiredHookLogs(platform.FilesIn(folder), today, settings.LogDays))
        platform.RemoveFile(folder + name);
}

// Writes one line of the hook log from pieces. They are joined inside the guard, so that a
// caller that must not throw (the failure line) builds no string itself.
void WriteHookLogPieces(HookPlatform& platform, const HookSettings& settings, std::int32_t jobId,
                        std::initializer_list<std::string_view> pieces) noexcept {
    if (!settings.WriteToLog) return;
    try {
        // Both folders are made for every line; only a missing "Debug\" loses the line, and
        // so does a folder that is a link to somewhere else.
        bool followsLink = false;
        for (std::string_view folder : {contract::kLogFolder, contract::kJobFolder}) {
            const std::string path = settings.ProgDir + Text(folder);
            platform.CreateFolder(path);
            followsLink = followsLink || platform.IsReparsePoint(path);
        }
        if (followsLink) return;
        std::string message;
        for (std::string_view piece : pieces) message += piece;
        // The date for the name and the time for the line are two readings of the clock.
        const LocalDateTime today = platform.LocalNow();
        const std::string line = HookLogLine(platform.LocalNow(), platform.TimeSeparator(), jobId, message);
        bool created = false;
        // The line that starts a day's file prunes the old ones.
        if (platform.AppendToLog(HookLogPath(settings.ProgDir, today), line, created) && created)
            PruneHookLogs(platform, settings, today);
    } catch (...) {  // best effort: the line is lost, and nothing else
    }
}

// One call: the platform, the process's events, the settings that the call read and the
// job's own values.
struct JobCall {
    HookPlatform& platform;
    EventThrottle& events;
    const HookSettings& settings;
    const char16_t* DeviceName;
    std::int32_t JobId;

    void Log(std::initializer_list<std::string_view> pieces) const noexcept {
        WriteHookLogPieces(platform, settings, JobId, pieces);
    }

    // The answer for a job that gets no verdict from the monitor, and its event: print,
    // unless FailClosed holds the job because the monitor failed to give one.
    bool WithoutVerdict(UncheckedReason reason, std::string_view detail) const noexcept {
        const bool held =
            settings.FailClosed && reason != UncheckedReason::ServerAddressEmpty && reason != UncheckedReason::CallFailed;
        try {
            if (const std::optional<std::uint32_t> unreported = events.Claim(reason, platform.Ticks())) {
                const std::string printer = LogName(NameText(platform, DeviceName), platform.AnsiLeadBytes());
                platform.RecordEvent(UncheckedJobEvent(reason, JobId, printer, held, Text(detail), *unreported));
            }
        } catch (...) {  // best effort, as a log line: a lost event changes no answer
        }
        return !held;
    }

    // Something failed inside the call: its line, its event, and the job prints.
    bool Failed(const char* what) const noexcept {
        Log({kCallFailed, what});
        return WithoutVerdict(UncheckedReason::CallFailed, what);
    }
};

// The outcome of looking for the result file: the monitor's verdict, or why the last
// file found gave none (as its log line puts it after the path: " ignored: 2 links").
struct ResultLook {
    std::optional<bool> verdict;
    std::string unusable;
};

// Logs why a result file was turned down, unless the previous look logged the same (a
// file that cannot be deleted is found again at every look).
void TurnDown(const JobCall& call, const std::string& path, const std::string& why, ResultLook& look) {
    if (why != look.unusable) call.Log({kResultFile, path, why});
    look.unusable = why;
}

// Takes the result file that a look found; true when that ends the wait. The verdict is
// read while the file is held open, so that nothing can swap it, and then the file is
// deleted. The wait goes on when the file cannot be trusted (it is deleted where possible)
// or another process holds it (the next look tries again). A file that cannot be opened
// for another reason ends the wait without a verdict.
bool TakeResultFile(const JobCall& call, const std::string& path, ResultLook& look) {
    HookPlatform& platform = call.platform;
    CallResult opened;
    std::unique_ptr<HeldFile> held = platform.HoldFile(path, opened);
    if (!held && (opened.error == kSharingViolation || opened.error == kLockViolation)) {
        TurnDown(call, path, Text(kResultNotOpened) + std::to_string(opened.error), look);
        return false;
    }
    const std::string reason = held ? UntrustedReason(held->Facts()) : std::string();
    if (!reason.empty()) {
        held.reset();
        platform.RemoveFile(path);
        TurnDown(call, path, Text(kResultIgnored) + reason, look);
        return false;
    }
    call.Log({kResultFile, path, kResultFound});
    if (held) {
        look.verdict = ProfileBoolean(platform, path, contract::kJobSection, contract::kResultKey, true);
    } else {
        look.unusable = Text(kResultNotOpened) + std::to_string(opened.error);
        call.Log({kResultFile, path, look.unusable});
    }
    held.reset();
    platform.RemoveFile(path);
    return true;
}

// Steps 4 to 10 of the call, once the server address is known; returns the answer.
bool RunMonitor(const JobCall& call, const char16_t* pDocumentName, std::int32_t JobType) {
    HookPlatform& platform = call.platform;
    const HookSettings& settings = call.settings;
    const std::string device = NameText(platform, call.DeviceName);
    const std::string document = NameText(platform, pDocumentName);
    const contract::LeadBytes leadBytes = platform.AnsiLeadBytes();
    call.Log({kCallStarted, LogName(device, leadBytes), kCallJobType, std::to_string(JobType), kCallDocument,
              LogName(document, leadBytes)});

    const std::string jobFilePath = contract::JobFilePath(settings.ProgDir, platform.Ticks(), call.JobId);
    call.Log({kStartingMonitor, jobFilePath});

    const std::string commandLine = contract::MonitorCommandLine(settings.ProgDir, jobFilePath, device, document,
                                                                 call.JobId, JobType, leadBytes);
    CallResult start;
    const std::unique_ptr<StartedProcess> monitor = platform.StartProcess(commandLine, start);
    if (!monitor) {
        // The whole command line, as started: its names are cut and blanked already.
        const std::string error = std::to_string(start.error);
        call.Log({kStartFailed, error, kStartFailedCommandLine, commandLine});
        return call.WithoutVerdict(UncheckedReason::MonitorNotStarted, error);
    }
    call.Log({kMonitorCreated});

    const std::string resultFilePath = contract::ResultFilePath(jobFilePath);
    ResultLook look;
    if (!WaitForResultFile(platform, resultFilePath, [&] { return TakeResultFile(call, resultFilePath, look); }))
        call.Log({kResultFile, resultFilePath, kResultNotFound});
    const CallResult closed = monitor->Close();
    if (closed.succeeded)
        call.Log({kHandleClosed});
    else
        call.Log({kHandleCloseError, std::to_string(closed.error)});

    if (look.verdict) return *look.verdict;
    if (look.unusable.empty()) return call.WithoutVerdict(UncheckedReason::NoResultInTime, {});
    return call.WithoutVerdict(UncheckedReason::ResultFileUnusable, std::string_view(look.unusable).substr(1));
}

}  // namespace

HookSettings Read_Hook_Settings(HookPlatform& platform) noexcept {
    HookSettings settings;
    try {
        const std::string file = Text(kSettingsFile);
        settings.ProgDir = platform.ReadProfileValue(file, kSettingsSection, kProgDirKey, Text(kProgDirDefault));
        settings.ServerIP = platform.ReadProfileValue(file, kSettingsSection, kServerIpKey, std::string());
        settings.WriteToLog = ProfileBoolean(platform, file, kSettingsSection, kWriteToLogKey, true);
        settings.LogDays = ProfileInteger(platform, file, kSettingsSection, kLogDaysKey, 0);
        settings.FailClosed = ProfileBoolean(platform, file, kSettingsSection, kFailClosedKey, false);
    } catch (...) {  // best effort: what was read so far holds
    }
    try {
        settings.ProgDir = NormalisedProgDir(std::move(settings.ProgDir));
    } catch (...) {  // best effort: the folder as it was read
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
    WriteHookLogPieces(platform, settings, jobId, {message});
}

std::string UntrustedReason(const HeldFileFacts& facts) {
    if (facts.reparsePoint) return Text(kReparsePoint);
    if (facts.links > 1) return std::to_string(facts.links) + Text(kLinks);
    if (facts.owner == FileOwner::Other) return Text(kOwner) + facts.ownerName;
    return std::string();
}

bool WaitForResultFile(HookPlatform& platform, const std::string& resultFilePath, const std::function<bool()>& take) {
    const std::uint32_t startTick = platform.Ticks();
    for (;;) {
        platform.Pause(kResultPollMs);
        if (platform.FileExists(resultFilePath) && take()) return true;
        const std::uint32_t elapsed = platform.Ticks() - startTick;
        if (elapsed > kResultWaitMs) return false;
    }
}

bool Handle_Print_Job(HookPlatform& platform, EventThrottle& events, const char16_t* DeviceName,
                      const char16_t* pDocumentName, std::int32_t JobId, std::int32_t JobType) noexcept {
    const HookSettings settings = Read_Hook_Settings(platform);
    const JobCall call{platform, events, settings, DeviceName, JobId};
    if (settings.ServerIP.empty()) {
        call.Log({kServerIpEmpty});
        return call.WithoutVerdict(UncheckedReason::ServerAddressEmpty, {});
    }
    bool verdict = true;
    try {
        verdict = RunMonitor(call, pDocumentName, JobType);
    } catch (const std::exception& failure) {  // fail open: whatever failed, the job prints
        verdict = call.Failed(failure.what());
    } catch (...) {  // fail open, as above
        verdict = call.Failed("unknown error");
    }
    call.Log({verdict ? kVerdictTrue : kVerdictFalse});
    return verdict;
}

}  // namespace tallyhorn::hook
