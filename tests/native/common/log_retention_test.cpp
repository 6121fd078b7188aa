// Which dated logs LogDays deletes: the date arithmetic and the names, for any prefix.
#include "common/log_retention.h"

#include <gtest/gtest.h>

namespace tallyhorn {
namespace {

TEST(LogRetention, OnlyLogsOfThePrefixOlderThanLogDaysExpire) {
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
        for (const std::string prefix : {"Tallyhorn_Hk_", "Tallyhorn_Client_"}) {
            const std::string kept = prefix + c.kept + ".log";
            const std::string expired = prefix + c.expired + ".log";
            EXPECT_EQ(ExpiredDatedLogs({kept, expired}, prefix, c.today, c.logDays), std::vector<std::string>{expired})
                << kept;
        }
    }
    // Names that stay whatever their date: not of the prefix given, no real date, ahead of
    // today; and every name without a positive LogDays.
    const char* const kept[] = {
        "Tallyhorn_Hk_29_02_1900.log",     "Tallyhorn_Hk_31_04_2020.log", "Tallyhorn_Hk_00_01_2020.log",
        "Tallyhorn_Hk_01_13_2020.log",     "Tallyhorn_Hk_1_01_2020.log",  "Tallyhorn_Hk_0a_01_2020.log",
        "Tallyhorn_Hk_01-01-2020.log",     "Tallyhorn_Hk_01_01_2020.txt", "Tallyhorn_Hk_01_01_2020.log.bak",
        "Tallyhorn_Client_01_01_2020.log", "tallyhorn_hk_01_01_2020.log", "xTallyhorn_Hk_01_01_2020.log",
        "Tallyhorn_Hk_09_12_2027.log"};
    for (const char* name : kept)
        EXPECT_TRUE(ExpiredDatedLogs({name}, "Tallyhorn_Hk_", {2026, 12, 8}, 1).empty()) << name;
    for (const int logDays : {0, -5})
        EXPECT_TRUE(ExpiredDatedLogs({"Tallyhorn_Hk_01_01_2020.log"}, "Tallyhorn_Hk_", {2026, 12, 8}, logDays).empty())
            << logDays;
}

}  // namespace
}  // namespace tallyhorn
