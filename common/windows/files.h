// The file calls that both deliverables make alike: the test that finds a job, result or
// log file, and writing every byte.
#pragma once

#include <windows.h>

#include <string>

namespace tallyhorn::win {

// True when a directory search for exactly this path finds a file (not a folder) whose
// last-write time converts to a DOS date and time (the years 1980 to 2107). Both
// deliverables test their job, result and log files so.
bool SearchFindsFileWithDosDate(const std::string& path);

// WriteFile until every byte is written; false on the first failure.
bool WriteAll(HANDLE file, const std::string& bytes);

}  // namespace tallyhorn::win
