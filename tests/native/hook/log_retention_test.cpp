// Which hook logs LogDays deletes: the date arithmetic, the names, and when it runs.
#include <gtest/gtest.h>

#include "hook/Tallyhorn_DLL.h"
#include "hook/log_retention.h"
#include "tests/native/hook/fake_hook_platform.h"

namespace tallyhorn::hook {
namespace {

TEST(LogRetention, OnlyOwnLogsOlderThanLogDaysExpire) {
    // The last day kept and the first one deleted, across month, year and leap-day ends.
    const struct {
        LocalDateTime today;
        int logDays;
        const char *kept, *expired;
    } cases[] = {
        {{2026, 12, 8}, 1, "07_12_2026", "06_12_2026"},  {{2027, 1, 1}, 1, "31_12_2026", "30_12_2026"},
        {{2024, 3, 1}, 1, "29_02_2024", "28_02_2024"},   {{2023, 3, 1}, 1, "28_02_2023", "27_02_2023"},
        {{2000, 3, 1}, 1, "29_02_2000", "28_02_2000"},   {{2026, 3, 31}, 30, "01_03_2026", "28_02_2026"},
    };
    for (const auto& c : cases) {
        const std::string kept = "Tallyhorn_Hk_" + std::string(c.kept) + ".log";
        const std::string expired = "Tallyhorn_Hk_" + std::string(c.expired) + ".log";
        EXPECT_EQ(ExpiredHookLogs({kept, expired}, c.today, c.logDays), std::vector<std::string>{expired}) << kept;
    }
    // Names that stay whatever their date: not the hook's own, no real date, ahead of today;
    // and every name without a positive LogDays.
    const char* const kept[] = {
        "Tallyhorn_Hk_29_02_1900.log",     "Tallyhorn_Hk_31_04_2020.log", "Tallyhorn_Hk_00_01_2020.log",
        "Tallyhorn_Hk_01_13_2020.log",     "Tallyhorn_Hk_1_01_2020.log",  "Tallyhorn_Hk_0a_01_2020.log",
        "Tallyhorn_Hk_01-01-2020.log",     "Tallyhorn_Hk_01_01_2020.txt", "Tallyhorn_Hk_01_01_2020.log.bak",
        "Tallyhorn_Client_01_01_2020.log", "tallyhorn_hk_01_01_2020.log", "xTallyhorn_Hk_01_01_2020.log",
        "Tallyhorn_Hk_09_12_2027.log"};
    for (const char* name : kept) EXPECT_TRUE(ExpiredHookLogs({name}, {2026, 12, 8}, 1).empty()) << name;
    for (const int logDays : {0, -5})
        EXPECT_TRUE(ExpiredHookLogs({"Tallyhorn_Hk_01_01_2020.log"}, {2026, 12, 8}, logDays).empty()) << logDays;
}

// Only the line that begins a day's file prunes, and only with LogDays a positive number.
TEST(LogRetention, TheFirstLineOfADayPrunesByTheSetting) {
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
