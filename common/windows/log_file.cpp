// Appends lines to the daily log files the way both deliverables need.
#include "common/windows/log_file.h"

#include <windows.h>

#include <algorithm>

#include "common/windows/files.h"
#include "common/windows/handles.h"
#include "common/windows/retry.h"

namespace tallyhorn::win {

namespace {

constexpr DWORD kCtrlZ = 26;
constexpr DWORD kTailLength = 128;

// The lines of one process take turns, each for its open, append, close and retries, so
// that a writer never finds the file held by its own process and only one thread polls a
// file that another process holds. An SRWLOCK needs no set-up and nothing beyond KERNEL32.
SRWLOCK appendLock = SRWLOCK_INIT;

// Guarded by appendLock. Set when a line waited the whole retry in vain (at shutSince)
// and none has been written since: another process keeps the file shut. The lines within
// the next retry's time then try only once, so those queued behind add no more waits.
bool shutNoted = false;
DWORD shutSince = 0;

class AppendTurn {
public:
    AppendTurn() { AcquireSRWLockExclusive(&appendLock); }
    AppendTurn(const AppendTurn&) = delete;
    AppendTurn& operator=(const AppendTurn&) = delete;
    ~AppendTurn() { ReleaseSRWLockExclusive(&appendLock); }
};

// Cuts the file off at the first Ctrl-Z among its last 128 bytes, then moves to its end.
bool CutAtCtrlZAndSeekEnd(HANDLE file) {
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    const DWORD tailLength = std::min(size, kTailLength);
    if (tailLength > 0) {
        const DWORD tailStart = size - tailLength;
        if (SetFilePointer(file, static_cast<LONG>(tailStart), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR)
            return false;
        char tail[kTailLength];
        DWORD read = 0;
        if (!ReadFile(file, tail, tailLength, &read, nullptr)) return false;
        const char* ctrlZ = std::find(tail, tail + read, static_cast<char>(kCtrlZ));
        if (ctrlZ != tail + read) {
            const DWORD cut = tailStart + static_cast<DWORD>(ctrlZ - tail);
            if (SetFilePointer(file, static_cast<LONG>(cut), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
                GetLastError() != NO_ERROR)
                return false;
            if (!SetEndOfFile(file)) return false;
        }
    }
    return SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// True for a file of this log's own: one name, no reparse point. Writing through a link
// would change a file somewhere else.
bool IsOwnFile(HANDLE file) {
    FileLinks links;
    return ReadFileLinks(file, links) && !links.reparsePoint && links.links == 1;
}

// One open, append and close of the bytes. The file is appended to when the existence
// test finds it, else created. A file that appears between the test and the creation was
// made by another writer and is appended to; only a file that the test turns down is
// emptied. A link at the name (a reparse point, or a file with more than one name) is
// never written through: the name is deleted and the file made anew, once, and the file
// the link leads to stays as it is.
Attempt AppendOnce(const std::string& path, const std::string& bytes, bool* created) {
    bool replace = false;
    bool unlinked = false;
    for (int round = 0; round < 4; ++round) {
        const bool appending = SearchFindsFileWithDosDate(path);
        // Reading the attributes too: the check for a link needs them.
        const DWORD access = appending ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE | FILE_READ_ATTRIBUTES;
        const DWORD disposition = appending || replace ? OPEN_EXISTING : CREATE_NEW;
        // Opened as it is, the link itself when it is one; emptied only once it is known.
        UniqueFile file(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            // The test runs again first: a file it accepts is appended to; one that is gone, created.
            const bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
            if (!appending && (exists || error == ERROR_FILE_NOT_FOUND)) {
                replace = exists;
                continue;
            }
            return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? Attempt::Busy
                                                                                       : Attempt::Failed;
        }
        if (!IsOwnFile(file.get())) {
            file.reset();
            if (unlinked || !DeleteFileA(path.c_str())) return Attempt::Failed;
            unlinked = true;
            replace = false;
            continue;
        }
        const bool ready = appending ? CutAtCtrlZAndSeekEnd(file.get()) : !replace || SetEndOfFile(file.get());
        if (!ready) return Attempt::Failed;
        const bool written = WriteAll(file.get(), bytes);
        if (created != nullptr) *created = !appending;
        return file.reset() && written ? Attempt::Done : Attempt::Failed;
    }
    return Attempt::Failed;
}

}  // namespace

bool AppendToLogFile(const std::string& path, const std::string& bytes, DWORD sharingRetryMs, bool* created) {
    const AppendTurn turn;
    // Another process holds the file: retried for sharingRetryMs from this line's first
    // refusal, unless a line just before found the file kept shut.
    const bool keptShut = shutNoted && GetTickCount() - shutSince < sharingRetryMs;
    const Attempt attempt =
        RetryWhileBusy(keptShut ? 0 : sharingRetryMs, [&] { return AppendOnce(path, bytes, created); });
    if (attempt == Attempt::Busy && !keptShut) {
        shutNoted = true;
        shutSince = GetTickCount();
    }
    if (attempt == Attempt::Done) shutNoted = false;
    return attempt == Attempt::Done;
}

}  // namespace tallyhorn::win
