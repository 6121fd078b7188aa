// Names and line stamps of the daily log files that both deliverables keep.
#include "common/daily_log.h"

#include <cstdio>

namespace tallyhorn {

namespace {

// Two digits for the clock and calendar fields; a four-digit year.
std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace

std::string DailyLogDate(const LocalDateTime& now) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", now.year);
    return TwoDigits(now.day) + "_" + TwoDigits(now.month) + "_" + year;
}

std::string LogTime(const LocalDateTime& now, char separator) {
    return TwoDigits(now.hour) + separator + TwoDigits(now.minute) + separator + TwoDigits(now.second);
}

char TimeSeparatorFrom(const std::string& localeSeparator) {
    return localeSeparator.size() == 1 ? localeSeparator[0] : ':';
}

}  // namespace tallyhorn
