// The daily client log: its file names, its lines and the best-effort writer.
#include <gtest/gtest.h>

#include "client/client_log.h"
#include "tests/native/client/fake_platform.h"

namespace tallyhorn::client {
namespace {

TEST(ClientLogNames, TheDayFileSitsInDebugUnderTheProgramFolder) {
    EXPECT_EQ(ClientLogPath("C:\\Apps\\", {2026, 12, 7, 14, 3, 27}), "C:\\Apps\\Debug\\Tallyhorn_Client_07_12_2026.log");
    EXPECT_EQ(ClientLogPath("D:\\x\\", {2027, 1, 31, 0, 0, 0}), "D:\\x\\Debug\\Tallyhorn_Client_31_01_2027.log");
}

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

TEST_F(ClientLogTest, LinesAreAppendedToTheDayFile) {
    log.ReadTimeSeparator();
    log.Write("C:\\Apps\\", "one");
    log.Write("C:\\Apps\\", "two");
    EXPECT_EQ(platform.files[platform.LogPath()], "14:03:27  one\r\n14:03:27  two\r\n");
}

TEST_F(ClientLogTest, WithoutTheDebugFolderNothingIsWrittenAndNothingEscapes) {
    platform.folders.clear();
    EXPECT_NO_THROW(log.Write("C:\\Apps\\", "lost"));
    EXPECT_TRUE(platform.files.empty());
}

TEST_F(ClientLogTest, TheSeparatorIsTheLocalesWhenItIsOneCharacter) {
    platform.timeSeparator = ".";
    log.ReadTimeSeparator();
    log.Write("C:\\Apps\\", "a");
    platform.timeSeparator = "::";
    log.ReadTimeSeparator();
    log.Write("C:\\Apps\\", "b");
    EXPECT_EQ(platform.files[platform.LogPath()], "14.03.27  a\r\n14:03:27  b\r\n");
}

TEST_F(ClientLogTest, TheDateIsReadBeforeTheTimeSoALateLineCanLandInYesterdaysFile) {
    platform.clockReadings = {{2026, 12, 7, 23, 59, 59}, {2026, 12, 8, 0, 0, 0}};
    log.Write("C:\\Apps\\", "midnight");
    EXPECT_EQ(platform.files["C:\\Apps\\Debug\\Tallyhorn_Client_07_12_2026.log"], "00:00:00  midnight\r\n");
}

}  // namespace
}  // namespace tallyhorn::client
