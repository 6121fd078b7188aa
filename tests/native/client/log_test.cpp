// The daily client log: its lines, the best-effort writer, its folders and its switch, and
// the pruning of old logs.
#include <gtest/gtest.h>

#include <map>

#include "client/client_log.h"
#include "tests/native/client/fake_platform.h"

namespace tallyhorn::client {
namespace {

TEST(ClientLogNames, ALineIsTimeTwoBlanksMessageCrLfWithEveryControlByteABlank) {
    using namespace std::string_literals;
    const struct {
        LocalDateTime time;
        char separator;
        std::string message;
        std::string line;
    } cases[] = {
        {{2026, 12, 7, 14, 3, 27}, ':', "OKBtn Click", "14:03:27  OKBtn Click\r\n"},
        {{2026, 12, 7, 9, 5, 0}, '.', "", "09.05.00  \r\n"},
        // From a hostile job file: no cut (Ctrl-Z), no second line, no lost byte.
        {{2026, 12, 7, 9, 5, 0}, ':', "JobID=1\x1a\r\n09:05:00  forged\0\t\x1f\x7f\x80"s,
         "09:05:00  JobID=1   09:05:00  forged   \x7f\x80\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClientLogLine(c.time, c.separator, c.message), c.line);
    }
}

class ClientLogTest : public ::testing::Test {
protected:
    testing::FakePlatform platform;
    ClientLog log{platform};
};

// Lines go to the day's file in the user's own folder, which the dialog makes, only while
// the program folder has Debug\ (the administrator's switch, which stays empty); without
// a folder of the user's they are lost.
TEST_F(ClientLogTest, LinesGoToTheUsersOwnFolderWhileTheProgramFolderHasDebug) {
    log.ReadTimeSeparator();
    log.Write("C:\\Apps\\", "one");
    log.Write("C:\\Apps\\", "two");
    platform.folders.erase("C:\\Apps\\Debug");
    EXPECT_NO_THROW(log.Write("C:\\Apps\\", "lost"));
    platform.folders.insert("C:\\Apps\\Debug");
    platform.localAppData.clear();
    EXPECT_NO_THROW(log.Write("C:\\Apps\\", "lost too"));
    EXPECT_EQ(platform.files, (std::map<std::string, std::string>{
                                  {"C:\\Users\\Ann\\AppData\\Local\\Tallyhorn\\Debug\\Tallyhorn_Client_07_12_2026.log",
                                   "14:03:27  one\r\n14:03:27  two\r\n"}}));
}

// The line that begins a day's file deletes the user's own dated logs older than LogDays
// of the hook's settings file, read by the profile number rule; nothing else.
TEST(ClientLogPruning, TheFirstLineOfADayPrunesTheUsersOldLogsByLogDays) {
    for (const auto& [setting, pruned] :
         {std::pair{"6", false}, {"5", true}, {"$5", true}, {"five", false}, {"", false}}) {
        testing::FakePlatform platform;
        ClientLog log{platform};
        const std::string old = platform.LogFolder() + "Tallyhorn_Client_01_12_2026.log";
        const std::string other = platform.LogFolder() + "Tallyhorn_Hk_01_12_2026.log";
        platform.files = {{old, ""}, {other, ""}, {platform.LogPath(), ""}};
        platform.profiles["Tallyhorn.ini"]["Tallyhorn"]["LogDays"] = setting;
        log.Write("C:\\Apps\\", "appended");
        EXPECT_EQ(platform.files.count(old), 1u) << setting;
        platform.files.erase(platform.LogPath());
        log.Write("C:\\Apps\\", "begins the day");
        EXPECT_EQ(platform.files.count(old), pruned ? 0u : 1u) << setting;
        EXPECT_EQ(platform.files.count(other), 1u) << setting;
    }
}

TEST_F(ClientLogTest, TheDateIsReadBeforeTheTimeSoALateLineCanLandInYesterdaysFile) {
    platform.clockReadings = {{2026, 12, 7, 23, 59, 59}, {2026, 12, 8, 0, 0, 0}};
    log.Write("C:\\Apps\\", "midnight");
    EXPECT_EQ(platform.files[platform.LogFolder() + "Tallyhorn_Client_07_12_2026.log"], "00:00:00  midnight\r\n");
}

}  // namespace
}  // namespace tallyhorn::client
