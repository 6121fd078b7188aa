// The profile number rule: how both deliverables read integers and Booleans from profile
// files.
#include "common/profile_number.h"

namespace tallyhorn {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsHexPrefixAt(std::string_view text, std::size_t at) {
    return at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X');
}

std::optional<std::int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit) return std::nullopt;
    }
    const auto magnitude = static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::optional<std::int32_t> ParseProfileNumber(std::string_view text) {
    // A leading "0x" counts as "$" only when digits could follow it.
    std::size_t at = 0;
    bool hex = false;
    if (text.size() > 2 && IsHexPrefixAt(text, 0)) {
        at = 2;
        hex = true;
    } else {
        while (at < text.size() && text[at] == ' ') ++at;
        if (at < text.size() && (text[at] == '$' || text[at] == 'x' || text[at] == 'X')) {
            at += 1;
            hex = true;
        } else if (IsHexPrefixAt(text, at)) {
            at += 2;
            hex = true;
        }
    }
    const std::string_view rest = text.substr(at);
    return hex ? ParseHex(rest) : ParseDecimal(rest);
}

}  // namespace tallyhorn
