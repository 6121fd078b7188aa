// Tallyhorn_Harness --check: what the hook would read and use, checked one line each.
#include "tools/harness/installation_check.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
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
#include "tools/harness/win_tree_reader.h"
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

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The registry's names, ASCII: the product's key (an x86 program reads Wow6432Node's, as an
// x86 package writes it there) and the event source's, which has one view.
std::string Text(std::string_view text) { return std::string(text); }
std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }
const std::string kEventSourceKey = Text(facts::kEventLogKey) + "\\" + Text(facts::kEventSource);

// A text value under HKLM, environment strings expanded; nothing when it is missing or no text.
std::optional<std::wstring> RegistryText(std::string_view key, std::string_view name) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), Wide(name).c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), Wide(name).c_str(), RRF_RT_REG_SZ, nullptr, value.data(),
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(std::wcslen(value.c_str()));
    return value;
}

std::optional<DWORD> RegistryNumber(std::string_view key, std::string_view name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), Wide(name).c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// A path made full, with long names, a folder's with its backslash when it had one.
std::wstring FullPathWide(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    std::wstring longer(full.size() + MAX_PATH, L'\0');
    length = GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (length == 0 || length >= longer.size()) return full;
    longer.resize(length);
    return longer;
}

// The same for a path of the settings, in the ANSI code page, as the walk takes it: UTF-8.
std::string FullPath(const std::string& ansi) { return Utf8(FullPathWide(WideFromAnsi(ansi))); }

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}
bool SamePath(const std::string& a, const std::string& b) { return SamePath(WideFromUtf8(a), WideFromUtf8(b)); }

bool IsFolderWide(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFileWide(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
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

class InstallationCheck {
public:
    explicit InstallationCheck(const std::wstring& dllPath) : dllPath_(dllPath) {}

    int Run() {
        try {
            Settings();
            Folders();
            Library();
            EventSource();
            Dialog();
            Server();
            Permissions();
        } catch (const std::exception& failure) {
            Fail(std::string("the check itself failed: ") + failure.what(), "run it again");
        } catch (...) {
            Fail("the check itself failed", "run it again");
        }
        if (failLines_ == 0)
            std::printf("RESULT: PASS\n");
        else
            std::printf("RESULT: FAIL %d\n", failLines_);
        std::fflush(stdout);
        return status_;
    }

private:
    void Ok(const std::string& what) { Print("OK    ", what); }
    void Fail(const std::string& what, const std::string& toDo, int kind = check_status::kInstallation) {
        status_ |= kind;
        ++failLines_;
        Print("FAIL  ", what + ": " + toDo);
    }
    // A line of the walk, whose paths and names are UTF-8.
    void Report(const CheckLine& line) {
        const std::string what = Narrow(WideFromUtf8(line.what));
        if (line.toDo.empty())
            Ok(what);
        else
            Fail(what, Narrow(WideFromUtf8(line.toDo)));
    }
    static void Print(const char* status, const std::string& text) {
        std::printf("%s%s\n", status, text.c_str());
        std::fflush(stdout);
    }
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
    // A line that depends on the dialog's folder, which is not there to check.
    bool NoClientFolder(const std::string& what) {
        if (!clientProblem_.empty()) Fail(what + " not checked, since " + clientProblem_, clientMend_);
        return !clientProblem_.empty();
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

        const std::string logValue = platform_.ReadProfileValue(name, hook::kSettingsSection, hook::kWriteToLogKey, "");
        const std::string given = Given(logKey, logValue);
        if (!logValue.empty() && !ParseProfileNumber(logValue))
            Fail("logging on" + given + ", since that is no number", "write 0 to switch the log off, or 1 to keep it on");
        else
            Ok(std::string(settings_.WriteToLog ? "logging on" : "logging off") + given);
        LogRetention(name);
        FailClosed(name);
    }

    static std::string Given(const std::string& key, const std::string& value) {
        return value.empty() ? " (" + key + " not set)" : " (" + key + "=" + value + ")";
    }

    // Read by the number rule, as the hook reads it: not positive or no number keeps every log.
    void LogRetention(const std::string& file) {
        constexpr std::int32_t kMostDays = 3650;
        const std::string key = Text(hook::kLogDaysKey);
        const std::string value = platform_.ReadProfileValue(file, hook::kSettingsSection, hook::kLogDaysKey, "");
        const std::optional<std::int32_t> days = ParseProfileNumber(value);
        const std::string mend = "write the days of hook logs to keep, 1 to " + std::to_string(kMostDays) +
                                 ", or 0 to keep every log";
        if (!value.empty() && !days)
            Fail("log retention off" + Given(key, value) + ", since that is no number: the hook keeps every log", mend);
        else if (days && (*days < 0 || *days > kMostDays))
            Fail("log retention" + Given(key, value) + " out of 0 to " + std::to_string(kMostDays) + ": the hook " +
                     (*days < 0 ? "keeps every log" : "keeps its logs of the last " + value + " days"),
                 mend);
        else if (!days || *days == 0)
            Ok("log retention off" + Given(key, value) + ": the hook keeps every log");
        else
            Ok("log retention " + std::to_string(*days) + " days" + Given(key, value) +
               ": the hook keeps its logs of the last " + std::to_string(*days) + " days and deletes older ones");
    }

    // Read by the number rule, as the hook reads it; off unless set to a number other than 0.
    void FailClosed(const std::string& file) {
        const std::string key = Text(hook::kFailClosedKey);
        const std::string value = platform_.ReadProfileValue(file, hook::kSettingsSection, hook::kFailClosedKey, "");
        const std::optional<std::int32_t> number = ParseProfileNumber(value);
        failClosed_ = number && *number != 0;
        if (!value.empty() && !number)
            Fail("fail-closed off" + Given(key, value) + ", since that is no number",
                 "write 1 to hold the jobs that get no verdict, or 0 to print them");
        else if (failClosed_)
            Ok("fail-closed on" + Given(key, value) + ": a job that gets no verdict (the monitor cannot start, no "
               "result within the wait, a result that cannot be read or trusted) is not printed");
        else
            Ok("fail-closed off" + Given(key, value) + ": a job that gets no verdict prints unchecked");
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
                     std::string("install the job monitor there; without it the hook ") +
                         (failClosed_ ? "holds every job" : "prints every job unchecked"),
                     check_status::kMonitor);
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
        const ObjectFacts facts = reader_.Read(FullPath(folder));
        // List, add files, traverse, and delete result files whatever their own permissions.
        constexpr std::uint32_t kHookNeeds =
            rights::kReadOrList | rights::kWriteOrAddFile | rights::kExecuteOrTraverse | rights::kDeleteChild;
        if (facts.error != 0)
            Fail(what + ": its permissions cannot be read (" + ErrorText(facts.error) + ")",
                 "run the check as an administrator");
        else if ((GrantedRights(facts.security, PrintHostSids()) & kHookNeeds) != kHookNeeds)
            Fail(what + ": the print host (SYSTEM) may not create and delete files there",
                 "repair the package, or run icacls \"" + folder.substr(0, folder.size() - 1) +
                     "\" /grant *" + Text(facts::kSystemSid) + ":(OI)(CI)F");
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
        const std::string entry = "export " + std::string(kExportName) + " at ordinal " + std::to_string(kExportOrdinal);
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
                 "check the network setup of this computer", check_status::kServer);
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
                     "set " + serverKey_ + " to the Tallyhorn server's IP address", check_status::kServer);
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
                     nameMend,
                 check_status::kServer);
        else
            Fail(what + " does not answer on " + port + " (" + ErrorText(static_cast<DWORD>(error)) + ")",
                 "start the Tallyhorn server there, or let " + port + " through to it" + nameMend,
                 check_status::kServer);
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

    // The event source that names the library, so that the hook's events show their texts.
    void EventSource() {
        const std::string key = "HKLM\\" + kEventSourceKey;
        const std::string library = Narrow(FullPathWide(dllPath_));
        const std::string what = "event source " + Text(facts::kEventSource) + " (" + key + ")";
        const std::string mend = "repair the package, which registers it, or run reg add \"" + key +
                                 "\" /v EventMessageFile /t REG_EXPAND_SZ /d \"" + library + "\" /f and reg add \"" +
                                 key + "\" /v TypesSupported /t REG_DWORD /d 7 /f";
        const std::optional<std::wstring> files = RegistryText(kEventSourceKey, "EventMessageFile");
        const std::optional<DWORD> types = RegistryNumber(kEventSourceKey, "TypesSupported");
        if (!files) {
            Fail(what + " not registered: no EventMessageFile, so the Event Log shows the hook's events without "
                        "their texts",
                 mend);
            return;
        }
        // A list of files, separated by semicolons; the library must be one of them.
        bool named = false;
        for (std::size_t at = 0; at <= files->size() && !named;) {
            const std::size_t end = std::min(files->find(L';', at), files->size());
            named = SamePath(FullPathWide(files->substr(at, end - at)), FullPathWide(dllPath_));
            at = end + 1;
        }
        if (!named)
            Fail(what + ": EventMessageFile is " + Narrow(*files) + ", not " + library, mend);
        else if (!types)
            Fail(what + ": no TypesSupported", mend);
        else
            Ok(what + ": EventMessageFile " + library + ", TypesSupported " + std::to_string(*types));
    }

    // The dialog's folder as the package registers it for the monitor, the program there,
    // and the dialog's log switch: the dialog logs while that folder has its log folder.
    void Dialog() {
        const std::string where = "HKLM\\" + Text(facts::kProductKey), value = Text(facts::kClientDirValue);
        const std::optional<std::wstring> registered = RegistryText(facts::kProductKey, value);
        clientMend_ = "repair the package, which registers it; the monitor starts the dialog from there";
        if (!registered || registered->empty()) {
            clientProblem_ = "the dialog folder is not registered (no " + value + " in " + where + ")";
            Fail("dialog folder not registered: no " + value + " in " + where, clientMend_);
        } else {
            clientDir_ = FullPathWide(*registered);
            const std::string folder = Narrow(clientDir_);
            if (IsFolderWide(clientDir_)) {
                Ok("dialog folder " + folder + " (" + value + " in " + where + ")");
            } else {
                clientProblem_ = "the dialog folder " + folder + " is not there";
                clientMend_ = "install the package again, which makes it";
                Fail("dialog folder " + folder + " (" + value + " in " + where + ") not found", clientMend_);
            }
        }
        if (!NoClientFolder("dialog")) {
            const std::wstring program = clientDir_ + L"TallyhornClient.exe";
            if (!IsFileWide(program))
                Fail("dialog " + Narrow(program) + " not found",
                     "repair the package; without it no user sees a comment, quota or rejection");
            else
                Ok("dialog " + Narrow(program) + ", version " + FileVersion(program));
        }
        if (!NoClientFolder("dialog log")) DialogLog(where);
    }

    void DialogLog(const std::string& where) {
        const std::wstring debug = clientDir_ + WideFromUtf8(Text(contract::kLogFolder));
        const bool on = IsFolderWide(debug);
        const std::string folder = Narrow(debug);
        const std::string value = Text(facts::kClientLogValue);
        const std::optional<std::wstring> remembered = RegistryText(facts::kProductKey, value);
        const std::string state = on ? "dialog log on: " + folder + " is there" : "dialog log off: no " + folder;
        if (!remembered) {
            Ok(state + " (" + value + " not registered in " + where + ")");
        } else if (*remembered != L"1" && *remembered != L"0") {
            Fail(state + ", and " + value + " in " + where + " is " + Narrow(*remembered) + ", neither 1 nor 0",
                 "install the package again with the dialog log switched on or off");
        } else if ((*remembered == L"1") != on) {
            Fail(state + ", but " + value + "=" + Narrow(*remembered) + " in " + where + " says " + (on ? "off" : "on"),
                 on ? "remove the folder, or install the package again with the dialog log switched on"
                    : "repair the package, which makes the folder, or install it again with the dialog log switched "
                      "off");
        } else {
            Ok(state + " (" + value + "=" + Narrow(*remembered) + ")");
        }
    }

    // Everything in the installation folder and the dialog's, and the folders that hold
    // them: who owns and may write each object, links, and programs that are not ours. A
    // user who may change any of them can run code as SYSTEM or in other users' sessions,
    // forge a verdict or read the log.
    void Permissions() {
        TreeAudit audit(reader_, win::WindowsFolderOwnerSid(), [&](const CheckLine& line) { Report(line); });
        const std::string progRoot = progDirProblem_.empty() ? FullPath(settings_.ProgDir) : std::string();
        const std::string clientRoot = clientProblem_.empty() ? Utf8(clientDir_) : std::string();
        const auto inside = [](const std::string& path, const std::string& folder) {
            return !folder.empty() && path.size() > folder.size() && SamePath(path.substr(0, folder.size()), folder);
        };
        std::vector<std::string> walked;
        if (!NoFolder("installation folder and all in it")) {
            audit.Walk({"installation folder", progRoot, {clientRoot}});
            walked.push_back(progRoot);
        }
        if (NoClientFolder("dialog folder and all in it")) {
        } else if (SamePath(clientRoot, progRoot)) {
            Ok("dialog folder " + Narrow(clientDir_) + " and all in it: the installation folder, checked above");
        } else {
            audit.Walk({"dialog folder", clientRoot, {progRoot}});
            walked.push_back(clientRoot);
        }
        // The library and this program where they lie outside those folders.
        for (const std::string& file : {Utf8(FullPathWide(dllPath_)), FullPath(win::ProgramPath())})
            if (std::none_of(walked.begin(), walked.end(), [&](const std::string& root) { return inside(file, root); }))
                audit.Single(file);
    }

    std::wstring dllPath_;
    hook::win::WinHookPlatform platform_;
    WinTreeReader reader_;
    hook::HookSettings settings_;
    std::string serverKey_;
    std::string progDirProblem_;  // why nothing in the installation folder can be checked
    std::string progDirMend_;
    std::wstring clientDir_;      // full, with its backslash
    std::string clientProblem_;   // why nothing in the dialog's folder can be checked
    std::string clientMend_;
    bool failClosed_ = false;
    int status_ = 0;
    int failLines_ = 0;
};

}  // namespace

int CheckInstallation(const std::wstring& dllPath) { return InstallationCheck(dllPath).Run(); }

}  // namespace tallyhorn::harness
