// What passes between the hook, the job monitor and the dialog: program name, file
// suffixes, sections, keys and the monitor's command line. The names that the package
// installs too are the installation's facts (contract/installation_facts.txt).
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "installation_facts.h"

namespace tallyhorn::contract {

// The job monitor, a program in the hook's installation folder.
inline constexpr std::string_view kMonitorProgram = "Tallyhorn_Mon.exe";

// Folder under the hook's installation folder and under the dialog's program folder
// that holds the day's log files.
using facts::kLogFolder;

// The hook's settings file, named without a folder so that the profile API looks for it
// in the Windows directory, and its section. The dialog reads one key of it: how many
// days of its own logs it keeps, as the hook does with its own (not positive or not a
// number: every log is kept).
using facts::kSettingsFile;
using facts::kSettingsSection;
using facts::kLogDaysKey;

// Folder under the installation folder that holds the job files.
using facts::kJobFolder;

// Appended whole to a job file path.
inline constexpr std::string_view kResultSuffix = ".rslt";
inline constexpr std::string_view kResponseSuffix = ".response";

// The one section of the job, result and response files.
inline constexpr std::string_view kJobSection = "PrintJob";

// Result file: 0 means "do not print", any other number (or none readable) means print.
inline constexpr std::string_view kResultKey = "Result";

// Response file, written by the dialog in quota mode.
inline constexpr std::string_view kResponseKey = "Response";

// Job file keys, read by the dialog.
inline constexpr std::string_view kPrinterKey = "Printer";
inline constexpr std::string_view kDocumentNameKey = "DocumentName";
inline constexpr std::string_view kPagesKey = "Pages";
inline constexpr std::string_view kActionKey = "Action";
inline constexpr std::string_view kErrorMsgKey = "ErrorMsg";
inline constexpr std::string_view kServerIpKey = "ServerIP";
inline constexpr std::string_view kJobIdKey = "JobID";
inline constexpr std::string_view kUserIpKey = "UserIP";

// Job file actions; a quota action is any text that contains kQuotaAction.
inline constexpr std::string_view kCommentAction = "COMMENT";
inline constexpr std::string_view kRejectAction = "REJECT";
inline constexpr std::string_view kQuotaAction = "QUOTA";

// Response values.
inline constexpr std::string_view kResponsePrintPrefix = "OK, GO ON";  // followed by the JobID
inline constexpr std::string_view kResponseCancel = "QUOTA VIOLATION";

// The comment server's TCP port.
inline constexpr std::uint16_t kServerPort = 5052;

// The comment exchange: the dialog sends kCommentMessageHead, the JobID, kCommentSeparator,
// the comment and kCommentSeparator; the server's reply is an acknowledgement when it
// begins with one of the two markers.
inline constexpr std::string_view kCommentMessageHead = "Client Comment";
inline constexpr std::string_view kCommentSeparator = "##";
inline constexpr std::string_view kCommentAck = "Client Comment OK";
inline constexpr std::string_view kQuotaAck = "Quota Approval OK";

// Ending of a job file name.
inline constexpr std::string_view kJobFileExtension = ".txt";

// The tick number in a job file name: the decimal absolute value of the tick counter
// read as a signed 32-bit number. The one value without a 32-bit absolute value,
// 2^31, keeps its signed form "-2147483648".
inline std::string TickNumber(std::uint32_t tick) {
    const auto asSigned = static_cast<std::int64_t>(static_cast<std::int32_t>(tick));
    if (asSigned == INT32_MIN) return std::to_string(asSigned);
    return std::to_string(asSigned < 0 ? -asSigned : asSigned);
}

// progDir + the job folder + tick number + "_" + JobId + ".txt"; progDir ends with "\" or is empty.
inline std::string JobFilePath(const std::string& progDir, std::uint32_t tick, std::int32_t jobId) {
    return progDir + std::string(kJobFolder) + TickNumber(tick) + "_" + std::to_string(jobId) +
           std::string(kJobFileExtension);
}

// The longest name the monitor gets: the longest value a job file can carry (profile
// values are read through a 2048-byte buffer). It also keeps the command line far below
// the 32767 characters that starting a program allows.
inline constexpr std::size_t kMaxNameBytes = 2047;

// The bytes that open a two-byte character in the system's ANSI code page; none in a
// single-byte code page. Parsers of the Windows argument rules read such a pair as one
// character, so a second byte 0x5C there is no backslash.
using LeadBytes = std::bitset<256>;

// Calls see(offset, length) for each character of an ANSI text, in order. A lead byte
// at the very end has no second byte: it is no character and is left out, since it
// would take the quote after it as its second byte.
template <typename See>
void EachCharacter(std::string_view text, const LeadBytes& leadBytes, See see) {
    for (std::size_t at = 0; at < text.size();) {
        const bool lead = leadBytes[static_cast<unsigned char>(text[at])];
        if (lead && at + 1 == text.size()) return;
        const std::size_t length = lead ? 2 : 1;
        if (!see(at, length)) return;
        at += length;
    }
}

// The longest run of whole characters at the start of the text that fits in maxBytes.
inline std::size_t WholeCharactersWithin(std::string_view text, std::size_t maxBytes, const LeadBytes& leadBytes) {
    std::size_t end = 0;
    EachCharacter(text, leadBytes, [&](std::size_t at, std::size_t length) {
        if (at + length > maxBytes) return false;
        end = at + length;
        return true;
    });
    return end;
}

// A name as it goes between the double quotes of its argument, so that every parser of
// the Windows argument rules (CommandLineToArgvW, the C runtime) reads it back as one
// argument, the name itself:
// - a double quote would end the argument early: it becomes a single quote;
// - a control character (below 0x20: tab, CR, LF ...) becomes a blank, as in the hook's
//   log, so that a name cannot carry a line break into a file that the monitor writes;
// - the name is cut to whole characters within kMaxNameBytes;
// - backslashes escape only a double quote, so only a run of backslashes that ends the
//   name is doubled: the closing quote then stays a quote ("C:\reports\" reads back as
//   C:\reports\ instead of swallowing the quote and the arguments after it).
inline std::string CommandLineName(std::string name, const LeadBytes& leadBytes = {}) {
    for (char& c : name) {
        // Neither is ever the second byte of a pair in any ANSI code page.
        if (c == '"') c = '\'';
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    name.resize(WholeCharactersWithin(name, kMaxNameBytes, leadBytes));
    std::size_t endingBackslashes = 0;
    EachCharacter(name, leadBytes, [&](std::size_t at, std::size_t length) {
        endingBackslashes = length == 1 && name[at] == '\\' ? endingBackslashes + 1 : 0;
        return true;
    });
    return name.append(endingBackslashes, '\\');
}

// "<progDir>Tallyhorn_Mon.exe" "<job file>" "<device>" "<document>" <JobId> <JobType>
// The program and job file pieces end in "Tallyhorn_Mon.exe" and ".txt", never in a
// backslash; only the names need the argument rules.
inline std::string MonitorCommandLine(const std::string& progDir, const std::string& jobFilePath,
                                      const std::string& deviceName, const std::string& documentName,
                                      std::int32_t jobId, std::int32_t jobType, const LeadBytes& leadBytes = {}) {
    const std::string between = "\" \"";
    return "\"" + progDir + std::string(kMonitorProgram) + between + jobFilePath + between +
           CommandLineName(deviceName, leadBytes) + between + CommandLineName(documentName, leadBytes) + "\" " +
           std::to_string(jobId) + " " + std::to_string(jobType);
}

inline std::string ResultFilePath(const std::string& jobFilePath) {
    return jobFilePath + std::string(kResultSuffix);
}

inline std::string ResponseFilePath(const std::string& jobFilePath) {
    return jobFilePath + std::string(kResponseSuffix);
}

}  // namespace tallyhorn::contract
