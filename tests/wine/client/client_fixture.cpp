// What the dialog's Wine tests share (see the header).
#include "tests/wine/client/client_fixture.h"

#include <windows.h>

#include <algorithm>
#include <sstream>

#include "common/windows/handles.h"

#ifndef TALLYHORN_CLIENT_EXE
#error "TALLYHORN_CLIENT_EXE names the dialog program in the build tree"
#endif
#ifndef TALLYHORN_SERVER_EXE
#error "TALLYHORN_SERVER_EXE names the stand-in comment server in the build tree"
#endif

namespace tallyhorn::client::wine_test {

namespace {

constexpr char kTestRoot[] = "C:\\tallyhorn-tests\\";

// Ends a program that a test started, when it still runs.
void EndIfRunning(const driver::Program& program, UINT exitCode) {
    if (program.handles.process && !driver::WaitForExit(program, 0)) {
        TerminateProcess(program.handles.process.get(), exitCode);
        driver::WaitForExit(program, 5000);
    }
}

}  // namespace

std::string UserDataFolder(bool roaming) {
    char folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(roaming ? "APPDATA" : "LOCALAPPDATA", folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(folder, length) + "\\Tallyhorn\\" : std::string();
}

JobKeys Job(const std::string& action, const std::string& jobId) {
    return {{"Printer", "HP LaserJet 4"}, {"DocumentName", "Quarterly report.docx"},
            {"Pages", "12"},              {"Action", action},
            {"ErrorMsg", kJobErrorMsg},   {"ServerIP", "127.0.0.1"},
            {"JobID", jobId},             {"UserIP", "10.1.2.3"}};
}

JobKeys With(JobKeys job, const std::string& key, const std::string& value) {
    for (auto& [name, old] : job)
        if (name == key) old = value;
    return job;
}

std::string JobFileText(const JobKeys& keys) {
    std::vector<std::string> lines;
    for (const auto& [key, value] : keys) lines.push_back(key + "=" + value);
    return ProfileText("PrintJob", lines);
}

// ---- ClientRun ----

ClientRun::ClientRun(bool withLogFolder, const std::string& name) : folder_(FreshTestFolder(kTestRoot, name)) {
    for (const bool roaming : {true, false}) RemoveTree(UserDataFolder(roaming));  // each run starts without them
    if (withLogFolder) CreateDirectoryA((folder_ + "Debug").c_str(), nullptr);
    exe_ = folder_ + "TallyhornClient.exe";
    CopyFileA(WindowsPath(TALLYHORN_CLIENT_EXE).c_str(), exe_.c_str(), FALSE);
}

ClientRun::~ClientRun() {
    EndIfRunning(program_, 99);
    RemoveTree(folder_);
    for (const bool roaming : {true, false}) RemoveTree(UserDataFolder(roaming));
}

bool ClientRun::WriteHistory(const std::string& bytes) const {
    return CreateFolders(UserDataFolder(true)) && WriteBytes(HistoryFile(), bytes);
}

void ClientRun::WriteJob(const JobKeys& keys) { WriteBytes(JobFile(), JobFileText(keys)); }

bool ClientRun::Start(int showState) {
    if (!Launch(Quoted(JobFile()), showState)) return false;
    dialog_ = driver::FindDialog(program_.processId, 15000);
    return dialog_ != nullptr;
}

bool ClientRun::Launch(const std::string& arguments, int showState) {
    program_ = driver::StartProgram(exe_, arguments, showState, folder_);
    return program_.processId != 0;
}

bool ClientRun::WaitForActivation(const std::string& caption) { return driver::WaitForText(dialog_, caption, 10000); }

::testing::AssertionResult ClientRun::Show(const JobKeys& job, const std::string& caption, int showState) {
    WriteJob(job);
    if (!Start(showState)) return ::testing::AssertionFailure() << "no dialog appeared";
    if (!WaitForActivation(caption))
        return ::testing::AssertionFailure() << "the caption is \"" << driver::TextOf(dialog_) << "\", not \""
                                             << caption << '"';
    return ::testing::AssertionSuccess();
}

bool ClientRun::WaitForExit(DWORD timeoutMs) { return driver::WaitForExit(program_, timeoutMs); }

bool ClientRun::WaitUntilEnabled() const {
    return WaitUntil([&] { return IsWindowEnabled(dialog_) != FALSE; }, 5000);
}

std::vector<std::string> ClientRun::LogLines() const {
    std::vector<std::string> lines;
    WIN32_FIND_DATAA found{};
    const ::tallyhorn::win::UniqueFind search(FindFirstFileA((LogFolder() + "Tallyhorn_Client_*.log").c_str(), &found));
    if (!search) return lines;
    do {
        for (const std::string& line : SplitLines(ReadBytes(LogFolder() + found.cFileName)))
            lines.push_back(line);
    } while (FindNextFileA(search.get(), &found));
    return lines;
}

std::vector<std::string> ClientRun::LogMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : LogLines()) messages.push_back(line.size() >= 10 ? line.substr(10) : line);
    return messages;
}

int ClientRun::Logged(const std::string& message) const {
    const std::vector<std::string> messages = LogMessages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

driver::MessageBoxInfo ClientRun::WaitForBox(DWORD timeoutMs, const std::vector<HWND>& known) {
    return driver::FindMessageBox(program_.processId, timeoutMs, known);
}

::testing::AssertionResult ClientRun::AnswerBox(const std::string& text, int buttonId,
                                                const std::vector<HWND>& known) {
    const driver::MessageBoxInfo box = WaitForBox(10000, known);
    if (!box.window) return ::testing::AssertionFailure() << "no box \"" << text << '"';
    if (box.text != text) return ::testing::AssertionFailure() << "the box says \"" << box.text << '"';
    if (!driver::ClickBoxButton(box.window, buttonId))
        return ::testing::AssertionFailure() << "no button " << buttonId << " in \"" << text << '"';
    if (!WaitUntil([&] { return !IsWindow(box.window); }, 5000))
        return ::testing::AssertionFailure() << "\"" << text << "\" stayed after the click";
    return ::testing::AssertionSuccess();
}

void ClientRun::Press(WORD virtualKey) {
    driver::BringToFront(dialog_);
    driver::PressKey(virtualKey);
    Sleep(60);
    driver::ReleaseKey(virtualKey);
}

void ClientRun::SetComment(const std::string& text) { driver::SetText(ControlWindow(kIdComments_ComboBox), text); }

void ClientRun::Click(int buttonId) { driver::ClickButton(ControlWindow(buttonId)); }

// ---- UserRegistryValues ----

UserRegistryValues::UserRegistryValues(const std::string& key,
                                       const std::vector<std::pair<std::string, std::string>>& values, DWORD type)
    : key_(key) {
    for (const auto& [name, value] : values) {
        Old old{name, REG_NONE, std::string(4096, '\0')};
        DWORD size = static_cast<DWORD>(old.bytes.size());
        if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, &old.type, old.bytes.data(), &size))
            old.type = REG_NONE;
        old.bytes.resize(size);
        old_.push_back(old);
        const std::string bytes = type == REG_SZ ? value + '\0' : value;
        RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
}

UserRegistryValues::~UserRegistryValues() {
    for (const Old& old : old_) {
        if (old.type == REG_NONE)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key_.c_str(), old.name.c_str());
        else
            RegSetKeyValueA(HKEY_CURRENT_USER, key_.c_str(), old.name.c_str(), old.type, old.bytes.data(),
                            static_cast<DWORD>(old.bytes.size()));
    }
}

// ---- CommentServer ----

CommentServer::CommentServer(const std::string& mode, const std::vector<std::string>& extra)
    : folder_(FreshTestFolder(kTestRoot, ".server")), record_(folder_ + "received.bin"), log_(folder_ + "server.log") {
    const std::string ready = folder_ + "ready";
    std::string arguments = "--mode " + mode + " --seconds 90 --record " + Quoted(record_) + " --log " + Quoted(log_) +
                            " --ready " + Quoted(ready);
    for (const std::string& word : extra) arguments += " " + word;
    program_ = driver::StartProgram(WindowsPath(TALLYHORN_SERVER_EXE), arguments, -1, folder_);
    ready_ = program_.processId && WaitUntil([&] { return Exists(ready); }, 15000);
}

CommentServer::~CommentServer() {
    EndIfRunning(program_, 0);
    RemoveTree(folder_);
}

int CommentServer::Connections() const {
    std::istringstream lines(Log());
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("connection ", 0) == 0 && line.find(':') == std::string::npos) ++count;
    return count;
}

}  // namespace tallyhorn::client::wine_test
