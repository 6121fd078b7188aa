// Appends lines to the daily log files the way both deliverables need.
#pragma once

#include <windows.h>

#include <string>

namespace tallyhorn::win {

// Opens the log file, appending when SearchFindsFileWithDosDate finds it (a Ctrl-Z byte
// among its last 128 bytes cuts the file off there first) or creating it; write access,
// read-only sharing.
// Writes the bytes and closes the file. Lines from threads of one process take turns.
// While another process holds the file the attempt is repeated for up to sharingRetryMs
// after its first refusal; once a line has waited that long in vain, the lines after it
// within sharingRetryMs try only once. A file that another writer created since the test
// is appended to, not emptied. A link at the name (a reparse point or a second hard link)
// is never written through: the name is made a file of its own. Returns false when the
// bytes were not written; `created`, when given, tells whether they began the file.
inline constexpr DWORD kDefaultSharingRetryMs = 200;
bool AppendToLogFile(const std::string& path, const std::string& bytes,
                     DWORD sharingRetryMs = kDefaultSharingRetryMs, bool* created = nullptr);

}  // namespace tallyhorn::win
