// Which hook logs LogDays deletes: the date arithmetic, the names, and when it runs.
#include <gtest/gtest.h>

#include "hook/Tallyhorn_DLL.h"
#include "hook/log_retention.h"
#include "tests/native/hook/fake_hook_platform.h"

namespace tallyhorn::hook {
namespace {

TEST(LogRetention, OnlyOwnLogsOlderThanLogDaysExpire) {
    const struct {
        LocalDateTime today;
        int logDays;
        const char* name;
        bool expired;
    } cases[] = {
        {{2026, 12, 8}, 1, "Tallyhorn_Hk_07_12_2026.log", false}, {{2026, 12, 8}, 1, "Tallyhorn_Hk_06_12_2026.log", true},
        {{2026, 12, 8}, 1, "Tallyhorn_Hk_09_12_2027.log", false},  // ahead of today
        {{2027, 1, 1}, 1, "Tallyhorn_Hk_31_12_2026.log", false},  {{2027, 1, 1}, 1, "Tallyhorn_Hk_30_12_2026.log", true},
        {{2024, 3, 1}, 1, "Tallyhorn_Hk_29_02_2024.log", false},  {{2024, 3, 1}, 1, "Tallyhorn_Hk_28_02_2024.log", true},
        {{2023, 3, 1}, 1, "Tallyhorn_Hk_28_02_2023.log", false},  {{2023, 3, 1}, 1, "Tallyhorn_Hk_27_02_2023.log", true},
        {{2000, 3, 1}, 1, "Tallyhorn_Hk_29_02_2000.log", false},  {{2000, 3, 1}, 1, "Tallyhorn_Hk_28_02_2000.log", true},
        {{2026, 3, 31}, 30, "Tallyhorn_Hk_01_03_2026.log", false}, {{2026, 3, 31}, 30, "Tallyhorn_Hk_28_02_2026.log", true},
        {{2026, 12, 8}, 0, "Tallyhorn_Hk_01_01_2020.log", false}, {{2026, 12, 8}, -5, "Tallyhorn_Hk_01_01_2020.log", false},
    };
    // Names that stay whatever their date: not the hook's own, or no real date.
    const char* const kept[] = {
        "Tallyhorn_Hk_29_02_1900.log",     "Tallyhorn_Hk_31_04_2020.log", "Tallyhorn_Hk_00_01_2020.log",
        "Tallyhorn_Hk_01_13_2020.log",     "Tallyhorn_Hk_1_01_2020.log",  "Tallyhorn_Hk_0a_01_2020.log",
        "Tallyhorn_Hk_01-01-2020.log",     "Tallyhorn_Hk_01_01_2020.txt", "Tallyhorn_Hk_01_01_2020.log.bak",
        "Tallyhorn_Client_01_01_2020.log", "tallyhorn_hk_01_01_2020.log", "xTallyhorn_Hk_01_01_2020.log"};
    for (const char* name : kept) EXPECT_TRUE(ExpiredHookLogs({name}, {2026, 12, 8}, 1).empty()) << name;
    for (const auto& c : cases) {
        const std::vector<std::string> expired = ExpiredHookLogs({c.name}, c.today, c.logDays);
        EXPECT_EQ(expired.size(), c.expired ? 1u : 0u) << c.name << " on " << c.today.day << "." << c.today.month
                                                      << "." << c.today.year << ", LogDays " << c.logDays;
    }
}

// Only the line that begins a day's file prunes, and only with LogDays a positive number.
TEST(LogRetention, TheFirstLineOfADayPrunesByTheSetting) {
    const std::string old = "c:\\Debug\\Tallyhorn_Hk_01_12_2026.log";
    for (const auto& [setting, pruned] : {std::pair{"6", false}, {"5", true}, {"$5", true}, {"five", false}}) {
        testing::FakeHookPlatform platform;
        platform.SetSetting("LogDays", setting);
        platform.files = {old, "c:\\Debug\\Tallyhorn_Hk_07_12_2026.log"};
        Handle_Print_Job(platform, u"P", u"D", 1, 1);  // no server address: one line, into today's existing file
        EXPECT_EQ(platform.files.count(old), 1u) << setting;
        platform.files.erase("c:\\Debug\\Tallyhorn_Hk_07_12_2026.log");
        Handle_Print_Job(platform, u"P", u"D", 1, 1);
        EXPECT_EQ(platform.files.count(old), pruned ? 0u : 1u) << setting;
    }
}

}  // namespace
}  // namespace tallyhorn::hook
