// The profile number rule (common/profile_number.h) on the hook's profile reads: integers
// and Booleans from profile files.
#include "hook/profile_number.h"

#include "hook/hook_platform.h"

namespace tallyhorn::hook {

std::int32_t ProfileInteger(HookPlatform& platform, const std::string& file, std::string_view section,
                            std::string_view key, std::int32_t defaultValue) {
    return ParseProfileNumber(platform.ReadProfileValue(file, section, key, std::string()))
        .value_or(defaultValue);
}

bool ProfileBoolean(HookPlatform& platform, const std::string& file, std::string_view section,
                    std::string_view key, bool defaultValue) {
    return ProfileInteger(platform, file, section, key, defaultValue ? 1 : 0) != 0;
}

}  // namespace tallyhorn::hook
