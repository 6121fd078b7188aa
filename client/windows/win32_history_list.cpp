// The comment history's platform on Win32: the comment box's drop-down list, the
// locale's order, and the history file in the user's roaming folder, read whole and
// replaced in one step under a lock file.
#include "client/windows/win32_history_list.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "common/windows/handles.h"
#include "common/windows/retry.h"

namespace tallyhorn::client::win {

namespace {

using ::tallyhorn::win::Attempt;
using ::tallyhorn::win::RetryWhileBusy;
using ::tallyhorn::win::UniqueFile;

// How long a save waits for a dialog that is reading the history file as it starts.
constexpr DWORD kReplaceWaitMs = 1000;

// The lock file of a save, open without sharing; closing it deletes it.
struct HeldLockFile final : SaveLock {
    explicit HeldLockFile(UniqueFile held) : file(std::move(held)) {}
    UniqueFile file;
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

}  // namespace

int Win32HistoryList::CompareIgnoringCase(const std::string& a, const std::string& b) {
    const int order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                     b.data(), static_cast<int>(b.size()));
    if (order == 0) return lstrcmpiA(a.c_str(), b.c_str());
    return order - CSTR_EQUAL;
}

std::string Win32HistoryList::SortKey(const std::string& text) {
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

std::optional<std::string> Win32HistoryList::ReadWholeFile(const std::string& path) {
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

bool Win32HistoryList::WriteWholeFile(const std::string& path, const std::string& bytes) {
    // A temporary file in the same folder, so that the move is a rename in one step.
    char temporary[MAX_PATH] = {};
    if (!GetTempFileNameA(FolderOf(path).c_str(), "cmt", 0, temporary)) return false;
    bool written = false;
    {
        UniqueFile file(
            CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        written = file && ::tallyhorn::win::WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
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

// A hidden file beside the history, "Tallyhorn.Cmt.lock", opened without sharing. Any
// user who may save the history can create it, in any session and on any machine that
// shares the folder; a named kernel object would need the global namespace and a security
// descriptor for every user, and would not reach other machines. It is deleted on close,
// and the system closes it when a dialog dies, so none is left behind.
std::unique_ptr<SaveLock> Win32HistoryList::TakeSaveLock(const std::string& path, unsigned waitMs) {
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

}  // namespace tallyhorn::client::win
