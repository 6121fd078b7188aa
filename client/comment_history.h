// The comment history: the sorted drop-down list of Comments_ComboBox and the file
// Tallyhorn.Cmt in the program folder that keeps it between runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client/dialog_platform.h"

namespace tallyhorn::client {

// The entries of a history file's bytes: lines end at CR LF, a lone CR or a lone LF; a
// byte 0 ends the reading; a line end at the very end adds no entry.
std::vector<std::string> ParseHistory(std::string_view bytes);

// The bytes of a history file: every entry followed by CR LF.
std::string FormatHistory(const std::vector<std::string>& entries);

// The list as the drop-down holds it, kept in the same order, plus its file.
class CommentHistory {
public:
    explicit CommentHistory(DialogPlatform& platform);

    // Replaces the list with the file's entries, sorted once and handed over in order.
    // Best effort: nothing changes when the file cannot be read, nothing escapes.
    void Load(const std::string& programFolder);

    // The save of every close attempt: adds `comment` at its sorted place unless an entry
    // counts as that text, merges in what the file holds now, and puts the whole list in
    // place of the file in one step. Only a refused insert escapes, as a DialogError
    // "Unable to insert a line", and then the file is not written.
    void RecordAndSave(const std::string& programFolder, const std::string& comment);

    const std::vector<std::string>& Entries() const { return entries_; }

    // True when an entry equals `text` with letter case ignored.
    bool Contains(const std::string& text);

private:
    bool Less(const std::string& a, const std::string& b);
    void Record(const std::string& comment);
    void MergeAndSave(const std::string& path);

    DialogPlatform& platform_;
    std::vector<std::string> entries_;
    // The file's bytes as this client last read or wrote them: while the file still holds
    // them, all its entries are in the list and the merge has nothing to add.
    std::string lastSeen_;
};

}  // namespace tallyhorn::client
