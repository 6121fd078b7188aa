// Daily log names and time stamps.
#include "common/daily_log.h"

#include <gtest/gtest.h>

namespace tallyhorn {
namespace {

TEST(DailyLog, DateIsDayMonthYearWithLeadingZeros) {
    EXPECT_EQ(DailyLogDate({2026, 12, 7, 14, 3, 27}), "07_12_2026");
    EXPECT_EQ(DailyLogDate({999, 1, 31, 0, 0, 0}), "31_01_0999");
}

TEST(DailyLog, TimeUsesTheSeparatorBetweenTwoDigitFields) {
    EXPECT_EQ(LogTime({2026, 12, 7, 14, 3, 27}, ':'), "14:03:27");
    EXPECT_EQ(LogTime({2026, 12, 7, 0, 0, 0}, '.'), "00.00.00");
    EXPECT_EQ(LogTime({2026, 12, 7, 23, 59, 59}, ':'), "23:59:59");
}

TEST(DailyLog, OnlyASingleCharacterSeparatorIsTaken) {
    EXPECT_EQ(TimeSeparatorFrom("."), '.');
    EXPECT_EQ(TimeSeparatorFrom(""), ':');
    EXPECT_EQ(TimeSeparatorFrom("::"), ':');
    EXPECT_EQ(TimeSeparatorFrom(" h "), ':');
}

}  // namespace
}  // namespace tallyhorn
