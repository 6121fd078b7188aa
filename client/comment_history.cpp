// The comment history: the sorted drop-down list of Comments_ComboBox and the file
// Tallyhorn.Cmt in the program folder that keeps it between runs.
#include "client/comment_history.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "client/dialog_error.h"
#include "client/dialog_texts.h"

namespace tallyhorn::client {

std::vector<std::string> ParseHistory(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        entries.emplace_back(bytes.substr(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        entries.emplace_back(bytes.substr(start));
    }
    return entries;
}

std::string FormatHistory(const std::vector<std::string>& entries) {
    std::size_t size = 0;
    for (const auto& entry : entries) {
        size += entry.size() + 2;
    }
    std::string bytes;
    bytes.reserve(size);
    for (const auto& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }
    return bytes;
}

CommentHistory::CommentHistory(DialogPlatform& platform) : platform_(platform) {}

bool CommentHistory::Less(const std::string& a, const std::string& b) {
    return platform_.CompareIgnoringCase(a, b) < 0;
}

bool CommentHistory::Contains(const std::string& text) {
    // Entries that compare equal sit together in the sorted list, so the first one not
    // below `text` decides.
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), text,
                                     [this](const std::string& a, const std::string& b) { return Less(a, b); });
    return at != entries_.end() && platform_.CompareIgnoringCase(*at, text) == 0;
}

void CommentHistory::Load(const std::string& programFolder) {
    try {
        auto bytes = platform_.ReadWholeFile(programFolder + std::string(texts::kHistoryFile));
        if (!bytes) {
            return;
        }
        std::vector<std::string> entries = ParseHistory(*bytes);
        // One sort and one hand-over: a sorted insert per entry moves the whole list each time.
        std::stable_sort(entries.begin(), entries.end(),
                         [this](const std::string& a, const std::string& b) { return Less(a, b); });
        platform_.SetHistoryItems(entries);
        entries_ = std::move(entries);
        lastSeen_ = std::move(*bytes);
    } catch (...) {
        // Best effort: the list keeps what it had.
    }
}

void CommentHistory::Record(const std::string& comment) {
    if (Contains(comment)) {
        return;
    }
    const auto at = std::upper_bound(entries_.begin(), entries_.end(), comment,
                                     [this](const std::string& a, const std::string& b) { return Less(a, b); });
    const auto index = static_cast<std::size_t>(at - entries_.begin());
    std::string entry;
    try {
        // Everything that can run out of memory happens before the drop-down changes, so
        // the model and the drop-down never part.
        entries_.reserve(entries_.size() + 1);
        entry = comment;
    } catch (const std::bad_alloc&) {
        throw DialogError(std::string(texts::kUnableToInsertLine));
    }
    if (!platform_.InsertHistoryItem(index, entry)) {
        throw DialogError(std::string(texts::kUnableToInsertLine));
    }
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), std::move(entry));
}

void CommentHistory::MergeAndSave(const std::string& path) {
    const auto bytes = platform_.ReadWholeFile(path);
    if (!bytes) {
        // A file that is there but cannot be read now (locked, no access) is left whole
        // rather than replaced by a list that lacks its entries.
        if (platform_.FileExists(path)) {
            return;
        }
    } else if (*bytes != lastSeen_) {
        // Comments another client saved since this one loaded the file; a duplicate
        // counts against the list as it was, as at record.
        std::vector<std::string> added;
        for (auto& entry : ParseHistory(*bytes)) {
            if (!Contains(entry)) {
                added.push_back(std::move(entry));
            }
        }
        if (!added.empty()) {
            const auto less = [this](const std::string& a, const std::string& b) { return Less(a, b); };
            std::stable_sort(added.begin(), added.end(), less);
            std::vector<std::string> merged;
            merged.reserve(entries_.size() + added.size());
            std::merge(entries_.begin(), entries_.end(), std::make_move_iterator(added.begin()),
                       std::make_move_iterator(added.end()), std::back_inserter(merged), less);
            platform_.SetHistoryItems(merged);
            entries_ = std::move(merged);
        }
    }
    std::string written = FormatHistory(entries_);
    if (platform_.ReplaceFile(path, written)) {
        lastSeen_ = std::move(written);
    }
}

void CommentHistory::RecordAndSave(const std::string& programFolder, const std::string& comment) {
    Record(comment);
    try {
        MergeAndSave(programFolder + std::string(texts::kHistoryFile));
    } catch (...) {
        // Best effort: a failed save leaves the old file whole and the close goes on.
    }
}

}  // namespace tallyhorn::client
