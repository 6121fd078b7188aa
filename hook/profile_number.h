// The profile number rule: how the hook reads integers and Booleans from profile files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhorn::hook {

class HookPlatform;

// The whole text as a number: leading blanks, then "$", "x", "X", "0x" or "0X" and up
// to 32 bits of hexadecimal digits (taken as signed), or an optional sign and decimal
// digits within the signed 32-bit range; nothing after the digits. Empty when it is not
// such a number.
std::optional<std::int32_t> ParseProfileNumber(std::string_view text);

// Integer form: the value of the key, or the default when it is missing or no number.
std::int32_t ProfileInteger(HookPlatform& platform, const std::string& file, std::string_view section,
                            std::string_view key, std::int32_t defaultValue);

// Boolean form: the integer form with default 1 or 0; true when not 0.
bool ProfileBoolean(HookPlatform& platform, const std::string& file, std::string_view section,
                    std::string_view key, bool defaultValue);

}  // namespace tallyhorn::hook
