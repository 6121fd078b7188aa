// Decisions and the server exchange under Wine, with the UI driver and the stand-in
// server: what is sent, what the user is shown and what is written.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/wine/client/client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

constexpr char kQuitComment[] = "Quit without entering Comment ?";
constexpr char kPrintAnyway[] = "Print the job in spite of the quota violation ?";
constexpr char kCancelJob[] = "The Print job will be canceled, ok to go on ?";
constexpr char kTimeout[] =
    "Timeout while communicating to the Tallyhorn server (127.0.0.1), Comment will not be written to the DB";

// Moves the dialog over the middle of the screen, where its boxes open, so that which
// of the two is in front is a real question.
void MoveDialogOverScreenCentre(const ClientRun& run) {
    const RECT place = driver::WindowPlace(run.Dialog());
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    SetWindowPos(run.Dialog(), nullptr, GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2,
                 GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The box that `act` opens while the dialog stands over the middle of the screen.
driver::MessageBoxInfo BoxOverTheDialog(ClientRun& run, const std::function<void()>& act) {
    MoveDialogOverScreenCentre(run);
    act();
    return run.WaitForBox();
}

// What a user sees of a box: its caption and text, in front of the dialog where both
// overlap, owned by it, centred on the screen, the dialog disabled meanwhile.
void ExpectInFrontAndCentred(const ClientRun& run, const driver::MessageBoxInfo& box, const std::string& caption,
                             const std::string& text) {
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.text, text);
    const POINT centre{(box.place.left + box.place.right) / 2, (box.place.top + box.place.bottom) / 2};
    HWND atCentre = WindowFromPoint(centre);
    EXPECT_TRUE(atCentre == box.window || GetAncestor(atCentre, GA_ROOT) == box.window);
    EXPECT_EQ(box.owner, run.Dialog());
    EXPECT_NEAR(centre.x, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR(centre.y, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    EXPECT_FALSE(IsWindowEnabled(run.Dialog()));
    // The box overlaps the dialog, so "in front" is a real question.
    RECT overlap{};
    const RECT dialog = driver::WindowPlace(run.Dialog());
    EXPECT_TRUE(IntersectRect(&overlap, &dialog, &box.place));
}

// A comment job of this JobID sent with OK to the stand-in server in this mode.
class CommentSent {
public:
    CommentSent(const std::string& mode, const std::string& jobId, const std::string& comment = "",
                const std::vector<std::string>& serverOptions = {})
        : server(mode, serverOptions) {
        if (!server.Ready()) {
            started = ::testing::AssertionFailure() << "the comment server did not start";
            return;
        }
        started = run.Show(CommentJob(jobId), kCommentCaption);
        if (!started) return;
        if (!comment.empty()) run.SetComment(comment);
        okAt = GetTickCount();
        run.Click(kIdOKBtn);
    }
    CommentServer server;
    ClientRun run;
    ::testing::AssertionResult started = ::testing::AssertionFailure();
    DWORD okAt = 0;
};

TEST(CommentSubmission, TheMessageIsSentOnceByteExactAndAnAcknowledgementCloses) {
    // The acknowledgement, the quota approval (an empty comment sent) and an
    // acknowledgement that arrives in two pieces.
    const struct {
        const char* mode;
        std::vector<std::string> options;
        const char* jobId;
        std::string comment, received, history, serverLogged;
    } cases[] = {
        {"ack", {}, "1234", "Proof copy ## for Ann", "Client Comment1234##Proof copy ## for Ann##",
         "Proof copy ## for Ann\r\n", "answered \""},
        {"quota", {}, "8", "", "Client Comment8####", "\r\n", "answered \"Quota Approval OK\""},
        {"split", {"--pause-ms", "400"}, "4", "", "Client Comment4####", "\r\n", "second half sent"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        CommentSent sent(c.mode, c.jobId, c.comment, c.options);
        ASSERT_TRUE(sent.started);
        ASSERT_TRUE(sent.run.WaitForExit());
        EXPECT_EQ(sent.server.Received(), c.received);
        EXPECT_EQ(sent.server.Connections(), 1);
        EXPECT_EQ(sent.run.Logged("OKBtn Click"), 1);
        EXPECT_EQ(sent.run.History(), c.history);
        EXPECT_NE(sent.server.Log().find(c.serverLogged), std::string::npos) << sent.server.Log();
    }
}

TEST(CommentSubmission, RefusedConnectionIsShownInFrontOfTheDialog) {
    ClientRun run;  // nothing listens on 5052
    ASSERT_TRUE(run.Show(CommentJob(), kCommentCaption));
    const driver::MessageBoxInfo box = BoxOverTheDialog(run, [&] { run.Click(kIdOKBtn); });
    ASSERT_TRUE(box.window);
    ExpectInFrontAndCentred(run, box, "Error",
                            "Error occured while communicating to the Tallyhorn server (127.0.0.1), Comment will not "
                            "be written to the DB, (error 10061).");
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"OK"}));
    driver::ClickBoxButton(box.window, IDOK);
    // The dialog stays open for another try.
    ASSERT_TRUE(run.WaitUntilEnabled());
    EXPECT_FALSE(run.WaitForExit(500));
}

TEST(CommentSubmission, SilentServerGivesTheTimeoutBoxAndASecondOkTriesAgain) {
    CommentSent sent("silent", "42", "first");
    ClientRun& run = sent.run;
    ASSERT_TRUE(sent.started);
    ASSERT_TRUE(WaitUntil([&] { return sent.server.Received() == "Client Comment42##first##"; }, 5000));
    EXPECT_FALSE(run.WaitForBox(1000).window);  // nothing to say while the server is silent
    const driver::MessageBoxInfo box = run.WaitForBox(20000);
    ASSERT_TRUE(box.window);
    std::printf("timeout box %lu ms after OK\n", GetTickCount() - sent.okAt);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, kTimeout);
    EXPECT_EQ(run.LogMessages().back(), kTimeout);
    driver::ClickBoxButton(box.window, IDOK);
    ASSERT_TRUE(run.WaitUntilEnabled());

    // A fresh attempt: a new connection, the message again with the text of now.
    run.SetComment("second");
    run.Click(kIdOKBtn);
    ASSERT_TRUE(WaitUntil([&] { return sent.server.Connections() == 2; }, 5000));
    ASSERT_TRUE(WaitUntil(
        [&] { return sent.server.Received() == "Client Comment42##first##Client Comment42##second##"; }, 5000));
    EXPECT_EQ(run.Logged("OKBtn Click"), 2);
}

TEST(CommentSubmission, OneEnterRunsOkTwiceButSendsOnce) {
    CommentServer server("silent");
    ASSERT_TRUE(server.Ready());
    ClientRun run;
    ASSERT_TRUE(run.Show(CommentJob("3"), kCommentCaption));
    ASSERT_TRUE(driver::BringToFront(run.Dialog()));
    driver::TypeText("Typed here");
    ASSERT_TRUE(WaitUntil([&] { return run.Text(kIdComments_ComboBox) == "Typed here"; }, 5000));
    run.Press(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return run.Logged("OKBtn Click") == 2; }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return !server.Received().empty(); }, 5000));
    Sleep(500);
    EXPECT_EQ(server.Received(), "Client Comment3##Typed here##");
    EXPECT_EQ(server.Connections(), 1);
}

TEST(CommentSubmission, AFloodOfTextLeavesTheDialogWorking) {
    CommentSent sent("flood", "1234", "", {"--flood-mb", "8"});
    ASSERT_TRUE(sent.started);
    ASSERT_TRUE(WaitUntil([&] { return sent.server.Log().find("flood sent") != std::string::npos; }, 20000));
    // Not an acknowledgement: the dialog answers and stays open without a message.
    EXPECT_FALSE(sent.run.WaitForBox(1500).window);
    sent.run.Click(kIdCancelBtn);
    ASSERT_TRUE(sent.run.AnswerBox(kQuitComment, IDYES));
    EXPECT_TRUE(sent.run.WaitForExit());
}

TEST(CommentDecisions, EscapeAsksAndNoKeepsTheDialog) {
    ClientRun run;
    ASSERT_TRUE(run.Show(CommentJob(), kCommentCaption));
    const driver::MessageBoxInfo box = BoxOverTheDialog(run, [&] { run.Press(VK_ESCAPE); });
    ASSERT_TRUE(box.window);
    ExpectInFrontAndCentred(run, box, "Confirm", kQuitComment);
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"&Yes", "&No"}));
    // Escape in the box answers No on its press. Its release then reaches the comment
    // box, which has the focus again; it was the box's key stroke, so nothing is asked
    // again and the dialog stays.
    driver::PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box.window); }, 5000));
    driver::ReleaseKey(VK_ESCAPE);
    EXPECT_FALSE(run.WaitForBox(1500, {box.window}).window);
    EXPECT_FALSE(run.WaitForExit(500));
    EXPECT_EQ(run.Logged("CancelBtn Click"), 1);
}

TEST(QuotaDecisions, EnterConfirmsPrintingAndWritesTheResponse) {
    ClientRun run;
    ASSERT_TRUE(run.Show(Job("ADMIN QUOTA", "1234"), kQuotaCaption));
    // Enter presses the focused OK button.
    const driver::MessageBoxInfo box = BoxOverTheDialog(run, [&] { run.Press(VK_RETURN); });
    ASSERT_TRUE(box.window);
    ExpectInFrontAndCentred(run, box, "Confirm", kPrintAnyway);
    driver::ClickBoxButton(box.window, IDYES);
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_EQ(run.Response(), "OK, GO ON1234");
    EXPECT_EQ(run.Logged("OKBtn Click"), 1);
}

// The general box, under the name of the program as it runs (its other texts, an empty
// server address's among them, are tested natively).
TEST(QuotaDecisions, AnUnwritableResponseFileIsReportedAndTheDialogStays) {
    ClientRun run;
    // A folder where the response file would go: no profile write can make that a file
    // (a read-only folder does not stop Wine running as root).
    ASSERT_TRUE(CreateDirectoryA(run.ResponseFile().c_str(), nullptr));
    ASSERT_TRUE(run.Show(Job("ADMIN QUOTA", "5"), kQuotaCaption));
    run.Click(kIdOKBtn);
    driver::MessageBoxInfo box = run.WaitForBox();
    ASSERT_TRUE(box.window);
    driver::ClickBoxButton(box.window, IDYES);
    box = run.WaitForBox(10000, {box.window});
    ASSERT_TRUE(box.window);
    EXPECT_EQ(box.caption, "Tallyhornclient");
    EXPECT_EQ(box.text, "Unable to write to " + run.ResponseFile() + ".");
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"OK"}));
    driver::ClickBoxButton(box.window, IDOK);
    EXPECT_FALSE(run.WaitForExit(1000));
    // Response holds the verdict, so the next close is allowed.
    PostMessageA(run.Dialog(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.WaitForExit());
}

TEST(QuotaCountdown, RunsToZeroThenCancelsAndAsks) {
    ClientRun run;
    ASSERT_TRUE(run.Show(Job("USER QUOTA", "12"), kQuotaCaption));
    MoveDialogOverScreenCentre(run);
    ASSERT_TRUE(WaitUntil([&] { return run.Text(kIdLabel1) == "Click OK within 29 seconds to go on with the Printing,"; },
                          5000));
    const driver::MessageBoxInfo info = run.WaitForBox(45000);
    ASSERT_TRUE(info.window);
    ExpectInFrontAndCentred(run, info, "Information", "Job has been canceled.");
    EXPECT_EQ(run.Text(kIdLabel1), "Click OK within 0 seconds to go on with the Printing,");
    EXPECT_FALSE(GetWindowLongA(run.Dialog(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    driver::ClickBoxButton(info.window, IDOK);
    ASSERT_TRUE(run.AnswerBox(kCancelJob, IDNO, {info.window}));
    // Stopped at 0, the dialog still decides.
    EXPECT_FALSE(run.WaitForExit(1500));
    EXPECT_EQ(run.Text(kIdLabel1), "Click OK within 0 seconds to go on with the Printing,");
    run.Click(kIdOKBtn);
    ASSERT_TRUE(run.AnswerBox(kPrintAnyway, IDYES));
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_EQ(run.Response(), "OK, GO ON12");
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
