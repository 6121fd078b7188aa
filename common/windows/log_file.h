// Appends lines to the daily log files the way both deliverables need.
#pragma once

#include <windows.h>

#include <string>

namespace tallyhorn::win {

// Appends the bytes to a log file and closes it; false when they were not written.
// `created`, when given, tells whether they began the file. The file is appended to when
// SearchFindsFileWithDosDate finds it (cut off first at a Ctrl-Z among its last 128
// bytes), else created, and shared for reading only. A link at the name (a reparse point
// or a second hard link) is never written through: the name becomes a file of its own.
// The lines of one process take turns. While another process holds the file, the append
// is retried for up to sharingRetryMs; after a line has waited that long in vain, the
// lines within the next sharingRetryMs try only once.
inline constexpr DWORD kDefaultSharingRetryMs = 200;
bool AppendToLogFile(const std::string& path, const std::string& bytes,
                     DWORD sharingRetryMs = kDefaultSharingRetryMs, bool* created = nullptr);

}  // namespace tallyhorn::win
