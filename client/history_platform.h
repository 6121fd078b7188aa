// What the comment history asks of the platform: the drop-down list of
// Comments_ComboBox, its sort order, and the history file in the user's own folder.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tallyhorn::client {

// Held while a save reads, merges and replaces the history file; destroying it lets the
// next save in.
class SaveLock {
public:
    virtual ~SaveLock() = default;
};

class HistoryPlatform {
public:
    // ---- the drop-down list ----
    // Empties the drop-down list and makes room for `count` entries of `bytes` bytes in
    // all; the comment field keeps its text.
    virtual void ClearHistoryItems(std::size_t count, std::size_t bytes) = 0;
    // Inserts one entry at this index of the drop-down list (the list's size appends);
    // false when the list refused it (out of memory).
    virtual bool InsertHistoryItem(std::size_t index, const std::string& entry) = 0;
    // The order of the sorted drop-down list: case-insensitive and locale-aware.
    // Negative, zero or positive, as strcmp.
    virtual int CompareIgnoringCase(const std::string& a, const std::string& b) = 0;
    // A key for the text. Keys compared byte by byte (a shorter one first where one starts
    // the other) order texts as CompareIgnoringCase does, and are equal exactly where it
    // finds the texts equal. Sorting by keys costs one platform call per text, not one
    // per comparison.
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
    // The lock that every dialog of the user takes before it saves the file at `path`, in
    // any session and on any machine that shares the folder. Waits at most `waitMs`;
    // null when the lock was not had by then (the save goes ahead without it).
    virtual std::unique_ptr<SaveLock> TakeSaveLock(const std::string& path, unsigned waitMs) = 0;

protected:
    ~HistoryPlatform() = default;
};

}  // namespace tallyhorn::client
