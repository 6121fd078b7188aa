// Every role of the dialog's platform in one object, for real: Win32 controls, window
// timers, message boxes, profile and file calls, the clock and Windows Sockets 1.1.
#include "client/windows/win32_dialog_platform.h"

#include <winsock.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "client/command_line.h"
#include "client/dialog_texts.h"
#include "client/windows/user_folders.h"
#include "common/windows/basics.h"
#include "common/windows/event_log.h"
#include "common/windows/files.h"
#include "common/windows/handles.h"
#include "common/windows/log_file.h"
#include "common/windows/retry.h"

namespace tallyhorn::client::win {

namespace {

using ::tallyhorn::win::Attempt;
using ::tallyhorn::win::RetryWhileBusy;
using ::tallyhorn::win::UniqueFile;
using ::tallyhorn::win::UniqueSocket;
using ::tallyhorn::win::WriteAll;

constexpr char kOriginalBoxProc[] = "TallyhornBoxProc";

// Escape and the box's close command arrive as IDCANCEL; a Yes/No box has no Cancel
// button, and for the dialog they mean No.
LRESULT CALLBACK YesNoBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropA(box, kOriginalBoxProc));
    if (!original) return DefWindowProcA(box, message, wParam, lParam);
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && GetDlgItem(box, IDNO)) {
        wParam = MAKEWPARAM(IDNO, HIWORD(wParam));
        lParam = reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(box, kOriginalBoxProc);
    }
    return CallWindowProcA(original, box, message, wParam, lParam);
}

// One box being opened: the hook that finds its window, centres it and notes it.
struct OpeningBox {
    HWND owner = nullptr;
    HHOOK hook = nullptr;
    HWND box = nullptr;
    bool yesNo = false;
    OpeningBox* outer = nullptr;
    // The open boxes, newest last: a box opened from inside another (a tick, a socket
    // event) is owned by the newest, so it stays in front of it and disables it.
    std::vector<HWND>* openBoxes = nullptr;
};
OpeningBox* openingBox = nullptr;  // the dialog has one thread

LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam) {
    OpeningBox* opening = openingBox;
    if (code == HCBT_ACTIVATE && opening && !opening->box) {
        HWND candidate = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        GetClassNameA(candidate, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && GetWindow(candidate, GW_OWNER) == opening->owner) {
            opening->box = candidate;
            opening->openBoxes->push_back(candidate);
            RECT place{};
            GetWindowRect(candidate, &place);
            const int width = place.right - place.left;
            const int height = place.bottom - place.top;
            SetWindowPos(candidate, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                         (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            if (opening->yesNo) {
                const LONG_PTR original = GetWindowLongPtrA(candidate, GWLP_WNDPROC);
                SetPropA(candidate, kOriginalBoxProc, reinterpret_cast<HANDLE>(original));
                SetWindowLongPtrA(candidate, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&YesNoBoxProc));
            }
        }
    }
    return CallNextHookEx(opening ? opening->hook : nullptr, code, wParam, lParam);
}

// How long a save waits for a dialog that is reading the history file as it starts.
constexpr DWORD kReplaceWaitMs = 1000;

// The lock file of a save, open without sharing; closing it deletes it.
class HeldLockFile final : public FileLock {
public:
    explicit HeldLockFile(UniqueFile file) : file_(std::move(file)) {}

private:
    UniqueFile file_;
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

}  // namespace

std::string ProgramFileName() {
    const std::string path = ::tallyhorn::win::ProgramPath();
    return path.substr(path.find_last_of("\\/") + 1);
}

Win32DialogPlatform::Win32DialogPlatform(DialogWindow& window) : window_(window) {}

Win32DialogPlatform::~Win32DialogPlatform() {
    if (HWND dialog = window_.Handle()) {
        for (const Timer timer : kTimers) {
            KillTimer(dialog, TimerIdOf(timer));
        }
    }
}

// ---- program ----

std::string Win32DialogPlatform::ProgramFolder() { return FolderOf(::tallyhorn::win::ProgramPath()); }

std::string Win32DialogPlatform::ProgramFileName() { return win::ProgramFileName(); }

std::string Win32DialogPlatform::FirstArgument() { return FirstArgumentOf(GetCommandLineA()); }

void Win32DialogPlatform::RequestQuit() { PostQuitMessage(0); }

int Win32DialogPlatform::CompareIgnoringCase(const std::string& a, const std::string& b) {
    const int order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                     b.data(), static_cast<int>(b.size()));
    if (order == 0) return lstrcmpiA(a.c_str(), b.c_str());
    return order - CSTR_EQUAL;
}

std::string Win32DialogPlatform::SortKey(const std::string& text) {
    constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;  // as CompareIgnoringCase compares
    char small[512];
    int length = LCMapStringA(LOCALE_USER_DEFAULT, kFlags, text.c_str(), -1, small, sizeof small);
    if (length > 0) return std::string(small, static_cast<std::size_t>(length));
    length = LCMapStringA(LOCALE_USER_DEFAULT, kFlags, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return text;
    std::string key(static_cast<std::size_t>(length), '\0');
    length = LCMapStringA(LOCALE_USER_DEFAULT, kFlags, text.c_str(), -1, key.data(), length);
    key.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return key;
}

// ---- timers: window timers on the dialog, so they tick inside message boxes too ----

void Win32DialogPlatform::StartTimer(Timer timer, unsigned intervalMs) {
    SetTimer(window_.Handle(), TimerIdOf(timer), intervalMs, nullptr);
}

void Win32DialogPlatform::StopTimer(Timer timer) { KillTimer(window_.Handle(), TimerIdOf(timer)); }

// ---- message boxes ----

int Win32DialogPlatform::ShowBox(const std::string& text, const std::string& caption, UINT style) {
    // Room for the box now, so that noting it inside the hook procedure cannot throw.
    openBoxes_.reserve(openBoxes_.size() + 1);
    OpeningBox opening;
    opening.owner = openBoxes_.empty() ? window_.Handle() : openBoxes_.back();
    opening.yesNo = (style & MB_TYPEMASK) == MB_YESNO;
    opening.outer = openingBox;
    opening.openBoxes = &openBoxes_;
    opening.hook = SetWindowsHookExA(WH_CBT, &BoxHookProc, nullptr, GetCurrentThreadId());
    openingBox = &opening;
    struct Restore {
        Win32DialogPlatform& self;
        OpeningBox& opening;
        ~Restore() {
            openingBox = opening.outer;
            if (opening.hook) UnhookWindowsHookEx(opening.hook);
            if (opening.box && !self.openBoxes_.empty() && self.openBoxes_.back() == opening.box) {
                self.openBoxes_.pop_back();
            }
        }
    } restore{*this, opening};
    return MessageBoxA(opening.owner, text.c_str(), caption.c_str(), style | MB_SETFOREGROUND);
}

bool Win32DialogPlatform::Confirm(const std::string& text) {
    return ShowBox(text, std::string(texts::kConfirmCaption), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

void Win32DialogPlatform::ShowError(const std::string& text) {
    ShowBox(text, std::string(texts::kErrorCaption), MB_OK | MB_ICONHAND);
}

void Win32DialogPlatform::ShowInformation(const std::string& text) {
    ShowBox(text, std::string(texts::kInformationCaption), MB_OK | MB_ICONINFORMATION);
}

void Win32DialogPlatform::ShowGeneralError(const std::string& caption, const std::string& text) {
    ShowBox(text, caption, MB_OK | MB_ICONHAND);
}

// ---- files ----

bool Win32DialogPlatform::FileExists(const std::string& path) {
    return ::tallyhorn::win::SearchFindsFileWithDosDate(path);
}

std::string Win32DialogPlatform::ReadProfileString(const std::string& file, const std::string& section,
                                                   const std::string& key) {
    return ::tallyhorn::win::ReadProfileString(file, section, key, "");
}

bool Win32DialogPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                             const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool Win32DialogPlatform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

std::optional<std::string> Win32DialogPlatform::ReadWholeFile(const std::string& path) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > std::string().max_size()) {
        return std::nullopt;
    }
    try {
        std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD read = 0;
            if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr)) return std::nullopt;
            if (read == 0) break;  // the file shrank meanwhile
            done += read;
        }
        bytes.resize(done);
        return bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool Win32DialogPlatform::WriteWholeFile(const std::string& path, const std::string& bytes) {
    // A temporary file in the same folder, so that the move is a rename in one step.
    char temporary[MAX_PATH] = {};
    if (!GetTempFileNameA(FolderOf(path).c_str(), "cmt", 0, temporary)) return false;
    bool written = false;
    {
        UniqueFile file(
            CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        written = file && WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
        written = file.reset() && written;
    }
    // A dialog that is reading the file as it starts holds it open for a moment.
    if (written && RetryWhileBusy(kReplaceWaitMs, [&] {
            if (MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                return Attempt::Done;
            }
            const DWORD error = GetLastError();
            const DWORD attributes = GetFileAttributesA(path.c_str());
            const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
            return (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) && !readOnly ? Attempt::Busy
                                                                                                    : Attempt::Failed;
        }) == Attempt::Done) {
        return true;
    }
    DeleteFileA(temporary);
    return false;
}

// A lock file beside the file, "Tallyhorn.Cmt.lock", open without sharing. Whoever may
// save the history may create it, in any session and account, and on every machine that
// shares the folder; a named kernel object would need the global namespace and a
// security descriptor for every user, and would not reach across machines. Closing it
// deletes it, and the system closes it when a dialog dies, so none is left behind.
std::unique_ptr<FileLock> Win32DialogPlatform::LockFile(const std::string& path, unsigned waitMs) {
    const std::string lockPath = path + ".lock";
    UniqueFile file;
    RetryWhileBusy(waitMs, [&] {
        file.reset(CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file) return Attempt::Done;
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) return Attempt::Busy;
        // Denied: held and being deleted as its holder lets go, or a folder this user
        // cannot write to at all, where the save fails anyway and need not wait.
        const bool lockThere =
            GetFileAttributesA(lockPath.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND;
        return error == ERROR_ACCESS_DENIED && lockThere ? Attempt::Busy : Attempt::Failed;
    });
    if (!file) return nullptr;
    return std::make_unique<HeldLockFile>(std::move(file));
}

std::string Win32DialogPlatform::RoamingAppData() { return UserAppDataFolder(true); }

std::string Win32DialogPlatform::LocalAppData() { return UserAppDataFolder(false); }

bool Win32DialogPlatform::FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32DialogPlatform::CreateFolder(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

std::vector<std::string> Win32DialogPlatform::FilesIn(const std::string& folder) {
    return ::tallyhorn::win::FilesIn(folder);
}

bool Win32DialogPlatform::AppendToLog(const std::string& path, const std::string& bytes, bool& created) {
    return ::tallyhorn::win::AppendToLogFile(path, bytes, ::tallyhorn::win::kDefaultSharingRetryMs, &created);
}

// ---- clock and locale ----

LocalDateTime Win32DialogPlatform::LocalTime() { return ::tallyhorn::win::LocalNow(); }

std::string Win32DialogPlatform::TimeSeparator() { return ::tallyhorn::win::LocaleTimeSeparator(); }

// ---- events ----

void Win32DialogPlatform::RecordEvent(const events::Event& event) { ::tallyhorn::win::WriteToEventLog(event); }

// ---- sockets ----

int Win32DialogPlatform::WouldBlockCode() { return WSAEWOULDBLOCK; }

SocketId Win32DialogPlatform::CreateSocket(int& error) {
    UniqueSocket created(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!created) {
        error = WSAGetLastError();
        return kNoSocket;
    }
    // The notifications make the socket non-blocking and reach the dialog's window.
    if (WSAAsyncSelect(created.get(), window_.Handle(), kSocketMessage, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) !=
        0) {
        error = WSAGetLastError();
        return kNoSocket;
    }
    error = 0;
    const SocketId id = static_cast<SocketId>(created.get());
    openSockets_[id] = std::move(created);
    return id;
}

std::uint32_t Win32DialogPlatform::InetAddr(const std::string& address) { return inet_addr(address.c_str()); }

SocketCall Win32DialogPlatform::Connect(SocketId socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
        return {-1, WSAGetLastError()};
    }
    return {0, 0};
}

SocketCall Win32DialogPlatform::Send(SocketId socket, const std::string& bytes) {
    const int sent = send(static_cast<SOCKET>(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent == SOCKET_ERROR) return {-1, WSAGetLastError()};
    return {sent, 0};
}

SocketCall Win32DialogPlatform::BytesWaiting(SocketId socket) {
    u_long waiting = 0;
    if (ioctlsocket(static_cast<SOCKET>(socket), FIONREAD, &waiting) == SOCKET_ERROR) {
        return {-1, WSAGetLastError()};
    }
    return {static_cast<int>(waiting), 0};
}

SocketCall Win32DialogPlatform::Receive(SocketId socket, std::size_t count, std::string& bytes) {
    bytes.assign(count, '\0');
    const int got = recv(static_cast<SOCKET>(socket), bytes.data(), static_cast<int>(count), 0);
    if (got == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        bytes.clear();
        return {-1, error};
    }
    bytes.resize(static_cast<std::size_t>(got));
    return {got, 0};
}

int Win32DialogPlatform::CloseSocket(SocketId socket) {
    const auto held = openSockets_.find(socket);
    if (held == openSockets_.end()) return WSAENOTSOCK;  // closed already: what closesocket would say
    const bool closed = held->second.reset();
    const int error = closed ? 0 : WSAGetLastError();
    openSockets_.erase(held);
    return error;
}

std::string Win32DialogPlatform::SocketErrorText(int code) {
    return ::tallyhorn::win::SystemErrorText(static_cast<std::uint32_t>(code));
}

}  // namespace tallyhorn::client::win
