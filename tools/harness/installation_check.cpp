// Tallyhorn_Harness --check: what the hook would read and use, checked one line each.
#include "tools/harness/installation_check.h"

#include <winsock2.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/profile_number.h"
#include "common/windows/accounts.h"
#include "common/windows/basics.h"
#include "common/windows/handles.h"
#include "common/windows/sockets.h"
#include "common/windows/system_libraries.h"
#include "contract/contract.h"
#include "hook/Tallyhorn_DLL.h"
#include "hook/windows/win_hook_platform.h"
#include "tools/harness/access_audit.h"
#include "tools/harness/hook_export.h"
#include "tools/tool_handles.h"

namespace tallyhorn::harness {

namespace {

using win::UniqueFile;
using win::UniqueLocalMemory;
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

// "1.0.0.0" from the version resource, or "unknown". The version API comes from the
// system folder only: version.dll is no KnownDLL, and a copy beside this program would
// otherwise run with an administrator's rights.
std::string FileVersion(const std::wstring& path) {
    using SizeCall = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoCall = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryCall = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    const UniqueModule api(win::LoadSystemLibrary(L"version.dll"));
    if (!api) return "unknown";
    const auto find = [&](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(api.get(), name)); };
    const auto size = reinterpret_cast<SizeCall>(find("GetFileVersionInfoSizeW"));
    const auto info = reinterpret_cast<InfoCall>(find("GetFileVersionInfoW"));
    const auto query = reinterpret_cast<QueryCall>(find("VerQueryValueW"));
    if (size == nullptr || info == nullptr || query == nullptr) return "unknown";
    DWORD ignored = 0;
    const DWORD bytes = size(path.c_str(), &ignored);
    std::vector<char> data(bytes);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (bytes == 0 || !info(path.c_str(), 0, bytes, data.data()) ||
        !query(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
        return "unknown";
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// An object's owner and DACL as Windows gives them; empty and the error when it cannot.
std::optional<ObjectSecurity> ReadSecurity(std::string path, bool isFolder, DWORD& error) {
    if (path.size() > 3 && path.back() == '\\') path.pop_back();
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    error = GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return std::nullopt;
    const UniqueLocalMemory owned(descriptor);
    ObjectSecurity object;
    object.isFolder = isFolder;
    object.owner = win::SidText(owner);
    if (dacl == nullptr) return object;
    object.dacl.emplace();
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry entry;
        entry.flags = header->AceFlags;
        // The callback kinds have the plain kinds' layout; object kinds belong to the
        // directory service, never to a file.
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: entry.kind = AccessEntry::Kind::Allow; break;
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE: entry.kind = AccessEntry::Kind::Deny; break;
        default: entry.kind = AccessEntry::Kind::Other; break;
        }
        if (entry.kind != AccessEntry::Kind::Other) {
            const auto* plain = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
            entry.mask = plain->Mask;
            entry.sid = win::SidText(const_cast<DWORD*>(&plain->SidStart));
        }
        object.dacl->push_back(std::move(entry));
    }
    return object;
}

class InstallationCheck {
public:
    explicit InstallationCheck(const std::wstring& dllPath) : dllPath_(dllPath) {}

    bool Run() {
        try {
            Settings();
            Folders();
            Library();
            Server();
            Permissions();
        } catch (const std::exception& failure) {
            Fail(std::string("the check itself failed: ") + failure.what(), "run it again");
        } catch (...) {
            Fail("the check itself failed", "run it again");
        }
        return allOk_;
    }

private:
    void Ok(const std::string& what) { Print("OK    ", what); }
    void Fail(const std::string& what, const std::string& toDo) {
        allOk_ = false;
        Print("FAIL  ", what + ": " + toDo);
    }
    void Report(const CheckLine& line) {
        if (line.toDo.empty())
            Ok(line.what);
        else
            Fail(line.what, line.toDo);
    }
    static void Print(const char* status, const std::string& text) {
        std::printf("%s%s\n", status, text.c_str());
        std::fflush(stdout);
    }
    static std::string Text(std::string_view text) { return std::string(text); }
    // In the ANSI code page, as the hook turns the print host's names.
    std::string Narrow(const std::wstring& text) {
        static_assert(sizeof(wchar_t) == sizeof(char16_t));
        return platform_.NarrowName(reinterpret_cast<const char16_t*>(text.c_str()));
    }
    // A line that depends on the installation folder, which is not there to check.
    bool NoFolder(const std::string& what) {
        if (!progDirProblem_.empty()) Fail(what + " not checked, since " + progDirProblem_, progDirMend_);
        return !progDirProblem_.empty();
    }

    void Settings() {
        settings_ = hook::Read_Hook_Settings(platform_);
        // Named without a folder, the file is the one in the Windows folder (this program
        // is terminal-server aware, as print hosts are, so that is the system's).
        const std::string name = Text(hook::kSettingsFile);
        char windows[MAX_PATH] = {};
        const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
        const std::string file = length > 0 && length < MAX_PATH ? std::string(windows, length) + "\\" + name : name;
        const std::string progDirKey = Text(hook::kProgDirKey), logKey = Text(hook::kWriteToLogKey);
        serverKey_ = Text(hook::kServerIpKey);
        if (IsFile(file))
            Ok("settings file " + file);
        else
            Fail("settings file " + file + " not found",
                 "create it with the section [" + Text(hook::kSettingsSection) + "] and the keys " + progDirKey + ", " +
                     serverKey_ + " and " + logKey + "; without it the hook is switched off");

        if (settings_.ProgDir.empty()) {
            progDirProblem_ = progDirKey + " is empty";
            progDirMend_ = "set " + progDirKey + " to the installation folder";
            Fail(progDirProblem_, "set it to the installation folder; empty, the hook works in the print host's "
                                  "current folder");
        } else {
            Ok(progDirKey + " " + settings_.ProgDir);
        }

        if (settings_.ServerIP.empty())
            Fail(serverKey_ + " is empty, so the hook is switched off",
                 "set it to the Tallyhorn server's address; until then every job prints unchecked");
        else
            Ok(serverKey_ + " " + settings_.ServerIP);

        const std::string logValue = platform_.ReadProfileString(name, hook::kSettingsSection, hook::kWriteToLogKey, "");
        const std::string given = logValue.empty() ? " (" + logKey + " not set)" : " (" + logKey + "=" + logValue + ")";
        if (!logValue.empty() && !ParseProfileNumber(logValue))
            Fail("logging on" + given + ", since that is no number", "write 0 to switch the log off, or 1 to keep it on");
        else
            Ok(std::string(settings_.WriteToLog ? "logging on" : "logging off") + given);
    }

    void Folders() {
        const std::string& progDir = settings_.ProgDir;
        const std::string monitor = progDir + Text(contract::kMonitorProgram);
        if (!NoFolder("installation folder")) {
            if (IsFolder(progDir)) {
                Ok("installation folder " + progDir);
            } else {
                progDirProblem_ = "the installation folder " + progDir + " is not there";
                progDirMend_ = "install Tallyhorn there, or set " + Text(hook::kProgDirKey) +
                               " to the folder that holds " + Text(contract::kMonitorProgram);
                Fail("installation folder " + progDir + " not found", progDirMend_);
            }
        }
        if (!NoFolder("monitor")) {
            if (IsFile(monitor))
                Ok("monitor " + monitor);
            else
                Fail("monitor " + monitor + " not found",
                     "install the job monitor there; without it the hook prints every job unchecked");
        }
        HookFolder("log folder", progDir + Text(contract::kLogFolder), !settings_.WriteToLog);
        HookFolder("job folder", progDir + Text(contract::kJobFolder), false);
    }

    // One of the hook's folders, which the package makes. The hook would make a missing
    // one itself (when it logs), but with the installation folder's permissions, which let
    // users read the log; and the check itself makes nothing. Whether the print host may
    // write there is read from the folder's DACL for SYSTEM's token: the check runs as an
    // administrator or as SYSTEM, so a file it manages to write proves nothing.
    void HookFolder(const std::string& name, const std::string& folder, bool mayBeMissing) {
        const std::string what = name + " " + folder;
        if (NoFolder(name)) return;
        if (!IsFolder(folder)) {
            if (mayBeMissing)
                Ok(what + " not there, and logging is off");
            else
                Fail(what + " not found", "repair the package, which makes it with its permissions");
            return;
        }
        DWORD error = ERROR_SUCCESS;
        const std::optional<ObjectSecurity> security = ReadSecurity(folder, true, error);
        // List, add files, traverse, and delete result files whatever their own permissions.
        constexpr std::uint32_t kHookNeeds =
            rights::kReadOrList | rights::kWriteOrAddFile | rights::kExecuteOrTraverse | rights::kDeleteChild;
        if (!security)
            Fail(what + ": its permissions cannot be read (" + ErrorText(error) + ")",
                 "run the check as an administrator");
        else if ((GrantedRights(*security, PrintHostSids()) & kHookNeeds) != kHookNeeds)
            Fail(what + ": the print host (SYSTEM) may not create and delete files there",
                 "repair the package, or run icacls \"" + folder.substr(0, folder.size() - 1) +
                     "\" /grant *S-1-5-18:(OI)(CI)F");
        else
            Ok(what + ": the print host (SYSTEM) may create and delete files there");
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

    // Connects to the server's port and sends nothing. The hook itself only needs the
    // address to be set; the dialogs connect to the address in each job file and take no
    // host name, which the line says.
    void Server() {
        const std::string& address = settings_.ServerIP;
        const std::string port = std::string("TCP port ").append(std::to_string(contract::kServerPort));
        const std::string dialogs = "; the dialogs connect to the ServerIP that each job file names";
        if (address.empty()) {
            Fail("server not checked, since " + serverKey_ + " is empty", "set it to the Tallyhorn server's IP address");
            return;
        }
        std::string what = "server " + address + " from " + serverKey_;
        const win::WsaSession sockets(MAKEWORD(1, 1));
        if (sockets.error() != 0) {
            const DWORD code = static_cast<DWORD>(sockets.error());
            Fail(what + " not checked: Windows Sockets did not start (" + ErrorText(code) + ")",
                 "check the network setup of this computer");
            return;
        }
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(contract::kServerPort);
        // The dialog reads its address with inet_addr alone.
        server.sin_addr.s_addr = inet_addr(address.c_str());
        const bool hostName = server.sin_addr.s_addr == INADDR_NONE;
        if (hostName) {
            const hostent* host = gethostbyname(address.c_str());
            if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
                Fail(what + " is no IP address, and no host of that name is known (" +
                         ErrorText(static_cast<DWORD>(WSAGetLastError())) + ")",
                     "set " + serverKey_ + " to the Tallyhorn server's IP address");
                return;
            }
            std::memcpy(&server.sin_addr, host->h_addr_list[0], sizeof server.sin_addr);
            what += " is a host name (" + std::string(inet_ntoa(server.sin_addr)) +
                    " here), which the dialogs cannot use,";
        }
        const std::string nameMend = hostName ? "; the monitor must write the server's IP address into each job "
                                                "file's ServerIP: write that address here too"
                                              : "";
        const int error = Connect(server);
        if (error == 0 && !hostName)
            Ok(what + " answers on " + port + dialogs);
        else if (error == 0)
            Fail(what + " and answers on " + port, nameMend.substr(2));
        else if (error == WSAETIMEDOUT)
            Fail(what + " does not answer on " + port + " within " + std::to_string(kConnectSeconds) + " s",
                 "check that the Tallyhorn server runs there and that no firewall drops " + port + " on the way" +
                     nameMend);
        else
            Fail(what + " does not answer on " + port + " (" + ErrorText(static_cast<DWORD>(error)) + ")",
                 "start the Tallyhorn server there, or let " + port + " through to it" + nameMend);
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

    // Who may write and who owns what the print host runs and trusts: a user who may
    // change any of them can run code as SYSTEM, forge a verdict or read the log.
    void Permissions() {
        const std::string& progDir = settings_.ProgDir;
        const std::string account = win::ProcessUserSid();
        const auto audit = [&](const std::string& path, bool isFolder, bool inProgDir) {
            const std::string what = "permissions of " + (path.empty() ? std::string("the installation folder") : path);
            if (inProgDir && NoFolder(what)) return;
            if (path == progDir + Text(contract::kLogFolder) && !settings_.WriteToLog && !IsFolder(path)) {
                Ok(what + ": not there, and logging is off");
                return;
            }
            DWORD error = ERROR_SUCCESS;
            const std::optional<ObjectSecurity> security = ReadSecurity(path, isFolder, error);
            if (!security) {
                const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
                Fail(what + " not checked (" + ErrorText(error) + ")",
                     missing ? "install it, or repair the package" : "run the check as an administrator");
                return;
            }
            // A file's folder can let someone delete and replace it; a folder that cannot be
            // read leaves that unchecked, and its own line says why.
            std::optional<ObjectSecurity> folder;
            if (!isFolder) folder = ReadSecurity(path.substr(0, path.rfind('\\') + 1), true, error);
            Report(AccessLine(path, AuditAccess(*security, account, folder), security->owner,
                              win::AccountName(security->owner)));
        };
        audit(progDir, true, true);
        audit(progDir + Text(contract::kLogFolder), true, true);
        audit(progDir + Text(contract::kJobFolder), true, true);
        audit(Narrow(dllPath_), false, false);
        audit(progDir + Text(contract::kMonitorProgram), false, true);
        audit(win::ProgramPath(), false, false);
        const std::string client = progDir + "Client\\TallyhornClient.exe";
        if (!progDir.empty() && IsFile(client)) audit(client, false, true);
    }

    std::wstring dllPath_;
    hook::win::WinHookPlatform platform_;
    hook::HookSettings settings_;
    std::string serverKey_;
    std::string progDirProblem_;  // why nothing in the installation folder can be checked
    std::string progDirMend_;
    bool allOk_ = true;
};

}  // namespace

bool CheckInstallation(const std::wstring& dllPath) { return InstallationCheck(dllPath).Run(); }

}  // namespace tallyhorn::harness
