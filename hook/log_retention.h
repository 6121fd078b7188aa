// Which of the hook's own daily logs are older than the days it keeps (the LogDays setting).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/daily_log.h"

namespace tallyhorn::hook {

inline constexpr std::string_view kLogFilePrefix = "Tallyhorn_Hk_";
inline constexpr std::string_view kLogFileExtension = ".log";

// The date that a name of exactly the form "Tallyhorn_Hk_DD_MM_YYYY.log" carries, when it
// is a real calendar date; nothing for any other name.
std::optional<LocalDateTime> HookLogDate(std::string_view fileName);

// Days since 1 January 1970 in the Gregorian calendar; negative before it.
std::int64_t DayNumber(int year, int month, int day);

// The hook logs among the names whose date lies more than logDays days before today.
// Nothing when logDays is not positive.
std::vector<std::string> ExpiredHookLogs(const std::vector<std::string>& names, const LocalDateTime& today,
                                         std::int32_t logDays);

}  // namespace tallyhorn::hook
