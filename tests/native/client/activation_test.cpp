// TForm1's activation: the job file read and deleted, the log lines, the mode decision
// and each mode's arrangement, and the closes of a missing file or an unknown action.
#include "client/comment_history.h"
#include "tests/native/client/dialog_test_support.h"

namespace tallyhorn::client::testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(DialogTest, TheJobFileIsReadIntoTheLabelsAndTheJobValuesThenDeleted) {
    StartWith("COMMENT");
    EXPECT_EQ(View(Control::PrinterName).caption, "Printer: HP 4");
    EXPECT_EQ(View(Control::DocumentName).caption, "Document Name: report.doc");
    EXPECT_EQ(View(Control::Pages).caption, "Pages: 3");
    EXPECT_EQ(View(Control::Reason).caption, "Reason: Over the limit");
    const JobValues& job = form.Job();
    EXPECT_EQ(job.programFolder, "C:\\Apps\\");
    EXPECT_EQ(job.jobFilePath, kJobFile);
    EXPECT_EQ(job.action, "COMMENT");
    EXPECT_EQ(job.quotaType, "");
    EXPECT_EQ(job.serverIp, "127.0.0.1");
    EXPECT_EQ(job.jobId, "1234");
    EXPECT_EQ(job.userIp, "10.0.0.9");
    EXPECT_EQ(job.countdown, 30);
    EXPECT_FALSE(platform.Exists(kJobFile));
    EXPECT_EQ(Log(), (Lines{"ActionType=COMMENT", "JobID=1234"}));
    EXPECT_EQ(platform.quitRequests, 0);
    platform.PutJobFile(kJobFile, {{"Action", "REJECT"}});
    form.FormActivate();  // the activation runs once
    EXPECT_EQ(form.Job().action, "COMMENT");
    EXPECT_EQ(Log().size(), 2u);
}

TEST_F(DialogTest, MissingKeysLeaveThePrefixesAlone) {
    platform.profiles[kJobFile]["PrintJob"]["Action"] = "REJECT";
    form.FormActivate();
    EXPECT_EQ(View(Control::PrinterName).caption, "Printer: ");
    EXPECT_EQ(View(Control::DocumentName).caption, "Document Name: ");
    EXPECT_EQ(View(Control::Pages).caption, "Pages: ");
    EXPECT_EQ(View(Control::Reason).caption, "Reason: ");
    EXPECT_EQ(Log(), (Lines{"ActionType=REJECT", "JobID="}));
}

TEST_F(DialogTest, TheHistoryIsLoadedBeforeTheJobFileIsLookedAt) {
    platform.files[platform.HistoryPath()] = "b\r\na\r\n";
    form.FormActivate();  // no job file at all
    EXPECT_EQ(platform.readPaths.front(), platform.HistoryPath());
    EXPECT_EQ(platform.items, (Lines{"", "a", "b"}));  // and the close added the empty comment
    EXPECT_EQ(platform.files[platform.HistoryPath()], "\r\na\r\nb\r\n");
}

// A history too large to be ordered before the dialog shows. Closes while it is still
// being ordered make no key while the dialog shows, outside the timer's steps, and leave
// the file as saves at once would.
class LargeHistoryDialogTest : public DialogTest {
protected:
    const Lines entries = LargeHistory();
    void SetUp() override { platform.files[platform.HistoryPath()] = FormatHistory(entries); }
    std::string Saved() { return platform.files[platform.HistoryPath()]; }
    std::string SavedAtOnce(Lines comments) {
        comments.insert(comments.end(), entries.begin(), entries.end());
        return FormatHistory(platform.SortedIgnoringCase(comments));
    }
};

TEST_F(LargeHistoryDialogTest, AnAllowedCloseHidesTheDialogFirstAndSavesTheCommentsOfEveryAttempt) {
    StartWith("ADMIN QUOTA");
    platform.commentText = "first";
    form.CloseRequested();  // refused, its question answered No before the next step
    EXPECT_TRUE(platform.replaced.empty());
    platform.commentText = "second";
    ClickAnswering(Control::OKBtn, true);  // printing confirmed: the close is allowed
    EXPECT_FALSE(View(Control::Form).visible);
    EXPECT_EQ(platform.keysWhileFormShown, 0);
    EXPECT_EQ(platform.quitRequests, 1);
    EXPECT_EQ(platform.replaced.size(), 1u);
    EXPECT_EQ(Saved(), SavedAtOnce({"first", "second"}));
}

TEST_F(LargeHistoryDialogTest, IsOrderedOnTheTimerAfterTheDialogShowsAndARefusedCloseMeanwhileSaves) {
    StartWith("USER QUOTA");
    EXPECT_LT(platform.items.size(), entries.size());
    EXPECT_TRUE(Running(Timer::History_Timer));
    platform.commentText = "typed blind";
    Answer(false, [&] {
        EXPECT_EQ(platform.keysWhileFormShown, 0);
        Advance(100);  // the box's own message loop runs the timer
        EXPECT_EQ(Saved(), SavedAtOnce({"typed blind"}));
    });
    form.CloseRequested();
    EXPECT_EQ(platform.BoxesOf(BoxKind::Confirm).size(), 1u);
    EXPECT_EQ(platform.replaced.size(), 1u);
    EXPECT_TRUE(View(Control::Form).visible);
    Advance(1000);
    EXPECT_EQ(platform.items, ParseHistory(Saved()));  // all of it, in order
    EXPECT_FALSE(Running(Timer::History_Timer));
}

TEST_F(LargeHistoryDialogTest, ARefusedInsertBringsTheHiddenDialogBackWithTheError) {
    StartWith("COMMENT");
    platform.refuseInserts = true;  // the empty comment sorts first, into the drop-down
    form.CloseRequested();
    EXPECT_EQ(platform.keysWhileFormShown, 0);
    EXPECT_TRUE(View(Control::Form).visible);
    ASSERT_EQ(platform.BoxesOf(BoxKind::General).size(), 1u);
    EXPECT_EQ(platform.BoxesOf(BoxKind::General)[0].text, "Unable to insert a line.");
    EXPECT_EQ(platform.quitRequests, 0);
    EXPECT_TRUE(platform.replaced.empty());
}

TEST(DialogStart, WithoutAJobToShowTheDialogClosesThroughTheCheck) {
    const struct {
        const char* argument;
        const char* action;  // nullptr: no job file
        Lines log;
    } cases[] = {{"C:\\Apps\\Temp\\gone.txt", nullptr, {}},
                 {"", nullptr, {}},
                 {kJobFile, "comment", {"ActionType=comment", "JobID="}}};  // lower case is none of the three
    for (const auto& c : cases) {
        FakePlatform platform;
        FakeDialog dialog(platform, c.argument);
        if (c.action) platform.PutJobFile(kJobFile, {{"Action", c.action}});
        dialog.form.FormActivate();
        EXPECT_EQ(platform.quitRequests, 1);
        EXPECT_EQ(platform.files[platform.HistoryPath()], "\r\n");  // the check saved the history
        EXPECT_EQ(platform.LogMessages(), c.log);
        EXPECT_TRUE(platform.boxes.empty());
        EXPECT_EQ(platform.controls[Control::Form].caption, "Tallyhorn");  // still the designed state
    }
}

// Started minimised and closed before it was ever shown: the save writes the user's own
// history, and takes in the one that earlier versions shared in the program folder.
TEST_F(DialogTest, ACloseBeforeActivationSavesTheUsersHistoryWithTheSharedComments) {
    platform.files[platform.EarlierHistoryPath()] = "kept\r\n";
    form.CloseRequested();
    EXPECT_EQ(platform.replaced, Lines{"C:\\Users\\Ann\\AppData\\Roaming\\Tallyhorn\\Tallyhorn.Cmt"});
    EXPECT_EQ(platform.files[platform.HistoryPath()], "\r\nkept\r\n");
    EXPECT_EQ(platform.files[platform.EarlierHistoryPath()], "kept\r\n");
    EXPECT_EQ(platform.quitRequests, 1);
}

TEST_F(DialogTest, CommentModeShowsTheCommentBoxAndItsLabels) {
    StartWith("COMMENT");
    EXPECT_EQ(View(Control::Form).caption, "Tallyhorn: enter comment");
    for (Control c : {Control::Comments_ComboBox, Control::Label1, Control::Label2, Control::Label4,
                      Control::Comment_Image, Control::OKBtn, Control::CancelBtn}) {
        EXPECT_TRUE(View(c).visible) << static_cast<int>(c);
    }
    for (Control c : {Control::Label3, Control::Reason, Control::Stop_Image, Control::Confirm_Image}) {
        EXPECT_FALSE(View(c).visible) << static_cast<int>(c);
    }
    EXPECT_EQ(View(Control::Comment_Image).top, 15);
    EXPECT_EQ(View(Control::OKBtn).left, 103);
    EXPECT_TRUE(platform.okIsDefault);
    EXPECT_FALSE(Running(Timer::Quota_Timer));
}

TEST_F(DialogTest, RejectModeTellsWhyWithOneButton) {
    StartWith("REJECT");
    EXPECT_EQ(View(Control::Form).caption, "Message from Tallyhorn server");
    EXPECT_FALSE(View(Control::CancelBtn).visible);
    EXPECT_EQ(View(Control::OKBtn).left, 147);
    for (Control c : {Control::Comments_ComboBox, Control::Label1, Control::Label2, Control::Label4}) {
        EXPECT_FALSE(View(c).visible) << static_cast<int>(c);
    }
    EXPECT_TRUE(View(Control::Label3).visible);
    EXPECT_EQ(View(Control::Label3).top, 25);
    EXPECT_EQ(View(Control::Label3).caption, "The following document will not be printed.");
    EXPECT_TRUE(View(Control::Reason).visible);
    EXPECT_EQ(View(Control::Reason).top, 135);
    EXPECT_EQ(View(Control::Reason).caption, "Reason: Over the limit");
    EXPECT_TRUE(View(Control::Stop_Image).visible);
    EXPECT_EQ(View(Control::Stop_Image).top, 20);
    EXPECT_TRUE(platform.okIsDefault);
}

struct QuotaCase {
    const char* action;
    const char* quotaType;
    const char* label1;
    bool waiting;
};

class QuotaArrangement : public DialogTest, public ::testing::WithParamInterface<QuotaCase> {};

TEST_P(QuotaArrangement, FollowsTheQuotaType) {
    const QuotaCase& c = GetParam();
    StartWith(c.action);
    EXPECT_EQ(form.Job().action, "QUOTA");
    EXPECT_EQ(form.Job().quotaType, c.quotaType);
    EXPECT_EQ(Log(), (Lines{"ActionType=QUOTA", "JobID=1234", std::string("QuotaType=") + c.quotaType}));
    EXPECT_EQ(View(Control::Form).caption, "Tallyhorn: Quota alert");
    EXPECT_FALSE(platform.okIsDefault);
    EXPECT_FALSE(View(Control::Label2).visible);
    EXPECT_TRUE(View(Control::Label1).visible);
    EXPECT_EQ(View(Control::Label1).top, 140);
    EXPECT_EQ(View(Control::Label1).caption, c.label1);
    EXPECT_EQ(View(Control::Label3).visible, !c.waiting);
    EXPECT_EQ(View(Control::Label3).top, 160);
    EXPECT_EQ(View(Control::Label3).caption, "or click Cancel to cancel the print job.");
    EXPECT_TRUE(View(Control::Confirm_Image).visible);
    EXPECT_EQ(View(Control::Confirm_Image).top, 20);
    EXPECT_EQ(View(Control::OKBtn).enabled, !c.waiting);
    EXPECT_EQ(View(Control::CancelBtn).enabled, !c.waiting);
    EXPECT_TRUE(View(Control::OKBtn).visible);
    EXPECT_TRUE(View(Control::CancelBtn).visible);
    EXPECT_FALSE(View(Control::Label4).visible);
    EXPECT_FALSE(View(Control::Comments_ComboBox).visible);
    EXPECT_TRUE(View(Control::Reason).visible);
    EXPECT_EQ(View(Control::Reason).top, 25);
    EXPECT_EQ(View(Control::Reason).caption, "Over the limit");  // bare in quota mode
    EXPECT_TRUE(Running(Timer::Quota_Timer));
    EXPECT_EQ(platform.timers[Timer::Quota_Timer].interval, 1000u);
    EXPECT_EQ(platform.quitRequests, 0);
    // Each tick shows the count in the same words; "Comment:" stays.
    Advance(3000);
    std::string counted = c.label1;
    if (const auto at = counted.find("30"); at != std::string::npos) counted.replace(at, 2, "27");
    EXPECT_EQ(View(Control::Label1).caption, counted);
}

INSTANTIATE_TEST_SUITE_P(
    Types, QuotaArrangement,
    ::testing::Values(
        QuotaCase{"ADMIN QUOTA", "ADMIN", "Click OK within 30 seconds to allow the user to go on with the Printing,", false},
        QuotaCase{"USER QUOTA", "USER ", "Click OK within 30 seconds to go on with the Printing,", false},
        QuotaCase{"WAIT QUOTA", "WAIT ", "Waiting for the Administrator approval to go on with the Printing (30)", true},
        QuotaCase{"QUOTA", "QUOTA", "Comment:", false},
        QuotaCase{"xQUOTAy", "xQUOT", "Comment:", false}));

}  // namespace
}  // namespace tallyhorn::client::testing
