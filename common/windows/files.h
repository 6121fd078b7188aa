// The file calls that both deliverables make alike: the test that finds a job, result or
// log file, the files of a log folder, and writing every byte.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tallyhorn::win {

// True when a directory search for exactly this path finds a file (not a folder) whose
// last-write time converts to a DOS date and time (the years 1980 to 2107). Both
// deliverables test their job, result and log files so.
bool SearchFindsFileWithDosDate(const std::string& path);

// The names of the files (not folders) in a folder (ending in a backslash); empty when it
// cannot be listed.
std::vector<std::string> FilesIn(const std::string& folder);

// What an open file's handle tells about its name: whether it is a reparse point (opened
// with FILE_FLAG_OPEN_REPARSE_POINT, the link itself) and how many hard links it has.
// False when the handle cannot tell.
struct FileLinks {
    bool reparsePoint = false;
    DWORD links = 0;
};
bool ReadFileLinks(HANDLE file, FileLinks& found);

// WriteFile until every byte is written; false on the first failure.
bool WriteAll(HANDLE file, const std::string& bytes);

}  // namespace tallyhorn::win
