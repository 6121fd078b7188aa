// The comment history: the sorted drop-down list of Comments_ComboBox and the file
// Tallyhorn\Tallyhorn.Cmt in the user's roaming application data folder that keeps it
// between runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/history_platform.h"

namespace tallyhorn::client {

// The entries of a history file's bytes: lines end at CR LF, a lone CR or a lone LF; a
// line end at the very end adds no entry. Byte 0 is dropped wherever it stands, so a
// stray one loses nothing, and a file saved as UTF-16 reads as text (without its
// byte-order mark) where it was ASCII.
std::vector<std::string> ParseHistory(std::string_view bytes);

// The bytes of a history file: every entry followed by CR LF.
std::string FormatHistory(const std::vector<std::string>& entries);

// Puts keys in ascending byte order (equal ones in the order they were added) in
// bounded steps: one step sorts one run of `runLength` keys, later steps merge runs,
// `mergeStep` keys at a time. So a large history is ordered between window messages.
class StepwiseOrder {
public:
    explicit StepwiseOrder(std::size_t runLength = 16384, std::size_t mergeStep = 65536);

    // Only before the first Step.
    void Add(std::string_view key);
    std::size_t Size() const { return items_.size(); }
    // One step; false once the order is complete.
    bool Step();
    // Once complete: the indices (in the order of adding) of the keys in their order,
    // and whether the key at a place of that order equals the one before it.
    std::vector<std::uint32_t> Order() const;
    bool SameAsPrevious(std::size_t place) const;

private:
    struct Item {
        std::uint64_t head;  // the first 8 bytes, most significant first: most comparisons end here
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t index;
    };
    int Compare(const Item& a, const Item& b) const;
    bool Less(const Item& a, const Item& b) const { return Compare(a, b) < 0; }
    void StartPair(std::size_t lo);

    std::string keys_;
    std::vector<Item> items_;
    std::vector<Item> merged_;
    std::size_t runLength_;
    std::size_t mergeStep_;
    std::size_t sortedRuns_ = 0;
    std::size_t width_ = 0;  // the length of the runs being merged; 0 before merging
    std::size_t left_ = 0;
    std::size_t leftEnd_ = 0;
    std::size_t right_ = 0;
    std::size_t rightEnd_ = 0;
    std::size_t out_ = 0;
    bool done_ = false;
};

// The list as the drop-down holds it, kept in the same order, plus its file.
class CommentHistory {
public:
    explicit CommentHistory(HistoryPlatform& platform);
    ~CommentHistory();

    // Reads the user's file and puts its entries in the list: at once for a history of
    // some thousands of comments; a larger one is parsed, ordered and handed to the
    // drop-down by Continue, so that the dialog shows and answers meanwhile. A user who
    // has no file yet starts from the history that earlier versions shared in the program
    // folder (ending in a backslash), which is only read. Best effort: nothing changes
    // when no file can be read, nothing escapes.
    void Load(const std::string& programFolder);
    // One bounded step of the work left (ordering a loaded history, the save that waits
    // for it, handing entries to the drop-down); false once nothing is left. That save
    // can raise the DialogError of RecordAndSave.
    bool Continue();
    bool Busy() const;
    // A loaded history is still being ordered: a save now completes that first, which
    // takes seconds for one of some megabytes.
    bool Ordering() const { return loading_ != nullptr; }

    // The save of every close attempt. Adds `comment` at its sorted place unless an entry
    // counts as that text, merges in what the user's file holds now (or, while the user
    // has none, the earlier versions' shared file), and puts the whole list in place of
    // the user's file in one step, under the lock that the user's other dialogs respect.
    // A load still in progress is completed first, so that the whole file counts, and
    // comments noted by RecordAndSaveSoon are recorded before `comment`. Only a refused
    // insert escapes, as the DialogError "Unable to insert a line"; the file is then not
    // written.
    void RecordAndSave(const std::string& programFolder, const std::string& comment);
    // The same for a close attempt after which the dialog stays: while the history is
    // being ordered, `comment` is only noted, and recorded and saved by the Continue step
    // after the ordering or by the next RecordAndSave, whichever comes first. So the
    // dialog does not freeze, and the file ends up as a save at once would leave it.
    void RecordAndSaveSoon(const std::string& programFolder, const std::string& comment);

    // Every entry in list order (once a load in progress is ordered).
    const std::vector<std::string>& Entries() const { return entries_; }

    // True when an entry equals `text` with letter case ignored.
    bool Contains(const std::string& text);

private:
    struct Loading;

    bool Less(const std::string& a, const std::string& b);
    void StepLoading();
    void CompleteLoading();
    void ClearDropDown(const std::vector<std::string>& coming);
    void ShowMore();
    void ShowAgain();
    void AddKeys(StepwiseOrder& order, const std::vector<std::string>& texts);
    // The user's history file; empty when the system names no folder for it.
    std::string OwnFile();
    // The history that earlier versions kept in the program folder, for every user: only
    // ever read.
    static std::string EarlierFile(const std::string& programFolder);
    void Record(const std::string& comment);
    void SaveNoted(const std::string& programFolder);
    void MergeAndSave(const std::string& path, const std::string& earlierPath);
    void MergeIn(std::vector<std::string> fileEntries);
    void MergeFew(std::vector<std::string> candidates);
    void MergeMany(std::vector<std::string> candidates);

    HistoryPlatform& platform_;
    std::vector<std::string> entries_;
    // entries_[0, shown_) are in the drop-down, in the same order.
    std::size_t shown_ = 0;
    // The drop-down refused an entry: nothing more is handed to it.
    bool listFull_ = false;
    std::unique_ptr<Loading> loading_;
    // Comments of close attempts made while the history was being ordered, in the order
    // they came, not yet recorded; and the program folder of their save.
    std::vector<std::string> noted_;
    std::string notedFolder_;
    // The file's bytes as this client last read or wrote them: while the file still holds
    // them, all its entries are in the list and the merge has nothing to add.
    std::string lastSeen_;
};

}  // namespace tallyhorn::client
