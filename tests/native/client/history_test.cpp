// The comment history: parsing and writing Tallyhorn.Cmt, the sorted case-insensitive
// list, and the save that merges and replaces the file without losing comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "client/comment_history.h"
#include "client/dialog_error.h"
#include "tests/native/client/fake_platform.h"

namespace tallyhorn::client {
namespace {

using Entries = std::vector<std::string>;
using testing::FakePlatform;

// Every kind of line end ends a line; a final one adds no entry, but a lone one is an
// empty entry; a byte 0 is dropped and every line kept.
TEST(HistoryParse, LineEndsAndBytesZero) {
    using namespace std::string_literals;
    const std::pair<std::string, Entries> cases[] = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}}, {"a\r\rb", {"a", "", "b"}},  // CR CR: an empty line
        {"a\n\r\nb", {"a", "", "b"}},                                         // LF then CR LF
        {"a\r\n\r\nb\r\n", {"a", "", "b"}}, {"", {}}, {"a\r\n", {"a"}}, {"a\r", {"a"}}, {"\r\n", {""}},
        {"\n\n", {"", ""}}, {"no line end at all", {"no line end at all"}},
        {"a\r\nb\0c\r\nd"s, {"a", "bc", "d"}}, {"a\r\0\nb"s, {"a", "b"}},  // still one line end
        {"\0a\0"s, {"a"}},
        // Saved as UTF-16 by an editor, either byte order: the ASCII text, no byte-order mark.
        {"\xff\xfeO\0n\0e\0\r\0\n\0\xe9\0\r\0\n\0"s, {"One", "\xe9"}},
        {"\xfe\xff\0O\0n\0e\0\r\0\n\0t\0w\0o"s, {"One", "two"}},
        {"\xff\xfe\x01\r\n"s, {"\xff\xfe\x01"}},  // without a byte 0 those bytes are text like any other
    };
    for (const auto& [bytes, entries] : cases) EXPECT_EQ(ParseHistory(bytes), entries) << bytes;
}

TEST(HistoryOrder, StepwiseOrderIsAStableSortInBoundedSteps) {
    std::mt19937 random(7);
    for (const std::size_t count : {0u, 1u, 5u, 97u, 300u}) {
        std::vector<std::string> keys;
        for (std::size_t i = 0; i < count; ++i) {
            // Short keys from few letters: many equal keys and many equal first 8 bytes.
            keys.push_back(std::string(8, 'k') + std::string(random() % 3, static_cast<char>('a' + random() % 3)));
            if (random() % 4 == 0) keys.back().resize(random() % 9);
        }
        StepwiseOrder order(/*runLength=*/4, /*mergeStep=*/3);
        for (const auto& key : keys) order.Add(key);
        int steps = 0;
        while (order.Step()) ++steps;
        std::vector<std::uint32_t> expected(count);
        std::iota(expected.begin(), expected.end(), 0u);
        std::stable_sort(expected.begin(), expected.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
        EXPECT_EQ(order.Order(), expected) << count << " keys";
        for (std::size_t place = 0; place < count; ++place) {
            EXPECT_EQ(order.SameAsPrevious(place), place > 0 && keys[expected[place]] == keys[expected[place - 1]]);
        }
        if (count == 300) {
            EXPECT_GT(steps, 100);  // 75 runs, then 7 passes of 100 steps each
        }
    }
}

TEST(HistoryFormat, EveryEntryEndsWithCrLfAndAnEmptyHistoryIsAnEmptyFile) {
    EXPECT_EQ(FormatHistory({}), "");
    EXPECT_EQ(FormatHistory({"", "a", "B"}), "\r\na\r\nB\r\n");
    EXPECT_EQ(ParseHistory(FormatHistory({"", "x", ""})), (Entries{"", "x", ""}));
}

class HistoryTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CommentHistory history{platform};
    const std::string folder = platform.programFolder;
    std::string& File() { return platform.files[platform.HistoryPath()]; }
};

TEST_F(HistoryTest, LoadSortsOnceAndHandsTheListOverInOrder) {
    File() = "pear\nApple\r\nbanana\rapple\r\n";
    history.Load(folder);
    EXPECT_EQ(platform.items, (Entries{"Apple", "apple", "banana", "pear"}));
    EXPECT_EQ(history.Entries(), platform.items);
    EXPECT_FALSE(history.Busy());
}

TEST_F(HistoryTest, AMissingOrLockedFileLoadsNothingAndTheLockedOneIsMergedAtTheSaveNotWiped) {
    history.Load(folder);
    EXPECT_TRUE(platform.items.empty());
    File() = "old one\r\nold two\r\n";
    platform.lockedFiles.insert(platform.HistoryPath());
    history.Load(folder);
    EXPECT_TRUE(platform.items.empty());
    platform.lockedFiles.clear();
    history.RecordAndSave(folder, "new");
    EXPECT_EQ(File(), "new\r\nold one\r\nold two\r\n");
}

// A user without a file of their own starts from the history that earlier versions
// shared in the program folder; the first save writes the user's file, never the shared
// one, which counts no more once the user's file is there (even when it cannot be read).
// Without a roaming folder to be had, nothing is written.
TEST_F(HistoryTest, TheSharedHistoryOfEarlierVersionsSeedsTheUsersOwnAndIsOnlyRead) {
    platform.files[platform.EarlierHistoryPath()] = "shared\r\n";
    history.Load(folder);
    EXPECT_EQ(platform.items, Entries{"shared"});
    history.RecordAndSave(folder, "mine");
    EXPECT_EQ(File(), "mine\r\nshared\r\n");
    EXPECT_EQ(platform.replaced, Entries{platform.HistoryPath()});
    EXPECT_EQ(platform.files[platform.EarlierHistoryPath()], "shared\r\n");

    platform.files[platform.EarlierHistoryPath()] = "shared later\r\n";
    platform.readPaths.clear();
    history.Load(folder);
    platform.lockedFiles.insert(platform.HistoryPath());
    history.Load(folder);
    history.RecordAndSave(folder, "x");
    EXPECT_EQ(platform.readPaths, Entries(3, platform.HistoryPath()));
    EXPECT_EQ(platform.items, (Entries{"mine", "shared", "x"}));
    platform.roamingAppData.clear();
    history.RecordAndSave(folder, "y");
    EXPECT_EQ(platform.replaced.size(), 1u);
}

TEST_F(HistoryTest, RecordAddsAtTheSortedPlaceAndWritesTheListSortedWithCrLf) {
    File() = "b\nd\n";
    history.Load(folder);
    history.RecordAndSave(folder, "C");
    EXPECT_EQ(platform.items, (Entries{"b", "C", "d"}));
    EXPECT_EQ(File(), "b\r\nC\r\nd\r\n");
    history.RecordAndSave(folder, "");
    EXPECT_EQ(File(), "\r\nb\r\nC\r\nd\r\n");  // the empty entry sorts first
    history.RecordAndSave(folder, "");
    EXPECT_EQ(File(), "\r\nb\r\nC\r\nd\r\n");  // and there is only ever one
}

TEST_F(HistoryTest, ATextThatDiffersOnlyInCaseCountsAsTheEntryButBothVariantsFromTheFileStay) {
    File() = "Foo\r\n";
    history.Load(folder);
    history.RecordAndSave(folder, "foo");
    EXPECT_EQ(File(), "Foo\r\n");
    EXPECT_EQ(platform.items, Entries{"Foo"});

    File() = "foo\r\nFOO\r\n";
    history.Load(folder);
    history.RecordAndSave(folder, "Foo");
    EXPECT_EQ(ParseHistory(File()).size(), 2u);
}

TEST_F(HistoryTest, ARefusedInsertRaisesAndLeavesTheFileAndTheListAlone) {
    File() = "a\r\n";
    history.Load(folder);
    platform.refuseInserts = true;
    try {
        history.RecordAndSave(folder, "new");
        FAIL() << "no error";
    } catch (const DialogError& error) {
        EXPECT_STREQ(error.what(), "Unable to insert a line");
    }
    EXPECT_EQ(File(), "a\r\n");
    EXPECT_TRUE(platform.replaced.empty());
    EXPECT_EQ(history.Entries(), Entries{"a"});
}

TEST_F(HistoryTest, TheSaveMergesInWhatAnotherClientSavedMeanwhile) {
    File() = "mine\r\n";
    history.Load(folder);
    File() = "MINE\r\ntheirs\r\nzebra\r\nAnother\r\n";  // another client closed since
    history.RecordAndSave(folder, "typed");
    EXPECT_EQ(File(), "Another\r\nmine\r\ntheirs\r\ntyped\r\nzebra\r\n");
    EXPECT_EQ(platform.items, ParseHistory(File()));
    // A second save with nothing new writes the same bytes again.
    history.RecordAndSave(folder, "typed");
    EXPECT_EQ(File(), "Another\r\nmine\r\ntheirs\r\ntyped\r\nzebra\r\n");
    EXPECT_EQ(platform.replaced.size(), 2u);
    // Another client saves after this one's own save: the next save still merges.
    File() += "late\r\n";
    history.RecordAndSave(folder, "typed");
    EXPECT_EQ(File(), "Another\r\nlate\r\nmine\r\ntheirs\r\ntyped\r\nzebra\r\n");
}

TEST_F(HistoryTest, AFileThatCannotBeReadOrWrittenAtTheSaveIsLeftWhole) {
    File() = "kept\r\n";
    platform.lockedFiles.insert(platform.HistoryPath());
    EXPECT_NO_THROW(history.RecordAndSave(folder, "x"));
    EXPECT_EQ(File(), "kept\r\n");
    EXPECT_TRUE(platform.replaced.empty());

    platform.lockedFiles.clear();
    platform.unwritable.insert(platform.HistoryPath());
    EXPECT_NO_THROW(history.RecordAndSave(folder, "y"));
    EXPECT_EQ(File(), "kept\r\n");
}

TEST_F(HistoryTest, AByteZeroLosesNoLineAtTheNextSave) {
    File() = std::string("d\r\nb\0c\r\na\r\n", 11);
    history.Load(folder);
    history.RecordAndSave(folder, "a");
    EXPECT_EQ(File(), "a\r\nbc\r\nd\r\n");
}

TEST_F(HistoryTest, TheSaveReadsMergesAndReplacesUnderTheLockOrWithoutItAfterTheWait) {
    File() = "a\r\n";
    history.RecordAndSave(folder, "b");
    EXPECT_EQ(platform.fileSteps, (Entries{"lock", "read", "replace", "unlock"}));
    platform.fileSteps.clear();
    platform.lockBusy = true;
    history.RecordAndSave(folder, "c");
    EXPECT_EQ(platform.fileSteps, (Entries{"read", "replace"}));
    EXPECT_EQ(File(), "a\r\nb\r\nc\r\n");
}

class LargeHistoryTest : public HistoryTest {
protected:
    const Entries entries = testing::LargeHistory();
    Entries sorted = platform.SortedIgnoringCase(entries);
    void SetUp() override {
        File() = FormatHistory(entries);
        history.Load(folder);
    }
    // Runs the steps left; the most entries one step handed to the drop-down.
    std::size_t Drain() {
        std::size_t most = 0;
        for (bool more = true; more;) {
            const std::size_t before = platform.items.size();
            more = history.Continue();
            most = std::max(most, platform.items.size() - before);
        }
        return most;
    }
};

TEST_F(LargeHistoryTest, IsOrderedAndHandedOverInBoundedStepsAfterTheLoad) {
    EXPECT_TRUE(platform.items.empty());
    EXPECT_TRUE(history.Busy());
    EXPECT_LT(Drain(), entries.size() / 2);
    EXPECT_EQ(platform.items, sorted);
    EXPECT_EQ(history.Entries(), sorted);
    EXPECT_FALSE(history.Busy());
}

TEST_F(LargeHistoryTest, ACloseBeforeTheListIsFullFindsEveryEntryAndLosesNone) {
    history.RecordAndSave(folder, "entry 42");  // a case variant of an entry
    EXPECT_EQ(File(), FormatHistory(sorted));
    // Half handed over: a comment inside that half goes to the drop-down now, one beyond
    // it with the rest.
    while (platform.items.size() < entries.size() / 2) history.Continue();
    history.RecordAndSave(folder, "Entry 1000a");
    history.RecordAndSave(folder, "zzz");
    Drain();
    sorted.push_back("Entry 1000a");
    sorted.push_back("zzz");
    sorted = platform.SortedIgnoringCase(sorted);
    EXPECT_EQ(File(), FormatHistory(sorted));
    EXPECT_EQ(platform.items, sorted);
}

TEST_F(LargeHistoryTest, MergesOfSomeAndOfManyNewEntriesKeepEveryOneOnceInOrder) {
    Drain();
    // Another client saved 300 of its own, later thousands more and case variants of these.
    Entries theirs = sorted;
    for (const std::size_t count : {300u, 5000u}) {
        for (std::size_t i = 0; i < count; ++i) {
            theirs.push_back("entry " + std::to_string(i));                             // variants: not added
            theirs.push_back("Other " + std::to_string(count) + "." + std::to_string(i));  // new
        }
        File() = FormatHistory(theirs);
        history.RecordAndSave(folder, "Entry 5");
        Drain();
        const Entries saved = ParseHistory(File());
        EXPECT_EQ(saved.size(), theirs.size() - (count == 300 ? 300 : 5300));
        EXPECT_EQ(saved, platform.SortedIgnoringCase(saved));
        EXPECT_EQ(std::count(saved.begin(), saved.end(), "ENTRY 10"), 1);
        EXPECT_EQ(std::count(saved.begin(), saved.end(), "entry 10"), 0);
        EXPECT_EQ(platform.items, saved);
    }
}

}  // namespace
}  // namespace tallyhorn::client
