// What the dialog's Wine tests share: program folders, job files, logs, the server.
#include "client_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#ifndef TALLYHORN_CLIENT_EXE
#error "TALLYHORN_CLIENT_EXE names the dialog program in the build tree"
#endif
#ifndef TALLYHORN_SERVER_EXE
#error "TALLYHORN_SERVER_EXE names the stand-in comment server in the build tree"
#endif

namespace tallyhorn::client::wine_test {

namespace {

constexpr char kTestRoot[] = "C:\\tallyhorn-tests\\";

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "outside";
    if (info) name.assign(info->test_suite_name()).append(1, '.').append(info->name());
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':') c = '_';
    }
    return name;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

std::string WinePath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - started >= timeoutMs) return done();
        Sleep(25);
    }
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key) {
    char buffer[2048] = {};
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01missing", buffer,
                                                  sizeof buffer, file.c_str());
    return std::string(buffer, length);
}

std::string JobFileText(const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "[PrintJob]\r\n";
    for (const auto& [key, value] : keys) {
        text.append(key).append(1, '=').append(value).append("\r\n");
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> CommentJob(const std::string& jobId) {
    return {{"Printer", "HP LaserJet 4"}, {"DocumentName", "Quarterly report.docx"},
            {"Pages", "12"},              {"Action", "COMMENT"},
            {"ErrorMsg", "not used"},     {"ServerIP", "127.0.0.1"},
            {"JobID", jobId},             {"UserIP", "10.1.2.3"}};
}

// ---- ClientRun ----

ClientRun::ClientRun(bool withLogFolder, const std::string& name) {
    CreateDirectoryA(kTestRoot, nullptr);
    folder_ = std::string(kTestRoot) + CurrentTestName() + name + "\\";
    RemoveTree(folder_);
    CreateDirectoryA(folder_.c_str(), nullptr);
    if (withLogFolder) CreateDirectoryA((folder_ + "Debug").c_str(), nullptr);
    exe_ = folder_ + "TallyhornClient.exe";
    CopyFileA(WinePath(TALLYHORN_CLIENT_EXE).c_str(), exe_.c_str(), FALSE);
}

ClientRun::~ClientRun() {
    if (program_.handles.process && !driver::WaitForExit(program_, 0)) {
        TerminateProcess(program_.handles.process.get(), 99);
        driver::WaitForExit(program_, 5000);
    }
    RemoveTree(folder_);
}

void ClientRun::WriteJob(const std::vector<std::pair<std::string, std::string>>& keys) {
    WriteFileBytes(JobFile(), JobFileText(keys));
}

bool ClientRun::Start(int showState) {
    std::string quoted(1, '"');
    quoted.append(JobFile()).append(1, '"');
    return StartWithArguments(quoted, showState);
}

bool ClientRun::StartWithArguments(const std::string& arguments, int showState) {
    program_ = driver::StartProgram(exe_, arguments, showState, folder_);
    if (!program_.processId) return false;
    dialog_ = driver::FindDialog(program_.processId, 15000);
    return dialog_ != nullptr;
}

bool ClientRun::WaitForActivation(const std::string& caption) { return driver::WaitForText(dialog_, caption, 10000); }

bool ClientRun::WaitForExit(DWORD timeoutMs) { return driver::WaitForExit(program_, timeoutMs); }

std::vector<std::string> ClientRun::LogLines() const {
    std::vector<std::string> lines;
    WIN32_FIND_DATAA found{};
    const std::string pattern = folder_ + "Debug\\Tallyhorn_Client_*.log";
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return lines;
    do {
        for (const std::string& line : SplitLines(ReadFileBytes(folder_ + "Debug\\" + found.cFileName))) {
            lines.push_back(line);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return lines;
}

std::vector<std::string> ClientRun::LogMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : LogLines()) messages.push_back(line.size() >= 10 ? line.substr(10) : line);
    return messages;
}

driver::MessageBoxInfo ClientRun::WaitForBox(DWORD timeoutMs, const std::vector<HWND>& known) {
    return driver::FindMessageBox(program_.processId, timeoutMs, known);
}

void ClientRun::Press(WORD virtualKey) {
    driver::BringToFront(dialog_);
    driver::PressKey(virtualKey);
    Sleep(60);
    driver::ReleaseKey(virtualKey);
}

void ClientRun::SetComment(const std::string& text) { driver::SetText(ControlWindow(kIdComments_ComboBox), text); }

void ClientRun::Click(int buttonId) { driver::ClickButton(ControlWindow(buttonId)); }

// ---- CommentServer ----

CommentServer::CommentServer(const std::string& mode, const std::vector<std::string>& extra) {
    CreateDirectoryA(kTestRoot, nullptr);
    folder_ = std::string(kTestRoot) + CurrentTestName() + ".server\\";
    RemoveTree(folder_);
    CreateDirectoryA(folder_.c_str(), nullptr);
    record_ = folder_ + "received.bin";
    log_ = folder_ + "server.log";
    const std::string ready = folder_ + "ready";
    std::string arguments = "--mode " + mode + " --seconds 90 --record \"" + record_ + "\" --log \"" + log_ +
                            "\" --ready \"" + ready + "\"";
    for (const std::string& word : extra) arguments += " " + word;
    program_ = driver::StartProgram(WinePath(TALLYHORN_SERVER_EXE), arguments, -1, folder_);
    ready_ = program_.processId && WaitUntil([&] { return FileExists(ready); }, 15000);
}

CommentServer::~CommentServer() {
    if (program_.handles.process && !driver::WaitForExit(program_, 0)) {
        TerminateProcess(program_.handles.process.get(), 0);
        driver::WaitForExit(program_, 5000);
    }
    RemoveTree(folder_);
}

int CommentServer::Connections() const {
    std::istringstream lines(Log());
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("connection ", 0) == 0 && line.find(':') == std::string::npos) ++count;
    }
    return count;
}

// ---- SystemDpi ----

namespace {
void SetLogPixels(DWORD dpi) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
        RegCloseKey(key);
    }
}
}  // namespace

SystemDpi::SystemDpi(DWORD dpi) { SetLogPixels(dpi); }

SystemDpi::~SystemDpi() { SetLogPixels(96); }

}  // namespace tallyhorn::client::wine_test
