// Names and line stamps of the daily log files that both deliverables keep.
#pragma once

#include <string>

namespace tallyhorn {

struct LocalDateTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
};

// "DD_MM_YYYY": the date part of a daily log file's name.
std::string DailyLogDate(const LocalDateTime& now);

// "hh:nn:ss" with the given separator between the fields.
std::string LogTime(const LocalDateTime& now, char separator);

// The locale's time separator when it is one character, otherwise ':'.
char TimeSeparatorFrom(const std::string& localeSeparator);

}  // namespace tallyhorn
