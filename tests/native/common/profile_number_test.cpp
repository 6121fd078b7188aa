// The profile number rule: which texts are numbers, and their values.
#include "common/profile_number.h"

#include <gtest/gtest.h>

namespace tallyhorn {
namespace {

struct NumberCase {
    const char* text;
    std::optional<std::int32_t> value;
};

TEST(ProfileNumber, ReadsDecimalAndHexadecimalWholeTexts) {
    const NumberCase cases[] = {
        {"0", 0},
        {"00", 0},
        {"+0", 0},
        {"-0", 0},
        {"1", 1},
        {"-1", -1},
        {"+17", 17},
        {"5", 5},
        {"  42", 42},                 // leading blanks are skipped
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"000000000000012", 12},
        {"$A", 10},
        {"$a", 10},
        {"$0", 0},
        {"x1f", 31},
        {"X1F", 31},
        {"0x10", 16},
        {"0X10", 16},
        {"0x0", 0},
        {" 0x10", 16},                // after blanks "0x" still introduces hexadecimal
        {"  $ff", 255},
        {"$FFFFFFFF", -1},            // 32 bits taken as signed
        {"$80000000", INT32_MIN},
        {"0x7fffffff", 2147483647},
        {"$000000000001", 1},         // leading zeros use no bits
    };
    for (const auto& c : cases) EXPECT_EQ(ParseProfileNumber(c.text), c.value) << '"' << c.text << '"';
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
