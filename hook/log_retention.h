// The hook's own daily logs: their names, and which of them the LogDays setting deletes
// (the rule of common/log_retention.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/log_retention.h"

namespace tallyhorn::hook {

inline constexpr std::string_view kLogFilePrefix = "Tallyhorn_Hk_";
using tallyhorn::kLogFileExtension;

// The hook logs among the names whose date lies more than logDays days before today.
inline std::vector<std::string> ExpiredHookLogs(const std::vector<std::string>& names, const LocalDateTime& today,
                                                std::int32_t logDays) {
    return ExpiredDatedLogs(names, kLogFilePrefix, today, logDays);
}

}  // namespace tallyhorn::hook
