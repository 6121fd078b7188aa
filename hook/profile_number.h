// The profile number rule (common/profile_number.h) on the hook's profile reads: integers
// and Booleans from profile files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/profile_number.h"

namespace tallyhorn::hook {

class HookPlatform;

// Integer form: the value of the key, or the default when it is missing or no number.
std::int32_t ProfileInteger(HookPlatform& platform, const std::string& file, std::string_view section,
                            std::string_view key, std::int32_t defaultValue);

// Boolean form: the integer form with default 1 or 0; true when not 0.
bool ProfileBoolean(HookPlatform& platform, const std::string& file, std::string_view section,
                    std::string_view key, bool defaultValue);

}  // namespace tallyhorn::hook
