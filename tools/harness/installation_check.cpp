// Tallyhorn_Harness --check: what the hook would read and use, checked one line each.
#include "tools/harness/installation_check.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/windows/basics.h"
#include "common/windows/handles.h"
#include "common/windows/sockets.h"
#include "contract/contract.h"
#include "hook/Tallyhorn_DLL.h"
#include "hook/profile_number.h"
#include "hook/windows/win_hook_platform.h"
#include "tools/harness/hook_export.h"
#include "tools/tool_handles.h"

namespace tallyhorn::harness {

namespace {

using win::UniqueFile;
using win::UniqueModule;
using win::UniqueSocket;

// Long enough for a server across a slow link, short enough for a person waiting.
constexpr long kConnectSeconds = 3;

// A print host loads only a library built for its own machine; this program stands in
// for one of its own kind.
#if defined(__x86_64__) || defined(_M_X64)
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#elif defined(__i386__) || defined(_M_IX86)
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#elif defined(__aarch64__) || defined(_M_ARM64)
constexpr WORD kOwnMachine = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64
#endif

std::string MachineName(WORD machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return "x86 (32-bit)";
    case IMAGE_FILE_MACHINE_AMD64: return "x64 (64-bit)";
    case 0xAA64: return "ARM64";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "machine 0x%04X", machine);
        return text;
    }
    }
}

// "error 5: Access is denied": the number for a search, the words for a person.
std::string ErrorText(DWORD code) {
    const std::string words = win::SystemErrorText(code);
    return "error " + std::to_string(code) + (words.empty() ? "" : ": " + words);
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The machine field of a program file's header; empty when the file is missing or no
// Windows program file.
std::optional<WORD> FileMachine(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    IMAGE_DOS_HEADER dos{};
    DWORD read = 0;
    if (!ReadFile(file.get(), &dos, sizeof dos, &read, nullptr) || read != sizeof dos || dos.e_magic != IMAGE_DOS_SIGNATURE)
        return std::nullopt;
    if (SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return std::nullopt;
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER header;
    } nt{};
    if (!ReadFile(file.get(), &nt, sizeof nt, &read, nullptr) || read != sizeof nt || nt.signature != IMAGE_NT_SIGNATURE)
        return std::nullopt;
    return nt.header.Machine;
}

// "1.0.0.0" from the version resource, or "unknown".
std::string FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
        return "unknown";
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// The hook's own Win32 seam with every profile read noted: the check reads the settings
// exactly as the hook does, and still knows which file and keys they came from.
class NotingPlatform final : public hook::HookPlatform {
public:
    struct ProfileRead {
        std::string file;
        std::string section;
        std::string key;
        std::string value;
    };
    const std::vector<ProfileRead>& reads() const { return reads_; }

    std::string ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                                  const std::string& defaultValue) override {
        std::string value = hook_.ReadProfileString(file, section, key, defaultValue);
        reads_.push_back({file, std::string(section), std::string(key), value});
        return value;
    }
    std::uint32_t TickCount() override { return hook_.TickCount(); }
    void Sleep(std::uint32_t milliseconds) override { hook_.Sleep(milliseconds); }
    LocalDateTime LocalTime() override { return hook_.LocalTime(); }
    char TimeSeparator() override { return hook_.TimeSeparator(); }
    void CreateFolder(const std::string& path) override { hook_.CreateFolder(path); }
    bool FileExists(const std::string& path) override { return hook_.FileExists(path); }
    void RemoveFile(const std::string& path) override { hook_.RemoveFile(path); }
    bool AppendToLog(const std::string& path, const std::string& bytes) override {
        return hook_.AppendToLog(path, bytes);
    }
    hook::CallResult StartProcess(const std::string& commandLine, hook::MonitorHandles& started) override {
        return hook_.StartProcess(commandLine, started);
    }
    hook::CallResult CloseMonitorHandle(hook::PlatformHandle handle) override {
        return hook_.CloseMonitorHandle(handle);
    }
    std::string NarrowName(const char16_t* text) override { return hook_.NarrowName(text); }
    contract::LeadBytes AnsiLeadBytes() override { return hook_.AnsiLeadBytes(); }

private:
    hook::win::WinHookPlatform hook_;
    std::vector<ProfileRead> reads_;
};

class InstallationCheck {
public:
    explicit InstallationCheck(const std::wstring& dllPath) : dllPath_(dllPath) {}

    bool Run() {
        try {
            Settings();
            Folders();
            Library();
            Server();
        } catch (const std::exception& failure) {
            Fail(std::string("the check itself failed: ") + failure.what(), "run it again");
        } catch (...) {
            Fail("the check itself failed", "run it again");
        }
        return allOk_;
    }

private:
    // The hook reads its three keys in this order.
    enum Key { kProgDir, kServerIp, kWriteToLog, kKeys };

    void Ok(const std::string& what) { Print("OK    ", what); }
    void Fail(const std::string& what, const std::string& toDo) {
        allOk_ = false;
        Print("FAIL  ", what + ": " + toDo);
    }
    static void Print(const char* status, const std::string& text) {
        std::printf("%s%s\n", status, text.c_str());
        std::fflush(stdout);
    }
    const std::string& KeyName(Key key) const { return platform_.reads()[key].key; }
    // In the ANSI code page, as the hook turns the print host's names.
    std::string Narrow(const std::wstring& text) {
        static_assert(sizeof(wchar_t) == sizeof(char16_t));
        return platform_.NarrowName(reinterpret_cast<const char16_t*>(text.c_str()));
    }

    void Settings() {
        settings_ = hook::Read_Hook_Settings(platform_);
        const auto& reads = platform_.reads();
        if (reads.size() < kKeys) {
            Fail("settings file: reading stopped after " + std::to_string(reads.size()) + " of its values",
                 "run the check again; the hook would use its defaults for the rest");
            return;
        }
        // Named without a folder, the file is the one in the Windows folder (this program
        // is terminal-server aware, as print hosts are, so that is the system's).
        std::string file = reads[kProgDir].file;
        if (file.find_first_of("\\/:") == std::string::npos) {
            char windows[MAX_PATH] = {};
            GetWindowsDirectoryA(windows, MAX_PATH);
            file = std::string(windows) + "\\" + file;
        }
        if (IsFile(file))
            Ok("settings file " + file);
        else
            Fail("settings file " + file + " not found",
                 "create it with the section [" + reads[kProgDir].section + "] and the keys " + KeyName(kProgDir) + ", " +
                     KeyName(kServerIp) + " and " + KeyName(kWriteToLog) + "; without it the hook is switched off");

        if (settings_.ProgDir.empty())
            Fail(KeyName(kProgDir) + " is empty",
                 "set it to the installation folder; empty, the hook works in the print host's current folder");
        else
            Ok(KeyName(kProgDir) + " " + settings_.ProgDir);

        if (settings_.ServerIP.empty())
            Fail(KeyName(kServerIp) + " is empty, so the hook is switched off",
                 "set it to the Tallyhorn server's address; until then every job prints unchecked");
        else
            Ok(KeyName(kServerIp) + " " + settings_.ServerIP);

        const std::string& logValue = reads[kWriteToLog].value;
        const std::string given = logValue.empty() ? " (" + KeyName(kWriteToLog) + " not set)"
                                                   : " (" + KeyName(kWriteToLog) + "=" + logValue + ")";
        if (!logValue.empty() && !hook::ParseProfileNumber(logValue))
            Fail("logging on" + given + ", since that is no number",
                 "write 0 to switch the log off, or 1 to keep it on");
        else
            Ok(std::string(settings_.WriteToLog ? "logging on" : "logging off") + given);
    }

    void Folders() {
        const std::string& progDir = settings_.ProgDir;
        if (platform_.reads().size() < kKeys || progDir.empty()) return;  // reported above
        if (!IsFolder(progDir)) {
            Fail("installation folder " + progDir + " not found",
                 "install Tallyhorn there, or set " + KeyName(kProgDir) + " to the folder that holds " +
                     std::string(contract::kMonitorProgram));
            return;
        }
        Ok("installation folder " + progDir);
        const std::string monitor = progDir + std::string(contract::kMonitorProgram);
        if (IsFile(monitor))
            Ok("monitor " + monitor);
        else
            Fail("monitor " + monitor + " not found",
                 "install the job monitor there; without it the hook prints every job unchecked");
        const std::string logPath = hook::HookLogPath(progDir, platform_.LocalTime());
        WritableFolder("log folder", logPath.substr(0, logPath.rfind('\\') + 1));
        WritableFolder("job folder", progDir + std::string(contract::kJobFolder));
    }

    // Makes the folder as the hook does, then proves that a file can be created, written
    // and deleted in it; the file does not stay.
    void WritableFolder(const std::string& name, const std::string& folder) {
        platform_.CreateFolder(folder);
        const std::string what = name + " " + folder;
        const std::string probe = folder + "Tallyhorn_check_" + std::to_string(GetCurrentProcessId()) + ".tmp";
        DWORD error = ERROR_SUCCESS;
        {
            const UniqueFile file(
                CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
            DWORD written = 0;
            if (!file || !WriteFile(file.get(), "x", 1, &written, nullptr) || written != 1) error = GetLastError();
        }
        if (error != ERROR_SUCCESS) {
            DeleteFileA(probe.c_str());  // made but not written
            if (!IsFolder(folder))
                Fail(what + " cannot be created (" + ErrorText(error) + ")",
                     "create it and let the print host's account write there");
            else
                Fail(what + " is not writable (" + ErrorText(error) + ")",
                     "let the print host's account create, write and delete files there");
        } else if (!DeleteFileA(probe.c_str())) {
            Fail(what + ": a file made there cannot be deleted (" + ErrorText(GetLastError()) + ")",
                 "let the print host's account delete files there, and delete " + probe);
        } else {
            Ok(what + " writable");
        }
    }

    void Library() {
        const std::string what = "library " + Narrow(dllPath_);
        const std::string library = Narrow(std::wstring(kLibraryName));
        const std::optional<WORD> machine = FileMachine(dllPath_);
        if (!machine) {
            Fail(what + " not found or no Windows library", "install " + library + " beside this program, or name it with --dll");
            return;
        }
        if (*machine != kOwnMachine) {
            Fail(what + " is " + MachineName(*machine) + ", this check " + MachineName(kOwnMachine),
                 "a print host loads only a library of its own kind: install the " + MachineName(kOwnMachine) +
                     " " + library + ", or check with the " + MachineName(*machine) + " harness if the print host is one");
            return;
        }
        const UniqueModule loaded(LoadLibraryW(dllPath_.c_str()));
        if (!loaded) {
            Fail(what + " cannot be loaded (" + ErrorText(GetLastError()) + ")", "install " + library + " again");
            return;
        }
        std::string problem;
        const std::string entry = std::string("export ") + kExportName + " at ordinal " + std::to_string(kExportOrdinal);
        if (FindExport(loaded.get(), problem) == nullptr) {
            Fail(what + ": " + entry + " " + problem, "this is no Tallyhorn hook library: install " + library + " again");
            return;
        }
        Ok(what + ": " + MachineName(kOwnMachine) + ", version " + FileVersion(dllPath_) + ", " + entry);
    }

    // Connects to the server's port and sends nothing; the hook is off without an address.
    void Server() {
        if (platform_.reads().size() < kKeys || settings_.ServerIP.empty()) return;  // reported above
        const std::string& address = settings_.ServerIP;
        const std::string what = "server " + address + " port " + std::to_string(contract::kServerPort);
        const win::WsaSession sockets(MAKEWORD(1, 1));
        if (sockets.error() != 0) {
            Fail(what + ": Windows Sockets did not start (" + ErrorText(static_cast<DWORD>(sockets.error())) + ")",
                 "check the network setup of this computer");
            return;
        }
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(contract::kServerPort);
        server.sin_addr.s_addr = inet_addr(address.c_str());
        if (server.sin_addr.s_addr == INADDR_NONE) {
            const hostent* host = gethostbyname(address.c_str());
            if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
                Fail(what + ": no such address (" + ErrorText(static_cast<DWORD>(WSAGetLastError())) + ")",
                     "set " + KeyName(kServerIp) + " to the Tallyhorn server's IP address");
                return;
            }
            std::memcpy(&server.sin_addr, host->h_addr_list[0], sizeof server.sin_addr);
        }
        const int error = Connect(server);
        if (error == 0)
            Ok(what + " reachable");
        else if (error == WSAETIMEDOUT)
            Fail(what + ": no answer within " + std::to_string(kConnectSeconds) + " s",
                 "check that the Tallyhorn server runs there and that no firewall drops TCP port " +
                     std::to_string(contract::kServerPort) + " on the way");
        else
            Fail(what + " not reachable (" + ErrorText(static_cast<DWORD>(error)) + ")",
                 "start the Tallyhorn server there, or let TCP port " + std::to_string(contract::kServerPort) +
                     " through to it");
    }

    // 0 when a connection was made within the time, else the Windows Sockets error.
    static int Connect(const sockaddr_in& server) {
        const UniqueSocket connection(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        if (!connection || ioctlsocket(connection.get(), FIONBIO, &nonBlocking) != 0) return WSAGetLastError();
        if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0) return 0;
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return error;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(connection.get(), &writable);
        FD_SET(connection.get(), &failed);
        timeval timeout{kConnectSeconds, 0};
        const int ready = select(0, nullptr, &writable, &failed, &timeout);
        if (ready == 0) return WSAETIMEDOUT;
        if (ready < 0) return WSAGetLastError();
        if (!FD_ISSET(connection.get(), &failed)) return 0;
        int code = 0;
        int length = sizeof code;
        getsockopt(connection.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length);
        return code != 0 ? code : WSAECONNREFUSED;
    }

    std::wstring dllPath_;
    NotingPlatform platform_;
    hook::HookSettings settings_;
    bool allOk_ = true;
};

}  // namespace

bool CheckInstallation(const std::wstring& dllPath) { return InstallationCheck(dllPath).Run(); }

}  // namespace tallyhorn::harness
