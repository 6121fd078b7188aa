// What passes between the hook, the job monitor and the dialog: program name, file
// suffixes, sections, keys and the monitor's command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhorn::contract {

// The job monitor, a program in the hook's installation folder.
inline constexpr std::string_view kMonitorProgram = "Tallyhorn_Mon.exe";

// Folder under the installation folder that holds the job files.
inline constexpr std::string_view kJobFolder = "Temp\\";

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

// progDir + "Temp\" + tick number + "_" + JobId + ".txt"; progDir ends with "\" or is empty.
inline std::string JobFilePath(const std::string& progDir, std::uint32_t tick, std::int32_t jobId) {
    return progDir + std::string(kJobFolder) + TickNumber(tick) + "_" + std::to_string(jobId) +
           std::string(kJobFileExtension);
}

// A name as it goes onto the monitor's command line: a double quote inside it would end
// its argument early and shift the ones after it, so each becomes a single quote.
inline std::string CommandLineName(std::string name) {
    for (char& c : name)
        if (c == '"') c = '\'';
    return name;
}

// "<progDir>Tallyhorn_Mon.exe" "<job file>" "<device>" "<document>" <JobId> <JobType>
inline std::string MonitorCommandLine(const std::string& progDir, const std::string& jobFilePath,
                                      const std::string& deviceName, const std::string& documentName,
                                      std::int32_t jobId, std::int32_t jobType) {
    const std::string between = "\" \"";
    return "\"" + progDir + std::string(kMonitorProgram) + between + jobFilePath + between +
           CommandLineName(deviceName) + between + CommandLineName(documentName) + "\" " +
           std::to_string(jobId) + " " + std::to_string(jobType);
}

inline std::string ResultFilePath(const std::string& jobFilePath) {
    return jobFilePath + std::string(kResultSuffix);
}

inline std::string ResponseFilePath(const std::string& jobFilePath) {
    return jobFilePath + std::string(kResponseSuffix);
}

}  // namespace tallyhorn::contract
