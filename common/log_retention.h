// Which daily logs are older than the days kept (the LogDays setting): the rule that both
// deliverables apply to their own logs, each with its own name prefix.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/daily_log.h"

namespace tallyhorn {

inline constexpr std::string_view kLogFileExtension = ".log";

// The date that a name of exactly the form prefix + "DD_MM_YYYY.log" carries, when it is
// a real calendar date; nothing for any other name.
std::optional<LocalDateTime> DatedLogDate(std::string_view fileName, std::string_view prefix);

// Days since 1 January 1970 in the Gregorian calendar; negative before it.
std::int64_t DayNumber(int year, int month, int day);

// The logs of this prefix among the names whose date lies more than logDays days before
// today. Nothing when logDays is not positive.
std::vector<std::string> ExpiredDatedLogs(const std::vector<std::string>& names, std::string_view prefix,
                                          const LocalDateTime& today, std::int32_t logDays);

}  // namespace tallyhorn
