// The file calls that both deliverables make alike: the test that finds a job, result or
// log file, the files of a log folder, and writing every byte.
#include "common/windows/files.h"

#include <windows.h>

#include <algorithm>

#include "common/windows/handles.h"

namespace tallyhorn::win {

bool SearchFindsFileWithDosDate(const std::string& path) {
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

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    const UniqueFind search(FindFirstFileA((folder + "*").c_str(), &found));
    if (!search) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
    } while (FindNextFileA(search.get(), &found));
    return names;
}

bool ReadFileLinks(HANDLE file, FileLinks& found) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) return false;
    found.reparsePoint = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    found.links = information.nNumberOfLinks;
    return true;
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

}  // namespace tallyhorn::win
