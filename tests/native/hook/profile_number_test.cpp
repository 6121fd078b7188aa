// The profile number rule through the hook's profile reads.
#include "hook/profile_number.h"

#include <gtest/gtest.h>

#include "tests/native/hook/fake_hook_platform.h"

namespace tallyhorn::hook {
namespace {

TEST(ProfileNumber, IntegerFormFallsBackToItsDefault) {
    testing::FakeHookPlatform platform;
    platform.profiles["r.rslt"]["PrintJob/Result"] = "0x20";
    platform.profiles["r.rslt"]["PrintJob/Empty"] = "";
    platform.profiles["r.rslt"]["PrintJob/Word"] = "false";
    EXPECT_EQ(ProfileInteger(platform, "r.rslt", "PrintJob", "Result", 7), 32);
    EXPECT_EQ(ProfileInteger(platform, "r.rslt", "PrintJob", "Empty", 7), 7);
    EXPECT_EQ(ProfileInteger(platform, "r.rslt", "PrintJob", "Word", -7), -7);
    EXPECT_EQ(ProfileInteger(platform, "r.rslt", "PrintJob", "Missing", 7), 7);
    EXPECT_EQ(ProfileInteger(platform, "none.rslt", "PrintJob", "Result", 3), 3);
}

TEST(ProfileNumber, BooleanFormIsTrueForEveryNumberButZero) {
    testing::FakeHookPlatform platform;
    const auto read = [&](const char* value, bool defaultValue) {
        platform.profiles["r.rslt"]["PrintJob/Result"] = value;
        return ProfileBoolean(platform, "r.rslt", "PrintJob", "Result", defaultValue);
    };
    for (const char* value : {"1", "-1", "5", "$A", "0x10", "$FFFFFFFF"}) EXPECT_TRUE(read(value, false)) << value;
    for (const char* value : {"0", "00", "+0", "$0", "0x0"}) EXPECT_FALSE(read(value, true)) << value;
    for (const char* value : {"true", "false", "yes", "1.0", ""}) {
        EXPECT_TRUE(read(value, true)) << value;
        EXPECT_FALSE(read(value, false)) << value;
    }
    EXPECT_TRUE(ProfileBoolean(platform, "r.rslt", "PrintJob", "Missing", true));
    EXPECT_FALSE(ProfileBoolean(platform, "r.rslt", "PrintJob", "Missing", false));
}

}  // namespace
}  // namespace tallyhorn::hook
