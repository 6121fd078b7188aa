// TForm1's decisions: OK and Cancel per mode, both keyboard paths, the close check with
// its nested close in quota mode, the countdown and the response file.
#include "tests/native/client/dialog_test_support.h"

#include <algorithm>
#include <tuple>

namespace tallyhorn::client::testing {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kPrint = "Print the job in spite of the quota violation ?";
constexpr const char* kCancelJob = "The Print job will be canceled, ok to go on ?";
constexpr const char* kQuit = "Quit without entering Comment ?";

Lines Tail(Lines lines, std::size_t from) { return Lines(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end()); }

// ---------------------------------------------------------------- the keyboard per mode

// Where the focus starts in each mode, and what one stroke of Enter or of Escape does
// there: the handlers it runs, the questions it asks (each answered No) and the closes.
// Only comment mode's OK connects to the server, once for both OKs of the stroke.
struct KeyOutcome {
    Lines log;
    Lines boxes;
    int quits;
};
struct ModeKeys {
    const char* action;
    Control focus;
    KeyOutcome enter, escape;
};
const ModeKeys kModeKeys[] = {
    // The default button on press, then the comment box on release.
    {"COMMENT", Control::Comments_ComboBox, {{"OKBtn Click", "OKBtn Click"}, {}, 0}, {{"CancelBtn Click"}, {kQuit}, 0}},
    // One button, as in a message box: Escape presses it too.
    {"REJECT", Control::OKBtn, {{"OKBtn Click"}, {}, 1}, {{"OKBtn Click"}, {}, 1}},
    {"ADMIN QUOTA", Control::OKBtn, {{"OKBtn Click"}, {kPrint}, 0}, {{"CancelBtn Click"}, {kCancelJob}, 0}},
    {"USER QUOTA", Control::OKBtn, {{"OKBtn Click"}, {kPrint}, 0}, {{"CancelBtn Click"}, {kCancelJob}, 0}},
    {"QUOTA", Control::OKBtn, {{"OKBtn Click"}, {kPrint}, 0}, {{"CancelBtn Click"}, {kCancelJob}, 0}},
    // Both buttons disabled: the dialog holds the focus; Enter cannot confirm printing.
    {"WAIT QUOTA", Control::Form, {{}, {}, 0}, {{"CancelBtn Click"}, {kCancelJob}, 0}},
};

void PrintTo(const ModeKeys& mode, std::ostream* out) { *out << '"' << mode.action << '"'; }

class DialogKeys : public DialogTest, public ::testing::WithParamInterface<std::tuple<ModeKeys, int>> {};

TEST_P(DialogKeys, TheFocusStartsOnAUsableControlAndOneStrokeRunsItsHandlerOnce) {
    const auto& [mode, key] = GetParam();
    StartWith(mode.action);
    const std::size_t logged = Log().size();
    EXPECT_EQ(platform.focus, mode.focus);
    Stroke(key);
    const KeyOutcome& outcome = key == kKeyEnter ? mode.enter : mode.escape;
    EXPECT_EQ(Tail(Log(), logged), outcome.log);
    EXPECT_EQ(BoxTexts(), outcome.boxes);
    EXPECT_EQ(platform.quitRequests, outcome.quits);
    EXPECT_EQ(platform.ports.size(), std::string(mode.action) == "COMMENT" && key == kKeyEnter ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(EachMode, DialogKeys, ::testing::Combine(::testing::ValuesIn(kModeKeys),
                                                                  ::testing::Values(kKeyEnter, kKeyEscape)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).action;
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name + (std::get<1>(info.param) == kKeyEnter ? "_Enter" : "_Escape");
                         });

TEST_F(DialogTest, ADisabledButtonTakesNoClick) {
    StartWith("WAIT QUOTA");
    form.ButtonClicked(Control::OKBtn);
    form.ButtonClicked(Control::CancelBtn);
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(DialogTest, ModifiersAndAnOpenListKeepTheButtonKeysFromPressing) {
    StartWith("COMMENT");
    EXPECT_FALSE(form.KeyDown(kKeyEnter, true, Control::Comments_ComboBox, false));
    EXPECT_FALSE(form.KeyDown(kKeyEnter, false, Control::Comments_ComboBox, true));
    EXPECT_FALSE(form.KeyDown(kKeyEscape, true, Control::Comments_ComboBox, false));
    EXPECT_FALSE(form.KeyDown(kKeyEscape, false, Control::Comments_ComboBox, true));
    EXPECT_FALSE(form.KeyDown('A', false, Control::Comments_ComboBox, false));
    EXPECT_EQ(Log().size(), 2u);
    // The release still reaches the comment box, whatever the shift state: OK once.
    form.KeyUp(kKeyEnter, Control::Comments_ComboBox);
    EXPECT_EQ(Tail(Log(), 2), Lines{"OKBtn Click"});
    // ...but not when the focus is elsewhere.
    form.KeyUp(kKeyEnter, Control::Form);
    EXPECT_EQ(Log().size(), 3u);
}

TEST_F(DialogTest, EnterPressesAFocusedButtonEvenWhereOkIsNoDefaultAndEscapePressesCancel) {
    StartWith("ADMIN QUOTA");
    EXPECT_TRUE(form.KeyDown(kKeyEnter, false, Control::OKBtn, false));
    EXPECT_TRUE(form.KeyDown(kKeyEnter, false, Control::CancelBtn, false));
    EXPECT_TRUE(form.KeyDown(kKeyEscape, false, Control::OKBtn, false));
    EXPECT_EQ(BoxTexts(), (Lines{kPrint, kCancelJob, kCancelJob}));
    form.KeyDown(kKeyEnter, false, Control::Comments_ComboBox, false);
    form.KeyUp(kKeyEnter, Control::Comments_ComboBox);  // the hidden comment box: nothing
    form.KeyUp(kKeyEnter, Control::CancelBtn);  // not the comment box: nothing
    EXPECT_EQ(platform.boxes.size(), 3u);
}

TEST_F(DialogTest, TheReleaseOfAKeyThatAnsweredABoxRunsNoHandler) {
    StartWith("COMMENT");
    // Escape asks; the user answers No with Escape: the box takes that press, and its
    // release then reaches the comment box, which must not ask again.
    Answer(false);
    EXPECT_TRUE(form.KeyDown(kKeyEscape, false, Control::Comments_ComboBox, false));
    form.KeyUp(kKeyEscape, Control::Comments_ComboBox);  // the first stroke's release went to the box
    form.KeyUp(kKeyEscape, Control::Comments_ComboBox);  // the answering stroke's release
    EXPECT_EQ(BoxTexts(), Lines{kQuit});

    // An error box dismissed with Enter must not start a new attempt on the release.
    Stroke(kKeyEnter);
    form.SocketNotified(platform.lastSocket, NetworkEvent::Connect, 10061);
    const std::size_t attempts = platform.ports.size();
    form.KeyUp(kKeyEnter, Control::Comments_ComboBox);
    EXPECT_EQ(platform.ports.size(), attempts);
    EXPECT_EQ(Tail(Log(), 2), (Lines{"CancelBtn Click", "OKBtn Click", "OKBtn Click", "ClientSocketError 10061"}));

    // A key stroke made after the box is the dialog's again.
    Stroke(kKeyEnter);
    EXPECT_EQ(platform.ports.size(), attempts + 1);
}

// ---------------------------------------------------------------- OK, Cancel, responses

// A button's question, answered Yes, writes its response (OK's with the JobID) and
// closes; answered No, nothing. Cancel in comment mode asks whether to quit and writes none.
struct ButtonCase {
    const char* action;
    const char* jobId;
    Control button;
    bool yes;
    const char* question;
    const char* response;  // nullptr: none written
};
void PrintTo(const ButtonCase& c, std::ostream* out) {
    *out << c.action << (c.button == Control::OKBtn ? " OK" : " Cancel") << (c.yes ? " Yes" : " No");
}
class ButtonDecisions : public DialogTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(ButtonDecisions, AskAndOnYesWriteTheResponseAndClose) {
    const ButtonCase& c = GetParam();
    StartWith(c.action, {{"JobID", c.jobId}});
    ClickAnswering(c.button, c.yes);
    EXPECT_EQ(BoxTexts(), Lines{c.question});
    EXPECT_EQ(platform.BoxesOf(BoxKind::Confirm).size(), 1u);
    EXPECT_EQ(ResponseWritten() ? Response() : "(none)", c.response ? c.response : "(none)");
    EXPECT_EQ(platform.quitRequests, c.yes ? 1 : 0);
}

const ButtonCase kButtons[] = {
    {"USER QUOTA", "1234", Control::OKBtn, true, kPrint, "OK, GO ON1234"},
    {"ADMIN QUOTA", "", Control::OKBtn, true, kPrint, "OK, GO ON"},
    {"ADMIN QUOTA", "1234", Control::OKBtn, false, kPrint, nullptr},
    {"ADMIN QUOTA", "1234", Control::CancelBtn, true, kCancelJob, "QUOTA VIOLATION"},
    {"ADMIN QUOTA", "1234", Control::CancelBtn, false, kCancelJob, nullptr},
    {"COMMENT", "1234", Control::CancelBtn, true, kQuit, nullptr},
    {"COMMENT", "1234", Control::CancelBtn, false, kQuit, nullptr},
};
INSTANTIATE_TEST_SUITE_P(EachMode, ButtonDecisions, ::testing::ValuesIn(kButtons));

TEST_F(DialogTest, AResponseFileThatCannotBeWrittenIsShownAndTheNextCloseIsAllowed) {
    StartWith("ADMIN QUOTA");
    platform.unwritable.insert(kResponseFile);
    ClickAnswering(Control::OKBtn, true);
    ASSERT_EQ(platform.BoxesOf(BoxKind::General).size(), 1u);
    const Box box = platform.BoxesOf(BoxKind::General)[0];
    EXPECT_EQ(box.caption, "Tallyhornclient");
    EXPECT_EQ(box.text, std::string("Unable to write to ") + kResponseFile + ".");
    const std::vector<events::Event> written = {{events::kQuotaResponseNotWritten, {"1234", "127.0.0.1", kResponseFile}},
                                                {events::kDialogErrorShown, {"1234", "127.0.0.1", box.text}}};
    EXPECT_EQ(platform.events, written);
    EXPECT_EQ(platform.quitRequests, 0);
    form.CloseRequested();
    EXPECT_EQ(platform.quitRequests, 1);
    EXPECT_EQ(platform.BoxesOf(BoxKind::Confirm).size(), 1u);  // no cancel question
}

// ---------------------------------------------------------------- the close check

TEST_F(DialogTest, TheCloseCheckAllowsOutsideQuotaModeAndSavesTheComment) {
    StartWith("COMMENT");
    platform.commentText = "Proof copy";
    form.CloseRequested();
    EXPECT_EQ(platform.quitRequests, 1);
    EXPECT_EQ(platform.files[platform.HistoryPath()], "Proof copy\r\n");
    form.CloseRequested();  // a further attempt runs the check again
    EXPECT_EQ(platform.quitRequests, 2);
    EXPECT_EQ(platform.replaced.size(), 2u);
}

TEST_F(DialogTest, InQuotaModeARefusedCloseAsksAndTheNestedCloseWritesTheHistoryTwice) {
    StartWith("ADMIN QUOTA");
    platform.commentText = "typed blind";
    std::string firstSave;
    Answer(true, [&] { firstSave = platform.files[platform.HistoryPath()]; });
    form.CloseRequested();
    EXPECT_EQ(BoxTexts(), Lines{kCancelJob});
    EXPECT_EQ(Response(), "QUOTA VIOLATION");
    EXPECT_EQ(platform.quitRequests, 1);
    EXPECT_EQ(platform.replaced.size(), 2u);
    EXPECT_EQ(firstSave, "typed blind\r\n");
    EXPECT_EQ(platform.files[platform.HistoryPath()], firstSave);
    EXPECT_EQ(Tail(Log(), 3), Lines{"CancelBtn Click"});
}

TEST_F(DialogTest, InQuotaModeARefusedCloseAnsweredNoKeepsTheDialog) {
    StartWith("USER QUOTA");
    form.CloseRequested();
    EXPECT_EQ(platform.quitRequests, 0);
    EXPECT_FALSE(ResponseWritten());
    EXPECT_TRUE(Running(Timer::Quota_Timer));
}

TEST_F(DialogTest, ACloseAttemptFromInsideTheCancelQuestionRunsTheCheckAgain) {
    StartWith("ADMIN QUOTA");
    // While the first cancel question is open, another close attempt arrives; its own
    // question is answered Yes, then the first one No.
    Answer(false, [&] {
        Answer(true);
        form.CloseRequested();
    });
    form.CloseRequested();
    EXPECT_EQ(BoxTexts(), (Lines{kCancelJob, kCancelJob}));
    EXPECT_EQ(platform.boxes[1].depth, 1);
    EXPECT_EQ(Response(), "QUOTA VIOLATION");
    EXPECT_EQ(platform.quitRequests, 1);
    EXPECT_EQ(platform.replaced.size(), 3u);
}

TEST_F(DialogTest, ARefusedHistoryInsertEndsTheCloseAttemptInTheGeneralBox) {
    StartWith("COMMENT");
    platform.commentText = "new";
    platform.refuseInserts = true;
    form.CloseRequested();
    EXPECT_EQ(platform.quitRequests, 0);
    ASSERT_EQ(platform.BoxesOf(BoxKind::General).size(), 1u);
    EXPECT_EQ(platform.BoxesOf(BoxKind::General)[0].text, "Unable to insert a line.");
    EXPECT_EQ(platform.BoxesOf(BoxKind::General)[0].caption, "Tallyhornclient");
    EXPECT_FALSE(platform.Exists(platform.HistoryPath()));
    platform.refuseInserts = false;
    form.CloseRequested();
    EXPECT_EQ(platform.quitRequests, 1);
}

// ---------------------------------------------------------------- the countdown

TEST_F(DialogTest, TheCountdownTicksEverySecondFromTheEndOfTheLastTick) {
    StartWith("ADMIN QUOTA");
    Advance(999);
    EXPECT_EQ(form.Job().countdown, 30);
    Advance(1);
    EXPECT_EQ(form.Job().countdown, 29);
    EXPECT_EQ(View(Control::Label1).caption, "Click OK within 29 seconds to allow the user to go on with the Printing,");
    Advance(27000);
    EXPECT_EQ(form.Job().countdown, 2);
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(DialogTest, AtZeroTheDialogDropsAlwaysOnTopSaysCanceledAndAttemptsToClose) {
    StartWith("ADMIN QUOTA");
    bool onTopWhenShown = true;
    platform.script.push_back([&](const Box&) {
        onTopWhenShown = platform.alwaysOnTop;
        return false;
    });
    Answer(true);
    Advance(30000);
    EXPECT_FALSE(onTopWhenShown);
    EXPECT_EQ(BoxTexts(), (Lines{"Job has been canceled.", kCancelJob}));
    EXPECT_EQ(platform.boxes[0].kind, BoxKind::Information);
    EXPECT_EQ(Response(), "QUOTA VIOLATION");
    EXPECT_EQ(platform.quitRequests, 1);
    EXPECT_FALSE(Running(Timer::Quota_Timer));
}

// Answered No at zero, the dialog stays, a tick queued after the timer stopped changes
// nothing, and the dialog still decides.
TEST_F(DialogTest, AtZeroAnsweredNoTheDialogStaysAndStillDecides) {
    StartWith("ADMIN QUOTA");
    Advance(30000);  // no script: the information box, then No
    EXPECT_EQ(platform.quitRequests, 0);
    EXPECT_FALSE(Running(Timer::Quota_Timer));
    EXPECT_EQ(View(Control::Label1).caption, "Click OK within 0 seconds to allow the user to go on with the Printing,");
    Advance(60000);
    form.TimerFired(Timer::Quota_Timer);
    form.TimerFired(Timer::WatchDog_Timer);
    EXPECT_EQ(form.Job().countdown, 0);
    EXPECT_EQ(platform.boxes.size(), 2u);
    ClickAnswering(Control::OKBtn, true);
    EXPECT_EQ(Response(), "OK, GO ON1234");
    EXPECT_EQ(platform.quitRequests, 1);
}

TEST_F(DialogTest, TheCountdownReachingZeroWhileAConfirmationIsOpenOpensItsBoxesAboveIt) {
    StartWith("USER QUOTA");
    // The print question stays open for 31 s; inside it the countdown ends, the
    // information box and then the cancel question (answered Yes) open above it.
    Answer(true, [&] {
        Answer(false);
        Answer(true);
        Advance(31000);
    });
    form.ButtonClicked(Control::OKBtn);
    EXPECT_EQ(BoxTexts(), (Lines{kPrint, "Job has been canceled.", kCancelJob}));
    EXPECT_EQ(platform.boxes[1].depth, 1);
    EXPECT_EQ(platform.boxes[2].depth, 1);
    // The cancel was final: the late Yes to the print question writes nothing more.
    EXPECT_EQ(Response(), "QUOTA VIOLATION");
    EXPECT_EQ(platform.quitRequests, 1);
}

}  // namespace
}  // namespace tallyhorn::client::testing
