// The hook settings and the hook log: defaults, normalisation, paths, lines, folders and
// the pruning of old logs.
#include <gtest/gtest.h>

#include <map>

#include "hook/Tallyhorn_DLL.h"
#include "tests/native/hook/fake_hook_platform.h"

namespace tallyhorn::hook {
namespace {

using testing::FakeHookPlatform;

// The settings with their defaults (no settings file: drive C, logging on, no server),
// ProgDir with one trailing backslash unless empty, the numbers by the number rule (which
// is ProfileNumber's), a flag on for any number but 0 and at its default for no number.
TEST(HookSettings, DefaultsProgDirAndTheNumberRule) {
    const struct {
        std::map<std::string, std::string> values;
        std::string progDir;
        bool writeToLog;
        std::int32_t logDays;
        bool failClosed;
    } cases[] = {
        {{}, "c:\\", true, 0, false},
        {{{"WriteToLog", "0x0"}, {"LogDays", "$1E"}, {"FailClosed", "-1"}}, "c:\\", false, 30, true},
        {{{"WriteToLog", "yes"}, {"LogDays", "five"}, {"FailClosed", "true"}}, "c:\\", true, 0, false},
        {{{"ProgDir", "D:\\Jobs"}}, "D:\\Jobs\\", true, 0, false},
        {{{"ProgDir", "D:\\Jobs\\"}}, "D:\\Jobs\\", true, 0, false},
        {{{"ProgDir", "D:\\Jobs/"}}, "D:\\Jobs/\\", true, 0, false},
        {{{"ProgDir", ""}}, "", true, 0, false},
        {{{"ProgDir", std::string(3000, 'p')}}, std::string(2047, 'p') + "\\", true, 0, false},
    };
    for (const auto& c : cases) {
        FakeHookPlatform platform;
        for (const auto& [key, value] : c.values) platform.SetSetting(key, value);
        const HookSettings settings = Read_Hook_Settings(platform);
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        EXPECT_EQ(settings.ProgDir, c.progDir);
        EXPECT_EQ(settings.WriteToLog, c.writeToLog);
        EXPECT_EQ(settings.ServerIP, "");
        EXPECT_EQ(settings.LogDays, c.logDays);
        EXPECT_EQ(settings.FailClosed, c.failClosed);
    }
}

TEST(HookSettings, AFailureWhileReadingKeepsWhatWasReadBefore) {
    FakeHookPlatform platform;
    platform.SetSetting("ProgDir", "E:\\Hook");
    platform.SetSetting("Tallyhorn ServerIP", "10.0.0.1");
    platform.throwAt = "read Tallyhorn.ini Tallyhorn/WriteToLog";
    HookSettings settings = Read_Hook_Settings(platform);
    EXPECT_EQ(settings.ProgDir, "E:\\Hook\\");  // still normalised: its own guard
    EXPECT_EQ(settings.ServerIP, "10.0.0.1");
    EXPECT_FALSE(settings.WriteToLog);            // not read: logging stays as loaded, off

    platform.throwAt = "read Tallyhorn.ini Tallyhorn/Tallyhorn ServerIP";
    settings = Read_Hook_Settings(platform);
    EXPECT_EQ(settings.ProgDir, "E:\\Hook\\");
    EXPECT_EQ(settings.ServerIP, "");
}

TEST(HookLog, PathAndLineLayout) {
    const LocalDateTime now{2026, 12, 7, 14, 3, 27};
    EXPECT_EQ(HookLogPath("D:\\Jobs\\", now), "D:\\Jobs\\Debug\\Tallyhorn_Hk_07_12_2026.log");
    EXPECT_EQ(HookLogPath("", now), "Debug\\Tallyhorn_Hk_07_12_2026.log");
    EXPECT_EQ(HookLogLine(now, ':', 42, "Monitor created OK"), "14:03:27  [42]\tMonitor created OK\r\n");
    EXPECT_EQ(HookLogLine(now, '.', -1, ""), "14.03.27  [-1]\t\r\n");
    const std::string longName(100000, 'n');
    EXPECT_EQ(HookLogLine(now, ':', 0, longName).size(), 100000u + 16);
}

TEST(HookLog, AFolderThatLeadsElsewhereLosesTheLineButNotTheJob) {
    for (const char* folder : {"c:\\Debug\\", "c:\\Temp\\"}) {
        FakeHookPlatform platform;
        EventThrottle events;
        platform.SetSetting("Tallyhorn ServerIP", "srv");
        platform.reparsePoints.insert(folder);
        EXPECT_TRUE(Handle_Print_Job(platform, events, u"P", u"D", 1, 1));
        EXPECT_TRUE(platform.logs.empty()) << folder;
        EXPECT_EQ(platform.Count("start"), 1) << folder;
    }
}

TEST(HookLog, LoggingOffWritesNothingAndCreatesNoFolder) {
    FakeHookPlatform platform;
    Write_Hook_Log(platform, HookSettings{"D:\\Jobs\\", false, "srv"}, "one", 7);
    EXPECT_TRUE(platform.trace.empty());
    EXPECT_TRUE(platform.logs.empty());
}

TEST(HookLog, DateNamesTheFileAndASecondReadingStampsTheLine) {
    FakeHookPlatform platform;
    platform.separator = '.';
    platform.clock = {{2026, 12, 7, 23, 59, 59}, {2026, 12, 8, 0, 0, 0}, {2026, 12, 8, 0, 0, 1}};
    const HookSettings settings{"c:\\", true, "srv"};
    Write_Hook_Log(platform, settings, "late", 1);
    Write_Hook_Log(platform, settings, "early", 1);
    EXPECT_EQ(platform.Log("c:\\Debug\\Tallyhorn_Hk_07_12_2026.log"), "00.00.00  [1]\tlate\r\n");
    EXPECT_EQ(platform.Log("c:\\Debug\\Tallyhorn_Hk_08_12_2026.log"), "00.00.01  [1]\tearly\r\n");
}

// Each line is appended to the day's file; a failure anywhere in the writer, its folders
// included, costs that line only.
TEST(HookLog, EachLineIsAppendedAndAFailureCostsThatLineOnly) {
    FakeHookPlatform platform;
    const HookSettings settings{"c:\\", true, "srv"};
    for (const char* at : {"", "mkdir c:\\Debug", "append", ""}) {
        platform.throwAt = at;
        Write_Hook_Log(platform, settings, at[0] ? "lost" : "kept", 1);
    }
    EXPECT_EQ(platform.Log("c:\\Debug\\Tallyhorn_Hk_07_12_2026.log"), "14:03:27  [1]\tkept\r\n14:03:27  [1]\tkept\r\n");
}

// Only the line that begins a day's file prunes, and only with LogDays a positive number.
TEST(HookLog, TheFirstLineOfADayPrunesByLogDays) {
    const std::string old = "c:\\Debug\\Tallyhorn_Hk_01_12_2026.log";
    for (const auto& [setting, pruned] : {std::pair{"6", false}, {"5", true}, {"$5", true}, {"five", false}}) {
        testing::FakeHookPlatform platform;
        EventThrottle events;
        platform.SetSetting("LogDays", setting);
        platform.files = {old, "c:\\Debug\\Tallyhorn_Hk_07_12_2026.log"};
        Handle_Print_Job(platform, events, u"P", u"D", 1, 1);  // no server address: one line, into today's existing file
        EXPECT_EQ(platform.files.count(old), 1u) << setting;
        platform.files.erase("c:\\Debug\\Tallyhorn_Hk_07_12_2026.log");
        Handle_Print_Job(platform, events, u"P", u"D", 1, 1);
        EXPECT_EQ(platform.files.count(old), pruned ? 0u : 1u) << setting;
    }
}

}  // namespace
}  // namespace tallyhorn::hook
