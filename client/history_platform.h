// What the comment history asks of the platform: the drop-down list of
// Comments_ComboBox, its sort order, and the history file in the user's own folder.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tallyhorn::client {

// Held while a save reads, merges and replaces a file; destroying it lets the next in.
class FileLock {
public:
    virtual ~FileLock() = default;
};

class HistoryPlatform {
public:
    // ---- the drop-down list ----
    // Empties the drop-down list and makes room for `count` entries of `bytes` bytes in
    // all; the comment field keeps its text.
    virtual void ClearHistoryItems(std::size_t count, std::size_t bytes) = 0;
    // Inserts one entry at this index of the drop-down list (its size appends); false
    // when the list refused it (out of memory).
    virtual bool InsertHistoryItem(std::size_t index, const std::string& entry) = 0;
    // The order of the sorted drop-down list: case-insensitive and locale-aware.
    // Negative, zero or positive, as strcmp.
    virtual int CompareIgnoringCase(const std::string& a, const std::string& b) = 0;
    // Bytes whose order (byte by byte, then the shorter first) is the order of
    // CompareIgnoringCase, and equal exactly where it finds the texts equal: sorting
    // many texts by their keys costs one platform call per text, not per comparison.
    virtual std::string SortKey(const std::string& text) = 0;

    // ---- the history file ----
    // The roaming application data folder (%APPDATA%) of the account the dialog runs
    // as, from the system rather than the environment (which the program that starts the
    // dialog may not pass on), ending in a backslash; empty when the system names none.
    virtual std::string RoamingAppData() = 0;
    // Creates one folder level; every failure is ignored.
    virtual void CreateFolder(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // The whole file, opened for reading while denying writers; nothing when it cannot
    // be opened or read.
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // Writes the bytes to a temporary file beside `path` and puts it in place of `path`
    // in one step. False (and `path` untouched) on any failure.
    virtual bool WriteWholeFile(const std::string& path, const std::string& bytes) = 0;
    // The lock that every dialog of the user takes before it saves the file at `path`
    // (in any session, on any machine that shares the folder); waits at most `waitMs` for it and gives
    // nothing when it could not be had in that time (the save then goes ahead).
    virtual std::unique_ptr<FileLock> LockFile(const std::string& path, unsigned waitMs) = 0;

protected:
    ~HistoryPlatform() = default;
};

}  // namespace tallyhorn::client
