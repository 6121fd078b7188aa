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

inline std::string ResultFilePath(const std::string& jobFilePath) {
    return jobFilePath + std::string(kResultSuffix);
}

inline std::string ResponseFilePath(const std::string& jobFilePath) {
    return jobFilePath + std::string(kResponseSuffix);
}

}  // namespace tallyhorn::contract
