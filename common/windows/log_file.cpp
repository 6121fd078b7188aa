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

// Lines of this process take turns, each for its open-append-close and the retries it
// needs: a writer never meets the file held by its own process, and only one thread of
// a process polls a file that another process holds. An SRWLOCK needs no
// initialisation and nothing beyond KERNEL32.
SRWLOCK appendLock = SRWLOCK_INIT;

// Guarded by appendLock: a line of this process waited the whole retry in vain at
// shutSince, and none has been written since. The file is then kept shut (a reader that
// does not share writing): the lines that follow within one retry try only once, so
// the lines queued behind cost their calls no further waits.
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

// One open, append and close of the bytes. The file is opened for appending when the
// existence test finds it, else created. A file that appears between the test and the
// creation was just made by another writer: it is appended to, not emptied; only a file
// that the test does not accept is replaced.
Attempt AppendOnce(const std::string& path, const std::string& bytes) {
    bool replace = false;
    for (;;) {
        const bool appending = SearchFindsFileWithDosDate(path);
        const DWORD access = appending ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
        const DWORD disposition = appending ? OPEN_EXISTING : replace ? CREATE_ALWAYS : CREATE_NEW;
        UniqueFile file(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (!appending && !replace && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)) {
                replace = true;  // the test runs again first: a file it accepts is appended to
                continue;
            }
            return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? Attempt::Busy
                                                                                       : Attempt::Failed;
        }
        if (appending && !CutAtCtrlZAndSeekEnd(file.get())) return Attempt::Failed;
        const bool written = WriteAll(file.get(), bytes);
        return file.reset() && written ? Attempt::Done : Attempt::Failed;
    }
}

}  // namespace

bool AppendToLogFile(const std::string& path, const std::string& bytes, DWORD sharingRetryMs) {
    const AppendTurn turn;
    // Another process holds the file: retried for sharingRetryMs from this line's first
    // refusal, unless a line just before found the file kept shut.
    const bool keptShut = shutNoted && GetTickCount() - shutSince < sharingRetryMs;
    const Attempt attempt = RetryWhileBusy(keptShut ? 0 : sharingRetryMs, [&] { return AppendOnce(path, bytes); });
    if (attempt == Attempt::Busy && !keptShut) {
        shutNoted = true;
        shutSince = GetTickCount();
    }
    if (attempt == Attempt::Done) shutNoted = false;
    return attempt == Attempt::Done;
}

}  // namespace tallyhorn::win
