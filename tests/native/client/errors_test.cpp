// How an error that escapes a handler is shown (the title, the period rule), and that
// nothing ever escapes an event entry.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "client/dialog_error.h"
#include "client/uTallyhornClient.h"
#include "tests/native/client/fake_platform.h"

namespace tallyhorn::client {
namespace {

// The caption is the program's file name up to its first dot, in lower case after the
// first letter; a period ends the text when its last character sorts after one.
TEST(GeneralErrorBox, TheCaptionAndThePeriodRule) {
    for (const auto& [file, caption] :
         {std::pair{"TallyhornClient.exe", "Tallyhornclient"}, {"TALLY.HORN.EXE", "Tally"}, {"x", "x"}, {".exe", ""}})
        EXPECT_EQ(ProgramTitle(file), caption);
    const std::pair<const char*, const char*> texts[] = {
        {"No address specified", "No address specified."},
        {"on API 'connect'", "on API 'connect'"},  // ' sorts before .
        {"ends with a dot.", "ends with a dot."}, {"slash/", "slash/."}, {"minus-", "minus-"},
        {"\xe9", "\xe9."},  // 8-bit characters sort after it too
        {"Unable to write to C:\\a.txt.response", "Unable to write to C:\\a.txt.response."}, {"", ""}};
    for (const auto& [text, shown] : texts) EXPECT_EQ(GeneralErrorText(text), shown) << text;
}

}  // namespace
}  // namespace tallyhorn::client

namespace tallyhorn::client::testing {
namespace {

// A platform whose comment field fails in a chosen way, to reach the event entries' guard.
class FailingPlatform : public FakePlatform {
public:
    std::function<void()> fail;
    std::string CommentText() override {
        fail();
        return {};
    }
};

TEST(EventEntries, NothingEscapesAndEveryFailureIsShownWithTheTitle) {
    const std::pair<std::function<void()>, const char*> failures[] = {
        {[] { throw std::bad_alloc(); }, "Out of memory."},
        {[] { throw std::runtime_error("Disk gone"); }, "Disk gone."},
        {[] { throw 42; }, "Unexpected error."},
    };
    for (const auto& [fail, shown] : failures) {
        FailingPlatform platform;
        platform.fail = fail;
        FakeDialog dialog(platform);
        TForm1& form = dialog.form;
        EXPECT_NO_THROW(form.CloseRequested());
        ASSERT_EQ(platform.boxes.size(), 1u) << shown;
        EXPECT_EQ(platform.boxes[0].caption, "Tallyhornclient");
        EXPECT_EQ(platform.boxes[0].text, shown);
        EXPECT_EQ(platform.quitRequests, 0);
    }
}

TEST(EventEntries, TheTimeSeparatorIsReadAtStartAndOnASettingsChange) {
    FakePlatform platform;
    platform.timeSeparator = ".";
    FakeDialog dialog(platform, "C:\\Apps\\job.txt");
    TForm1& form = dialog.form;
    platform.timeSeparator = "h";
    platform.PutJobFile("C:\\Apps\\job.txt", {{"Action", "COMMENT"}});
    form.FormActivate();
    form.SettingsChanged();
    form.ButtonClicked(Control::OKBtn);
    EXPECT_EQ(platform.files[platform.LogPath()].substr(0, 22), "14.03.27  ActionType=C");
    EXPECT_NE(platform.files[platform.LogPath()].find("14h03h27  OKBtn Click\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tallyhorn::client::testing
