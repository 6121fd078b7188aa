// How an error that escapes a handler is shown: the program's title and the period rule.
#include <gtest/gtest.h>

#include "client/dialog_error.h"

namespace tallyhorn::client {
namespace {

TEST(GeneralErrorBox, TheCaptionIsTheFileNameUpToItsFirstDotInLowerCaseAfterTheFirst) {
    EXPECT_EQ(ProgramTitle("TallyhornClient.exe"), "Tallyhornclient");
    EXPECT_EQ(ProgramTitle("TALLY.HORN.EXE"), "Tally");
    EXPECT_EQ(ProgramTitle("x"), "x");
    EXPECT_EQ(ProgramTitle(".exe"), "");
}

TEST(GeneralErrorBox, APeriodIsAppendedWhenTheLastCharacterSortsAfterIt) {
    EXPECT_EQ(GeneralErrorText("No address specified"), "No address specified.");
    EXPECT_EQ(GeneralErrorText("Unable to write to C:\\a.txt.response"), "Unable to write to C:\\a.txt.response.");
    EXPECT_EQ(GeneralErrorText("on API 'connect'"), "on API 'connect'");  // ' sorts before .
    EXPECT_EQ(GeneralErrorText("ends with a dot."), "ends with a dot.");
    EXPECT_EQ(GeneralErrorText("slash/"), "slash/.");
    EXPECT_EQ(GeneralErrorText("minus-"), "minus-");
    EXPECT_EQ(GeneralErrorText("\xe9"), "\xe9.");  // 8-bit characters sort after it too
    EXPECT_EQ(GeneralErrorText(""), "");
}

TEST(SocketErrorTexts, AreFilledInAsTheConnectionRaisesThem) {
    EXPECT_EQ(WindowsSocketErrorText("Connection refused", 10061, "connect"),
              "Windows socket error: Connection refused (10061), on API 'connect'");
    EXPECT_EQ(AsynchronousSocketErrorText(-5), "Asynchronous socket error -5");
}

}  // namespace
}  // namespace tallyhorn::client
