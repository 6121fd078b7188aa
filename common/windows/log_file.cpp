// Appends lines to the daily log files and tests files the way both deliverables need.
#include "log_file.h"

#include <windows.h>

#include <algorithm>

#include "handles.h"

namespace tallyhorn::win {

namespace {

constexpr DWORD kCtrlZ = 26;
constexpr DWORD kTailLength = 128;
constexpr DWORD kSharingRetryMs = 200;
constexpr DWORD kSharingRetryStepMs = 10;

// CreateFileA, tried again for a short while when another writer holds the file.
UniqueFile OpenSharedForWriting(const std::string& path, DWORD access, DWORD disposition) {
    const DWORD started = GetTickCount();
    for (;;) {
        HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return UniqueFile(file);
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return {};
        if (GetTickCount() - started >= kSharingRetryMs) return {};
        Sleep(kSharingRetryStepMs);
    }
}

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

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

bool FileExistsForLog(const std::string& path) {
    WIN32_FIND_DATAA found{};
    UniqueFind search(FindFirstFileA(path.c_str(), &found));
    if (!search) return false;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    FILETIME local{};
    WORD dosDate = 0;
    WORD dosTime = 0;
    return FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
           FileTimeToDosDateTime(&local, &dosDate, &dosTime);
}

bool AppendToLogFile(const std::string& path, const std::string& bytes) {
    UniqueFile file;
    if (FileExistsForLog(path)) {
        file = OpenSharedForWriting(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        if (!file || !CutAtCtrlZAndSeekEnd(file.get())) return false;
    } else {
        file = OpenSharedForWriting(path, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file) return false;
    }
    const bool written = WriteAll(file.get(), bytes);
    return file.reset() && written;
}

}  // namespace tallyhorn::win
