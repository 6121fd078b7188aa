// The profile number rule: which texts are numbers, and their values.
#include "common/profile_number.h"

#include <gtest/gtest.h>

#include <utility>

namespace tallyhorn {
namespace {

TEST(ProfileNumber, ReadsDecimalAndHexadecimalWholeTexts) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0}, {"00", 0}, {"+0", 0}, {"-0", 0}, {"1", 1}, {"-1", -1}, {"+17", 17}, {"000000000000012", 12},
        {"  42", 42},  // leading blanks are skipped
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"$A", 10}, {"$a", 10}, {"$0", 0}, {"x1f", 31},
        {"X1F", 31}, {"0x10", 16}, {"0X10", 16}, {"0x0", 0}, {"0x7fffffff", 2147483647},
        {" 0x10", 16}, {"  $ff", 255},                // after blanks "0x" still introduces hexadecimal
        {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN},  // 32 bits taken as signed
        {"$000000000001", 1},                         // leading zeros use no bits
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseProfileNumber(text), value) << '"' << text << '"';
}

TEST(ProfileNumber, AnythingElseIsNoNumber) {
    const char* const cases[] = {
        "",         "   ",        "true",        "false",      "yes",       "1.0",   "1 ",
        "1x",       "+",          "-",           "--1",        "+-1",       "$",     "x",
        "0x",       "0X",         "$-5",         "-$5",        "0x-5",      "$G",    "0xG1",
        "$ 5",      "0x 5",       "2147483648",  "-2147483649", "99999999999999999999",
        "$100000000", "0x1FFFFFFFF", "\t5",      "5\t",        "1,000",     "1e3",   "0xx5",
        "$$5",      "0x$5",       "\xff" "1",
    };
    for (const char* text : cases) EXPECT_EQ(ParseProfileNumber(text), std::nullopt) << '"' << text << '"';
}

}  // namespace
}  // namespace tallyhorn
