// Appends lines to the daily log files and tests files the way both deliverables need.
#pragma once

#include <windows.h>

#include <string>

namespace tallyhorn::win {

// WriteFile until every byte is written; false on the first failure.
bool WriteAll(HANDLE file, const std::string& bytes);

// True when a directory search for exactly this path finds a file (not a folder) whose
// last-write time converts to a DOS date and time (the years 1980 to 2107).
bool FileExistsForLog(const std::string& path);

// Opens the log file, appending when it exists (a Ctrl-Z byte among its last 128 bytes
// cuts the file off there first) or creating it; write access, read-only sharing.
// Writes the bytes and closes the file. Lines from threads of one process take turns.
// While another process holds the file the attempt is repeated for up to sharingRetryMs
// after its first refusal; once a line has waited that long in vain, the lines after it
// within sharingRetryMs try only once. A file that another writer created since the test
// is appended to, not emptied. Returns false when the bytes were not written.
bool AppendToLogFile(const std::string& path, const std::string& bytes, DWORD sharingRetryMs = 200);

}  // namespace tallyhorn::win
