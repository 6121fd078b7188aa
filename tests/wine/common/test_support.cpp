// What every Wine test needs around the real binaries (see the header).
#include "tests/wine/common/test_support.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "common/windows/handles.h"
#include "tools/tool_handles.h"

namespace tallyhorn::wine_test {

using win::ProcessHandles;
using win::UniqueFile;
using win::UniqueFind;
using win::UniqueHandle;

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return windows;
}

std::string Quoted(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

ProgramRun Run(const std::string& commandLine) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ProgramRun run;
    run.exitCode = ~0ul;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return run;
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string line = commandLine;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return run;
    const ProcessHandles process(started);
    writer.reset();  // the pipe ends when the program's copy is closed
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(reader.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) run.output.append(buffer, read);
    WaitForSingleObject(process.process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.process.get(), &code);
    run.exitCode = code;
    return run;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolders(const std::string& path) {
    // Each level after the drive's root, the last one included.
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    return IsFolder(path);
}

namespace {

bool RemoveTreeOnce(const std::string& folder) {
    bool removed = true;
    WIN32_FIND_DATAA found{};
    {
        UniqueFind search(FindFirstFileA((folder + "\\*").c_str(), &found));
        if (search) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string path = folder + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removed = RemoveTreeOnce(path) && removed;
                } else {
                    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
                    removed = DeleteFileA(path.c_str()) && removed;
                }
            } while (FindNextFileA(search.get(), &found));
        }
    }
    return RemoveDirectoryA(folder.c_str()) && removed;
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "outside";
    if (info) name.assign(info->test_suite_name()).append(1, '.').append(info->name());
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':') c = '_';  // parameterised tests' names
    return name;
}

}  // namespace

void RemoveTree(const std::string& path) {
    std::string folder = path;
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    for (int attempt = 0; attempt < 100 && Exists(folder); ++attempt) {
        if (RemoveTreeOnce(folder)) return;
        Sleep(100);
    }
}

std::string FreshTestFolder(const std::string& prefix, const std::string& suffix) {
    const std::string folder = prefix + CurrentTestName() + suffix + "\\";
    RemoveTree(folder);
    CreateFolders(folder);
    return folder;
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& separator) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(separator, at)) != std::string::npos; at = end + separator.size())
        lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back(text.substr(at));
    return lines;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - started >= timeoutMs) return done();
        Sleep(25);
    }
}

std::string ProfileText(const std::string& section, const std::vector<std::string>& lines) {
    std::string text = "[" + section + "]\r\n";
    for (const std::string& line : lines) text.append(line).append("\r\n");
    return text;
}

std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key) {
    char buffer[2048] = {};
    const DWORD length =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01missing", buffer, sizeof buffer, file.c_str());
    return std::string(buffer, length);
}

}  // namespace tallyhorn::wine_test
