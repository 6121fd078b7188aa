// Which daily logs are older than the days kept (the LogDays setting): the rule that both
// deliverables apply to their own logs, each with its own name prefix.
#include "common/log_retention.h"

namespace tallyhorn {

namespace {

// The digits at text[at, at + count) as a number; -1 unless all of them are digits.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<LocalDateTime> DatedLogDate(std::string_view fileName, std::string_view prefix) {
    constexpr std::size_t kDateLength = 10;  // DD_MM_YYYY
    if (fileName.size() != prefix.size() + kDateLength + kLogFileExtension.size() ||
        fileName.substr(0, prefix.size()) != prefix ||
        fileName.substr(fileName.size() - kLogFileExtension.size()) != kLogFileExtension)
        return std::nullopt;
    const std::string_view date = fileName.substr(prefix.size(), kDateLength);
    if (date[2] != '_' || date[5] != '_') return std::nullopt;
    LocalDateTime found;
    found.day = Digits(date, 0, 2);
    found.month = Digits(date, 3, 2);
    found.year = Digits(date, 6, 4);
    if (found.day < 1 || found.month < 1 || found.month > 12 || found.year < 1 ||
        found.day > DaysInMonth(found.year, found.month))
        return std::nullopt;
    return found;
}

std::int64_t DayNumber(int year, int month, int day) {
    // Counted in years that begin in March, so that the leap day ends its year.
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::vector<std::string> ExpiredDatedLogs(const std::vector<std::string>& names, std::string_view prefix,
                                          const LocalDateTime& today, std::int32_t logDays) {
    std::vector<std::string> expired;
    if (logDays <= 0) return expired;
    const std::int64_t todayNumber = DayNumber(today.year, today.month, today.day);
    for (const std::string& name : names) {
        const std::optional<LocalDateTime> date = DatedLogDate(name, prefix);
        if (date && todayNumber - DayNumber(date->year, date->month, date->day) > logDays) expired.push_back(name);
    }
    return expired;
}

}  // namespace tallyhorn
