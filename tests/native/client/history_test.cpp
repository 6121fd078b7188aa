// The comment history: parsing and writing Tallyhorn.Cmt, the sorted case-insensitive
// list, and the save that merges and replaces the file without losing comments.
#include <gtest/gtest.h>

#include "client/comment_history.h"
#include "client/dialog_error.h"
#include "fake_platform.h"

namespace tallyhorn::client {
namespace {

using Entries = std::vector<std::string>;
using testing::FakePlatform;

TEST(HistoryParse, EveryKindOfLineEndEndsALine) {
    EXPECT_EQ(ParseHistory("a\r\nb\rc\nd"), (Entries{"a", "b", "c", "d"}));
    EXPECT_EQ(ParseHistory("a\r\rb"), (Entries{"a", "", "b"}));       // CR CR: an empty line
    EXPECT_EQ(ParseHistory("a\n\r\nb"), (Entries{"a", "", "b"}));     // LF then CR LF
    EXPECT_EQ(ParseHistory("a\r\n\r\nb\r\n"), (Entries{"a", "", "b"}));
}

TEST(HistoryParse, AFinalLineEndAddsNoEntryButALoneOneIsAnEmptyEntry) {
    EXPECT_EQ(ParseHistory(""), Entries{});
    EXPECT_EQ(ParseHistory("a\r\n"), Entries{"a"});
    EXPECT_EQ(ParseHistory("a\r"), Entries{"a"});
    EXPECT_EQ(ParseHistory("\r\n"), Entries{""});
    EXPECT_EQ(ParseHistory("\n\n"), (Entries{"", ""}));
    EXPECT_EQ(ParseHistory("no line end at all"), Entries{"no line end at all"});
}

TEST(HistoryParse, AByteZeroEndsTheReading) {
    using namespace std::string_literals;
    EXPECT_EQ(ParseHistory("a\r\nb\0c\r\nd"s), (Entries{"a", "b"}));
    EXPECT_EQ(ParseHistory("a\r\0\nb"s), Entries{"a"});
    EXPECT_EQ(ParseHistory("\0a"s), Entries{});
    EXPECT_EQ(ParseHistory("\xff\xfe\x01\r\n"s), Entries{"\xff\xfe\x01"});  // other bytes pass through
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
    EXPECT_EQ(platform.setHistoryCalls, 1);
    EXPECT_EQ(platform.insertCalls, 0);
}

TEST_F(HistoryTest, AMissingOrLockedFileLoadsNothing) {
    history.Load(folder);
    EXPECT_TRUE(platform.items.empty());
    File() = "a\r\n";
    platform.lockedFiles.insert(platform.HistoryPath());
    history.Load(folder);
    EXPECT_TRUE(platform.items.empty());
    EXPECT_EQ(platform.setHistoryCalls, 0);
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
    EXPECT_EQ(platform.insertCalls, 0);

    File() = "foo\r\nFOO\r\n";
    history.Load(folder);
    history.RecordAndSave(folder, "Foo");
    EXPECT_EQ(ParseHistory(File()).size(), 2u);
}

TEST_F(HistoryTest, NoFileAtStartTheFirstSaveWritesTheCommentAlone) {
    history.Load(folder);
    history.RecordAndSave(folder, "");
    EXPECT_EQ(File(), "\r\n");
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

TEST_F(HistoryTest, AFileLockedAtStartIsMergedAtTheSaveNotWiped) {
    File() = "old one\r\nold two\r\n";
    platform.lockedFiles.insert(platform.HistoryPath());
    history.Load(folder);
    platform.lockedFiles.clear();
    history.RecordAndSave(folder, "new");
    EXPECT_EQ(File(), "new\r\nold one\r\nold two\r\n");
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

TEST_F(HistoryTest, LinesAfterAByteZeroAreDroppedFromTheNextSave) {
    File() = std::string("a\r\nb\0c\r\n", 8);
    history.Load(folder);
    history.RecordAndSave(folder, "a");
    EXPECT_EQ(File(), "a\r\nb\r\n");
}

}  // namespace
}  // namespace tallyhorn::client
