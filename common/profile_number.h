// The profile number rule: how both deliverables read integers and Booleans from profile
// files.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallyhorn {

// The whole text as a number: leading blanks, then "$", "x", "X", "0x" or "0X" and up
// to 32 bits of hexadecimal digits (taken as signed), or an optional sign and decimal
// digits within the signed 32-bit range; nothing after the digits. Empty when it is not
// such a number.
std::optional<std::int32_t> ParseProfileNumber(std::string_view text);

}  // namespace tallyhorn
