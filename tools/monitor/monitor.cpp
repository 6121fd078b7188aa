// Stand-in job monitor, built as Tallyhorn_Mon.exe: scripted by Tallyhorn_Mon.ini beside
// it, it writes the job's result file as a test or a demonstration needs, and can run
// the job dialog with a job file and turn its answer into the result.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "common/windows/basics.h"
#include "common/windows/files.h"
#include "common/windows/handles.h"
#include "contract/contract.h"
#include "tools/tool_handles.h"

namespace {

namespace contract = tallyhorn::contract;
using tallyhorn::win::ProcessHandles;
using tallyhorn::win::ProgramFolder;
using tallyhorn::win::ReadProfileString;
using tallyhorn::win::UniqueFile;

constexpr char kScriptFile[] = "Tallyhorn_Mon.ini";
constexpr char kScriptSection[] = "Monitor";

// What the command line gave: job file, device, document, job id, job type.
struct Job {
    std::string jobFile;
    std::string device;
    std::string document;
    std::string jobId;
    std::string jobType;
};

// The script's keys; "<key>.<JobId>" in the script wins over "<key>", so one script can
// give each job of a run its own behaviour.
class Script {
public:
    Script(std::string file, std::string jobId) : file_(std::move(file)), jobId_(std::move(jobId)) {}

    std::string Text(const char* key, const char* fallback) const {
        const std::string unset = "\x01";
        const std::string forJob = ReadProfileString(file_, kScriptSection, std::string(key) + "." + jobId_, unset);
        return forJob != unset ? forJob : ReadProfileString(file_, kScriptSection, key, fallback);
    }
    DWORD Milliseconds(const char* key, DWORD fallback) const {
        const std::string text = Text(key, "");
        char* end = nullptr;
        const unsigned long value = std::strtoul(text.c_str(), &end, 10);
        return text.empty() || *end != '\0' ? fallback : static_cast<DWORD>(value);
    }

private:
    std::string file_;
    std::string jobId_;
};

// Lines about this run, appended to the record file that the script names.
class Record {
public:
    explicit Record(std::string path) : path_(std::move(path)) {}
    void Line(const std::string& key, const std::string& value) const {
        if (path_.empty()) return;
        UniqueFile file(CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        const std::string line = key + "=" + value + "\r\n";
        DWORD written = 0;
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    std::string path_;
};

std::string Replaced(const std::string& text, std::string_view what, const std::string& with) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
        out.append(text, from, at - from).append(with);
        from = at + what.size();
    }
    return out.append(text, from, std::string::npos);
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && tallyhorn::win::WriteAll(file.get(), bytes);
}

// The result file appears whole: written under another name, then renamed, so that the
// hook never sees it before it holds its line.
void PublishResultFile(const Job& job, const std::string& bytes, const Record& record) {
    const std::string resultFile = contract::ResultFilePath(job.jobFile);
    const std::string partFile = resultFile + ".part";
    const bool done =
        WriteWholeFile(partFile, bytes) && MoveFileExA(partFile.c_str(), resultFile.c_str(), MOVEFILE_REPLACE_EXISTING);
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    record.Line("ResultWritten", done ? std::to_string(now.QuadPart) : "error " + std::to_string(GetLastError()));
}

std::string ResultFileText(const std::string& value) {
    std::string text = "[";
    text.append(contract::kJobSection).append("]\r\n").append(contract::kResultKey);
    return text.append("=").append(value).append("\r\n");
}

// The dialog's own job file: named as the hook's job, but in the dialog's folder, where
// the printing user may read and delete it and write the response beside it. The hook's
// Temp folder is for the hook and the monitor alone. (A monitor running as SYSTEM would
// also give this one file the printing user's ACL.)
std::string DialogJobFile(const Job& job, const std::string& dialog) {
    return FolderOf(dialog) + job.jobFile.substr(job.jobFile.find_last_of('\\') + 1);
}

// Dialog mode: the job file for the dialog, the dialog itself, then its answer.
std::string RunDialog(const Job& job, const Script& script, const Record& record) {
    const std::string action = script.Text("Action", contract::kCommentAction.data());
    const std::string installed = ProgramFolder() + std::string(tallyhorn::facts::kDialogFolder) + "TallyhornClient.exe";
    const std::string dialog = script.Text("Dialog", installed.c_str());
    const std::string jobFile = DialogJobFile(job, dialog);
    const std::string section(contract::kJobSection);

    // Without an answer: a comment job prints, a rejected or unanswered quota job does not.
    const bool quota = action.find(contract::kQuotaAction) != std::string::npos;
    const bool printsUnanswered = !quota && action != contract::kRejectAction;
    const std::string outcome = script.Text("Outcome", printsUnanswered ? "1" : "0");

    const std::pair<std::string_view, std::string> values[] = {
        {contract::kPrinterKey, job.device},
        {contract::kDocumentNameKey, job.document},
        {contract::kPagesKey, script.Text("Pages", "1")},
        {contract::kActionKey, action},
        {contract::kErrorMsgKey, script.Text("ErrorMsg", "")},
        {contract::kServerIpKey, script.Text("ServerIP", "127.0.0.1")},
        {contract::kJobIdKey, job.jobId},
        {contract::kUserIpKey, script.Text("UserIP", "127.0.0.1")},
    };
    // A line break in a value would start a key line of its own in the job file (a document
    // named "x<CR><LF>Action=REJECT" would set the dialog's mode): no job file, no dialog.
    for (const auto& [key, value] : values) {
        if (value.find_first_of("\r\n") != std::string::npos) {
            record.Line("Refused", std::string(key));
            return outcome;
        }
    }
    for (const auto& [key, value] : values)
        WritePrivateProfileStringA(section.c_str(), std::string(key).c_str(), value.c_str(), jobFile.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, jobFile.c_str());  // flush Wine's and Windows' cache

    std::string commandLine = "\"" + dialog + "\" \"" + jobFile + "\"";
    record.Line("DialogCommandLine", commandLine);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        record.Line("DialogExit", "not started, error " + std::to_string(GetLastError()));
        return outcome;
    }
    const ProcessHandles dialogProcess(started);
    if (WaitForSingleObject(dialogProcess.process.get(), script.Milliseconds("DialogWait", 110000)) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(dialogProcess.process.get(), &code);
        record.Line("DialogExit", std::to_string(code));
    } else {
        record.Line("DialogExit", "still running");  // left running, as the hook leaves its monitor
    }

    DeleteFileA(jobFile.c_str());  // when the dialog could not
    const std::string responseFile = contract::ResponseFilePath(jobFile);
    if (GetFileAttributesA(responseFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        record.Line("Response", "(none)");
        return outcome;
    }
    const std::string response = ReadProfileString(responseFile, section, contract::kResponseKey, "");
    DeleteFileA(responseFile.c_str());
    record.Line("Response", response);
    if (response == std::string(contract::kResponsePrintPrefix) + job.jobId) return "1";
    if (response == contract::kResponseCancel) return "0";
    return outcome;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 2) return 2;
    Job job;
    job.jobFile = __argv[1];
    job.device = __argc > 2 ? __argv[2] : "";
    job.document = __argc > 3 ? __argv[3] : "";
    job.jobId = __argc > 4 ? __argv[4] : "";
    job.jobType = __argc > 5 ? __argv[5] : "";

    const Script script(ProgramFolder() + kScriptFile, job.jobId);
    const Record record(Replaced(script.Text("Record", ""), "{job}", job.jobId));
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    record.Line("CommandLine", GetCommandLineA());
    record.Line("Arguments", std::to_string(__argc - 1));
    for (int i = 1; i < __argc; ++i) record.Line("Argument" + std::to_string(i), __argv[i]);
    record.Line("StartupFlags", std::to_string(startup.dwFlags));
    record.Line("ShowWindow", std::to_string(startup.wShowWindow));

    const std::string mode = script.Text("Mode", "result");
    if (mode == "exit") return 0;
    Sleep(script.Milliseconds("Delay", 0));
    // The monitor side makes the job folder when the hook's log has not.
    CreateDirectoryA(FolderOf(job.jobFile).c_str(), nullptr);

    const std::string resultFile = contract::ResultFilePath(job.jobFile);
    if (mode == "result") {
        PublishResultFile(job, ResultFileText(script.Text("Result", "1")), record);
    } else if (mode == "dialog") {
        const std::string result = RunDialog(job, script, record);
        record.Line("Result", result);
        PublishResultFile(job, ResultFileText(result), record);
    } else if (mode == "empty") {
        PublishResultFile(job, "", record);
    } else if (mode == "binary") {
        std::string bytes;
        for (int i = 0; i < 1024; ++i) bytes += static_cast<char>(i * 7 % 256);
        PublishResultFile(job, bytes, record);
    } else if (mode == "locked") {
        // Holds the result file without sharing, so the hook finds it but cannot read it.
        UniqueFile held(CreateFileA(resultFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const std::string bytes = ResultFileText("0");
        DWORD written = 0;
        WriteFile(held.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        record.Line("ResultWritten", "locked");
        Sleep(script.Milliseconds("Hold", 3000));
    } else if (mode == "linked") {
        // First a hard link at the result file's name to a file elsewhere that says print;
        // then, after LinkWait, the proper result file.
        const std::string target = script.Text("LinkTarget", "");
        const bool linked = WriteWholeFile(target, ResultFileText("1")) &&
                            CreateHardLinkA(resultFile.c_str(), target.c_str(), nullptr);
        record.Line("Linked", linked ? "yes" : "error " + std::to_string(GetLastError()));
        Sleep(script.Milliseconds("LinkWait", 3000));
        PublishResultFile(job, ResultFileText(script.Text("Result", "0")), record);
    } else if (mode == "folder") {
        CreateDirectoryA(resultFile.c_str(), nullptr);
        record.Line("ResultWritten", "folder");
    } else if (mode != "none") {
        record.Line("Error", "unknown Mode " + mode);
        return 3;
    }
    return 0;
}
