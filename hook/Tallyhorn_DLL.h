// The print-job hook: its settings reader, its log writer and the print-job call,
// written against the hook's platform seam.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/daily_log.h"
#include "contract/contract.h"
#include "hook/hook_platform.h"
#include "hook/job_events.h"

namespace tallyhorn::hook {

// What one call read from "Tallyhorn.ini". Each call keeps its own, so calls that
// overlap never mix their installation folder or logging flag. A value that could not
// be read keeps the state the library starts in: empty folder, logging off.
struct HookSettings {
    std::string ProgDir;    // normalised: ends with "\" unless empty
    bool WriteToLog = false;
    std::string ServerIP;   // only tested for emptiness
    std::int32_t LogDays = 0;
    bool FailClosed = false;  // hold the job where the monitor fails to give a verdict
};

// The settings file, its section and its keys (the installation's facts).
using contract::kSettingsFile;
using contract::kSettingsSection;
using facts::kProgDirKey;
inline constexpr std::string_view kProgDirDefault = "c:";
using facts::kServerIpKey;
using facts::kWriteToLogKey;
using contract::kLogDaysKey;
using facts::kFailClosedKey;

// Reads the folder, the server's address, the log switch, the days of logs kept and the
// fail-closed switch, in that order, then normalises ProgDir. Never fails: a failure ends
// the reading and keeps what was read so far.
HookSettings Read_Hook_Settings(HookPlatform& platform) noexcept;

// One line of the hook log, when logging is on. Never fails; a line that cannot be
// written is lost without a trace.
void Write_Hook_Log(HookPlatform& platform, const HookSettings& settings, std::string_view message,
                    std::int32_t jobId) noexcept;

// The print-job call: starts the job monitor, waits for its result file and answers its
// verdict. Where no verdict can be read it answers true (false with FailClosed, unless the
// server address is empty or something failed inside) and writes an event, as `events`,
// the process's, lets it.
bool Handle_Print_Job(HookPlatform& platform, EventThrottle& events, const char16_t* DeviceName,
                      const char16_t* pDocumentName, std::int32_t JobId, std::int32_t JobType) noexcept;

// ---- the plain pieces of the above ----

// Appends "\" unless the folder is empty or ends with one already.
std::string NormalisedProgDir(std::string progDir);

// progDir + the log folder + "Tallyhorn_Hk_" + DD_MM_YYYY + ".log"
std::string HookLogPath(const std::string& progDir, const LocalDateTime& date);

// "hh:nn:ss  [JobId]<tab>message" and CR LF. A control character in the message is
// written as a blank, so that no text from outside can end the line and forge another.
std::string HookLogLine(const LocalDateTime& time, char separator, std::int32_t jobId,
                        std::string_view message);

// A device or document name as the log shows it: cut to whole characters within the
// longest name the monitor gets, with "..." when cut.
std::string LogName(std::string_view name, const contract::LeadBytes& leadBytes);

// The poll period and the bound of the wait for the result file.
inline constexpr std::uint32_t kResultPollMs = 500;
inline constexpr std::uint32_t kResultWaitMs = 120000;

// Looks for the file every poll period until `take` ends the wait for a file found (true)
// or the bound has passed (false). A file that `take` turns down counts as a look that
// found none. The elapsed time is taken modulo 2^32, so a wrap of the tick counter
// changes nothing.
bool WaitForResultFile(HookPlatform& platform, const std::string& resultFilePath, const std::function<bool()>& take);

// Why a held result file is not to be trusted ("reparse point", "2 links", "owner <name>");
// empty when it is.
std::string UntrustedReason(const HeldFileFacts& facts);

}  // namespace tallyhorn::hook
