// The dialog as a user sees it under Wine: each mode's arrangement and texts, the job
// file, the client log, the comment history, the closes at start, DPI and show states.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/log_retention.h"
#include "common/windows/handles.h"
#include "tests/wine/client/client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

// What the user sees of one control: its text (nullptr: not checked), whether it shows,
// and its place in the dialog's client area at 96 DPI.
struct Seen {
    const char* text;
    bool visible;
    int left;
    int top;
};
struct InEachMode {
    int id;
    Seen comment, reject, quota;
};

constexpr char kDocument[] = "Document Name: Quarterly report.docx";
constexpr char kPages[] = "Pages: 12";
constexpr char kPrinter[] = "Printer: HP LaserJet 4";
constexpr char kReason[] = "Reason: Your monthly quota of 100 pages is used up.";

// Each control in each mode, for a job of Job(). In quota mode Label1's text depends on
// the quota type, and Label3 hides while the job waits for the administrator.
constexpr InEachMode kArrangement[] = {
    {kIdLabel4, {"The document you have printed is now being handled by the printer,", true, 34, 13},
     {nullptr, false, 34, 13}, {nullptr, false, 34, 13}},
    {kIdLabel2, {"Please enter a comment for the print job in the field below.", true, 34, 31},
     {nullptr, false, 34, 31}, {nullptr, false, 34, 31}},
    {kIdDocumentName, {kDocument, true, 34, 60}, {kDocument, true, 34, 60}, {kDocument, true, 34, 60}},
    {kIdPages, {kPages, true, 34, 85}, {kPages, true, 34, 85}, {kPages, true, 34, 85}},
    {kIdPrinterName, {kPrinter, true, 34, 110}, {kPrinter, true, 34, 110}, {kPrinter, true, 34, 110}},
    {kIdLabel1, {"Comment:", true, 34, 135}, {nullptr, false, 34, 135}, {nullptr, true, 34, 140}},
    {kIdComments_ComboBox, {"", true, 88, 132}, {nullptr, false, 88, 132}, {nullptr, false, 88, 132}},
    {kIdLabel3, {nullptr, false, 34, 160}, {"The following document will not be printed.", true, 34, 25},
     {"or click Cancel to cancel the print job.", true, 34, 160}},
    {kIdReason, {kReason, false, 34, 184}, {kReason, true, 34, 135}, {kJobErrorMsg, true, 34, 25}},
    {kIdOKBtn, {"OK", true, 103, 183}, {"OK", true, 147, 183}, {"OK", true, 103, 183}},
    {kIdCancelBtn, {"Cancel", true, 210, 183}, {nullptr, false, 210, 183}, {"Cancel", true, 210, 183}},
    // A picture's text is its name for screen readers.
    {kIdStop_Image, {"Rejected", false, 4, 20}, {"Rejected", true, 4, 20}, {"Rejected", false, 4, 20}},
    {kIdConfirm_Image, {"Question", false, 4, 56}, {"Question", false, 4, 56}, {"Question", true, 4, 20}},
    {kIdComment_Image, {"Comment", true, 4, 15}, {"Comment", false, 4, 91}, {"Comment", false, 4, 91}},
};

using Arrangement = std::vector<std::pair<int, Seen>>;
Arrangement ArrangementOf(Seen InEachMode::*mode) {
    Arrangement controls;
    for (const InEachMode& control : kArrangement) controls.emplace_back(control.id, control.*mode);
    return controls;
}

// Checks text, visibility and place of each control listed.
void ExpectControls(const ClientRun& run, const Arrangement& controls, int dpi = 96) {
    for (const auto& [id, seen] : controls) {
        const driver::ControlState state = run.Control(id);
        SCOPED_TRACE(std::string("control ") + std::to_string(id) + " \"" + state.text + "\"");
        ASSERT_TRUE(state.exists);
        if (seen.text) {
            EXPECT_EQ(state.text, seen.text);
        }
        EXPECT_EQ(state.visible, seen.visible);
        EXPECT_EQ(state.place.left, MulDiv(seen.left, dpi, 96));
        EXPECT_EQ(state.place.top, MulDiv(seen.top, dpi, 96));
    }
}

int Width(const driver::ControlState& state) { return state.place.right - state.place.left; }
int Height(const driver::ControlState& state) { return state.place.bottom - state.place.top; }

TEST(DialogWindow, CommentModeShowsTheJobAndAsksForAComment) {
    ClientRun run;
    ASSERT_TRUE(run.Show(CommentJob("77"), kCommentCaption));
    ExpectControls(run, ArrangementOf(&InEachMode::comment));
    // The window of the design: client area, place, frame, stacking.
    const RECT client = driver::ClientRectOnScreen(run.Dialog()), place = driver::WindowPlace(run.Dialog());
    EXPECT_EQ(std::tuple(client.right - client.left, client.bottom - client.top, place.left, place.top),
              std::tuple(369, 219, 322, 142));  // width, height, left, top
    const LONG style = GetWindowLongA(run.Dialog(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(GetWindowLongA(run.Dialog(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Labels size themselves to their captions (MS Sans Serif 8 pt gives the designed widths).
    for (const auto& [id, width, height] : {std::tuple{kIdLabel4, 321, 13}, {kIdLabel2, 272, 13}, {kIdLabel1, 47, 13},
                                            {kIdComments_ComboBox, 236, 21}, {kIdOKBtn, 75, 25}, {kIdComment_Image, 25, 25}})
        EXPECT_EQ(std::pair(Width(run.Control(id)), Height(run.Control(id))), std::pair(width, height)) << id;
    // The comment box is an editable, sorted drop-down with the keyboard focus.
    const LONG comboStyle = GetWindowLongA(run.ControlWindow(kIdComments_ComboBox), GWL_STYLE);
    EXPECT_EQ(comboStyle & 3, CBS_DROPDOWN);
    EXPECT_TRUE(comboStyle & CBS_SORT);
    EXPECT_EQ(SendMessageA(run.ControlWindow(kIdComments_ComboBox), CB_GETITEMHEIGHT, 0, 0), 13);
    EXPECT_EQ(driver::FocusedControlId(run.Dialog()), kIdComments_ComboBox);
    EXPECT_TRUE(GetWindowLongA(run.ControlWindow(kIdOKBtn), GWL_STYLE) & BS_DEFPUSHBUTTON);
    // Screen readers name the comment box after the label just before it.
    EXPECT_EQ(GetWindow(run.ControlWindow(kIdComments_ComboBox), GW_HWNDPREV), run.ControlWindow(kIdLabel1));

    // The job file is gone once read; the log tells what was read.
    EXPECT_FALSE(Exists(run.JobFile()));
    EXPECT_EQ(run.LogMessages(), (std::vector<std::string>{"ActionType=COMMENT", "JobID=77"}));
    for (const std::string& line : run.LogLines())
        EXPECT_TRUE(std::regex_match(line.substr(0, 10), std::regex("\\d\\d:\\d\\d:\\d\\d  "))) << line;
    // The lines are the user's: the program folder's Debug\ only switches them on.
    EXPECT_FALSE(Exists(run.Folder() + "Debug\\Tallyhorn_Client_" + TodaysLogDate() + ".log"));
}

// Reject mode under a black high-contrast scheme: every colour comes from the system's
// scheme, so the lines are white on black, "will not be printed" too. Enter presses the
// focused OK button, which closes the dialog: the whole job's test.
TEST(DialogWindow, RejectModeTellsWhyTheJobWillNotPrintInTheSchemesColours) {
    const HighContrastBlack scheme;
    ClientRun run;
    ASSERT_TRUE(run.Show(Job("REJECT", "5"), kRejectCaption));
    ExpectControls(run, ArrangementOf(&InEachMode::reject));
    EXPECT_EQ(driver::FocusedControlId(run.Dialog()), kIdOKBtn);
    EXPECT_EQ(run.LogMessages(), (std::vector<std::string>{"ActionType=REJECT", "JobID=5"}));
    const RECT label3 = driver::ClientRectOnScreen(run.ControlWindow(kIdLabel3));
    std::set<COLORREF> colours;
    EXPECT_TRUE(WaitUntil([&] {
        const ::tallyhorn::win::WindowDc screen(nullptr);
        colours.clear();
        for (int y = label3.top; y < label3.bottom; ++y)
            for (int x = label3.left; x < label3.right; ++x) colours.insert(GetPixel(screen.get(), x, y));
        return colours.size() > 1;
    }, 5000));
    EXPECT_EQ(colours, (std::set<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255)}));
}

// Each quota type: Label1's text, and whether the buttons take clicks (not while the job
// waits for the administrator, when Label3 hides too). The keys go to the first dialog that
// this test program shows, as they did when each type ran in a program of its own.
TEST(QuotaMode, AsksToConfirmAgainstTheCountdown) {
    const struct {
        const char* action;
        const char* quotaType;
        const char* label1;
        bool buttonsEnabled;
    } cases[] = {
        {"WAIT QUOTA", "WAIT ", "Waiting for the Administrator approval to go on with the Printing (30)", false},
        {"ADMIN QUOTA", "ADMIN", "Click OK within 30 seconds to allow the user to go on with the Printing,", true},
        {"USER QUOTA", "USER ", "Click OK within 30 seconds to go on with the Printing,", true},
        {"QUOTA", "QUOTA", "Comment:", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        ClientRun run;
        ASSERT_TRUE(run.Show(Job(c.action, "9"), kQuotaCaption));
        Arrangement quota = ArrangementOf(&InEachMode::quota);
        for (auto& [id, seen] : quota) {
            if (id == kIdLabel1) seen.text = c.label1;
            if (id == kIdLabel3) seen.visible = c.buttonsEnabled;
        }
        ExpectControls(run, quota);
        EXPECT_EQ(run.Control(kIdOKBtn).enabled, c.buttonsEnabled);
        EXPECT_EQ(run.Control(kIdCancelBtn).enabled, c.buttonsEnabled);
        // OK has the focus and looks like the button Enter presses; while both buttons wait,
        // the dialog itself holds the focus.
        EXPECT_EQ((GetWindowLongA(run.ControlWindow(kIdOKBtn), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0, c.buttonsEnabled);
        EXPECT_EQ(driver::FocusedWindow(run.Dialog()), c.buttonsEnabled ? run.ControlWindow(kIdOKBtn) : run.Dialog());
        EXPECT_EQ(run.LogMessages(), (std::vector<std::string>{"ActionType=QUOTA", "JobID=9",
                                                              std::string("QuotaType=") + c.quotaType}));
        if (c.buttonsEnabled) continue;
        // An arrow key finds nothing to move to; Escape, which the dialog takes, still asks.
        run.Press(VK_RIGHT);
        run.Press(VK_ESCAPE);
        ASSERT_TRUE(run.AnswerBox("The Print job will be canceled, ok to go on ?", IDNO));
        EXPECT_TRUE(WaitUntil([&] { return driver::FocusedWindow(run.Dialog()) == run.Dialog(); }, 5000));
    }
}

TEST(DialogStart, WithoutAJobToShowTheProgramClosesThroughTheCloseCheck) {
    const struct {
        const char* action;  // nullptr: no job file written
        bool withArgument;
        std::vector<std::string> log;
    } cases[] = {
        {nullptr, false, {}},
        {"comment", true, {"ActionType=comment", "JobID=1234"}},  // lower case is none of the three
    };
    for (const auto& c : cases) {
        ClientRun run;
        if (c.action) run.WriteJob(Job(c.action));
        ASSERT_TRUE(run.Launch(c.withArgument ? Quoted(run.JobFile()) : ""));
        ASSERT_TRUE(run.WaitForExit());
        EXPECT_FALSE(Exists(run.JobFile()));
        EXPECT_EQ(run.LogMessages(), c.log);
        EXPECT_EQ(run.History(), "\r\n");  // the empty comment, recorded at the close
    }
}

// The dialog's data is the user's, in the folders that the shell names for the user,
// whatever the environment that the dialog was started with says. A user without a
// history starts from the one that earlier versions shared in the program folder; the
// close writes the user's own and leaves the shared one as it was. Its lines, of mixed
// ends, unsorted and two differing only in case, reach the drop-down sorted. The day's first log
// line deletes the user's logs older than LogDays (counted to 1 January 2020: that log
// stays, the one of the day before goes).
TEST(CommentHistory, IsTheUsersOwnAsIsTheLogWhateverTheEnvironmentSays) {
    SYSTEMTIME today{};
    GetLocalTime(&today);
    const auto logDays = DayNumber(today.wYear, today.wMonth, today.wDay) - DayNumber(2020, 1, 1);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string settings = std::string(windows) + "\\Tallyhorn.ini";
    ASSERT_FALSE(Exists(settings));  // no other test leaves one behind
    ASSERT_TRUE(WriteBytes(settings, ProfileText("Tallyhorn", {"LogDays=" + std::to_string(logDays)})));
    const std::unique_ptr<const char, BOOL(WINAPI*)(LPCSTR)> removeSettings(settings.c_str(), &DeleteFileA);
    ClientRun run;
    const std::string shared = "pears\nApples\r\nbananas\rapples\r\n";
    ASSERT_TRUE(WriteBytes(run.EarlierHistoryFile(), shared));
    ASSERT_TRUE(CreateFolders(ClientRun::LogFolder()));
    const std::pair<std::string, bool> logs[] = {{"Tallyhorn_Client_01_01_2020.log", true},
                                                 {"Tallyhorn_Client_31_12_2019.log", false}};
    for (const auto& [name, kept] : logs) ASSERT_TRUE(WriteBytes(ClientRun::LogFolder() + name, ""));
    const std::string elsewhere = run.Folder() + "elsewhere";
    for (const char* name : {"APPDATA", "LOCALAPPDATA"}) SetEnvironmentVariableA(name, elsewhere.c_str());
    const bool shown = run.Show(CommentJob(), kCommentCaption);
    for (const char* name : {"APPDATA", "LOCALAPPDATA"}) SetEnvironmentVariableA(name, std::getenv(name));
    ASSERT_TRUE(shown);

    const std::vector<std::string> items = driver::ComboItems(run.ControlWindow(kIdComments_ComboBox));
    ASSERT_EQ(items.size(), 4u);
    for (const std::string& apples : {items[0], items[1]}) EXPECT_EQ(_stricmp(apples.c_str(), "apples"), 0);
    EXPECT_EQ(std::vector<std::string>(items.begin() + 2, items.end()), (std::vector<std::string>{"bananas", "pears"}));
    run.SetComment("Mine");
    PostMessageA(run.Dialog(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_EQ(run.History(), items[0] + "\r\n" + items[1] + "\r\nbananas\r\nMine\r\npears\r\n");
    EXPECT_EQ(ReadBytes(run.EarlierHistoryFile()), shared);
    EXPECT_EQ(run.LogMessages(), (std::vector<std::string>{"ActionType=COMMENT", "JobID=1234"}));
    for (const auto& [name, kept] : logs) EXPECT_EQ(Exists(ClientRun::LogFolder() + name), kept) << name;
    EXPECT_FALSE(Exists(elsewhere));
}

TEST(CommentHistory, DialogsClosingTogetherKeepEveryComment) {
    // A history long enough that the saves take a while, and that each dialog is still
    // handing it to its drop-down when it closes.
    ClientRun run;
    std::string history;
    for (int i = 0; i < 20000; ++i) history += "Earlier comment " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(run.WriteHistory(history));
    constexpr int kDialogs = 4;
    std::vector<driver::Program> programs;
    std::vector<HWND> dialogs;
    for (int i = 0; i < kDialogs; ++i) {
        const std::string job = run.Folder() + "job" + std::to_string(i) + ".txt";
        WriteBytes(job, JobFileText(CommentJob(std::to_string(i))));
        programs.push_back(driver::StartProgram(run.Folder() + "TallyhornClient.exe", Quoted(job), -1, run.Folder()));
        dialogs.push_back(driver::FindDialog(programs.back().processId, 15000));
        ASSERT_TRUE(dialogs.back());
    }
    for (int i = 0; i < kDialogs; ++i) {
        ASSERT_TRUE(driver::WaitForText(dialogs[i], kCommentCaption, 10000));
        // The last one types a case variant of an entry: found though its list is not full.
        driver::SetText(GetDlgItem(dialogs[i], kIdComments_ComboBox),
                        i + 1 < kDialogs ? "Comment of dialog " + std::to_string(i) : "EARLIER COMMENT 7");
    }
    for (HWND dialog : dialogs) PostMessageA(dialog, WM_CLOSE, 0, 0);
    for (const driver::Program& program : programs) EXPECT_TRUE(driver::WaitForExit(program, 30000));

    const std::string saved = run.History();
    for (int i = 0; i + 1 < kDialogs; ++i) {
        EXPECT_NE(("\r\n" + saved).find("\r\nComment of dialog " + std::to_string(i) + "\r\n"), std::string::npos) << i;
    }
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 20000 + kDialogs - 1);
    EXPECT_EQ(saved.find("EARLIER"), std::string::npos);
    EXPECT_FALSE(Exists(run.HistoryFile() + ".lock"));
}

TEST(DialogScaling, At144DpiEverythingIsHalfAsLargeAgain) {
    const UserRegistryValues dpi = SystemDpi(144);
    ClientRun run;
    ASSERT_TRUE(run.Show(CommentJob(), kCommentCaption));
    const RECT client = driver::ClientRectOnScreen(run.Dialog());
    EXPECT_EQ(client.right - client.left, MulDiv(369, 144, 96));
    EXPECT_EQ(client.bottom - client.top, MulDiv(219, 144, 96));
    ExpectControls(run, ArrangementOf(&InEachMode::comment), 144);
    EXPECT_EQ(Width(run.Control(kIdOKBtn)), MulDiv(75, 144, 96));
    EXPECT_EQ(Height(run.Control(kIdComments_ComboBox)), MulDiv(21, 144, 96));
    EXPECT_EQ(Width(run.Control(kIdComment_Image)), MulDiv(25, 144, 96));
    // The font grew with the layout, nearly as much (a bitmap face stops at 20 pixels):
    // the longest caption still fits inside the window.
    const driver::ControlState label4 = run.Control(kIdLabel4);
    EXPECT_GT(Width(label4), MulDiv(321, 144, 96) * 7 / 8);
    EXPECT_LE(label4.place.right, client.right - client.left);
    EXPECT_GE(Height(label4), MulDiv(13, 144, 96) * 7 / 8);
}

// Maximised is honoured; hidden, minimised (also of the older kind) and not activated
// show the designed dialog.
TEST(DialogStart, EachShowStateShowsTheDesignedDialogOrMaximised) {
    for (const int showState : {SW_SHOWMAXIMIZED, SW_HIDE, SW_SHOWMINIMIZED, SW_MINIMIZE, SW_SHOWNOACTIVATE}) {
        SCOPED_TRACE(showState);
        ClientRun run;
        ASSERT_TRUE(run.Show(CommentJob(), kCommentCaption, showState));
        EXPECT_TRUE(IsWindowVisible(run.Dialog()));
        EXPECT_FALSE(IsIconic(run.Dialog()));
        EXPECT_EQ(IsZoomed(run.Dialog()) != FALSE, showState == SW_SHOWMAXIMIZED);
        EXPECT_TRUE(showState == SW_SHOWMAXIMIZED || driver::WindowPlace(run.Dialog()).left == 322);
        EXPECT_EQ(driver::FocusedControlId(run.Dialog()), kIdComments_ComboBox);
    }
}

TEST(DialogStart, ShowStateMinimisedWithoutActivationWaitsForTheRestore) {
    ClientRun run;
    run.WriteJob(CommentJob());
    ASSERT_TRUE(run.Start(SW_SHOWMINNOACTIVE));
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(run.Dialog()) != FALSE; }, 5000));
    Sleep(500);
    // Not yet activated: the job file is still there and the caption is the designed one.
    EXPECT_TRUE(Exists(run.JobFile()));
    EXPECT_EQ(driver::TextOf(run.Dialog()), "Tallyhorn");
    ShowWindowAsync(run.Dialog(), SW_RESTORE);  // as a click on the task-bar button
    ASSERT_TRUE(run.WaitForActivation(kCommentCaption));
    EXPECT_FALSE(Exists(run.JobFile()));
    EXPECT_EQ(driver::FocusedControlId(run.Dialog()), kIdComments_ComboBox);
    EXPECT_EQ(run.LogMessages(), (std::vector<std::string>{"ActionType=COMMENT", "JobID=1234"}));
}

// Without Debug\ beside the program, no log.
TEST(DialogStart, ValuesAreReadUpTo2047CharactersAndShownWholeAndNoLogFolderMeansNoLog) {
    ClientRun run(/*withLogFolder=*/false);
    JobKeys job = With(CommentJob(), "DocumentName", std::string(3000, 'n'));
    job.erase(std::find_if(job.begin(), job.end(), [](const auto& key) { return key.first == "Pages"; }));
    ASSERT_TRUE(run.Show(job, kCommentCaption));
    EXPECT_EQ(run.Text(kIdDocumentName), "Document Name: " + std::string(2047, 'n'));
    EXPECT_EQ(run.Text(kIdPages), "Pages: ");
    EXPECT_FALSE(Exists(run.Folder() + "Debug") || Exists(ClientRun::LogFolder()));
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
