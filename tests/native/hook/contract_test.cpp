// The job file path, its tick number and the monitor's command line.
#include "contract/contract.h"

#include <gtest/gtest.h>

namespace tallyhorn::contract {
namespace {

TEST(JobFile, TickNumberIsTheAbsoluteValueOfTheSignedTick) {
    EXPECT_EQ(TickNumber(0), "0");
    EXPECT_EQ(TickNumber(1), "1");
    EXPECT_EQ(TickNumber(123456), "123456");
    EXPECT_EQ(TickNumber(2147483647u), "2147483647");
    EXPECT_EQ(TickNumber(2147483648u), "-2147483648");  // 2^31 has no positive signed form
    EXPECT_EQ(TickNumber(2147483649u), "2147483647");
    EXPECT_EQ(TickNumber(4294967295u), "1");
    EXPECT_EQ(TickNumber(4294967196u), "100");
}

TEST(JobFile, PathJoinsFolderTickAndJobId) {
    EXPECT_EQ(JobFilePath("D:\\Jobs\\", 5000, 42), "D:\\Jobs\\Temp\\5000_42.txt");
    EXPECT_EQ(JobFilePath("D:\\Jobs\\", 4294967295u, -1), "D:\\Jobs\\Temp\\1_-1.txt");
    EXPECT_EQ(JobFilePath("c:\\", 2147483648u, INT32_MIN), "c:\\Temp\\-2147483648_-2147483648.txt");
    EXPECT_EQ(JobFilePath("", 7, 0), "Temp\\7_0.txt");
    EXPECT_EQ(ResultFilePath("c:\\Temp\\7_0.txt"), "c:\\Temp\\7_0.txt.rslt");
    EXPECT_EQ(ResponseFilePath("c:\\Temp\\7_0.txt"), "c:\\Temp\\7_0.txt.response");
}

TEST(MonitorCommand, QuotesProgramJobFileAndNamesThenGivesTheNumbers) {
    EXPECT_EQ(MonitorCommandLine("C:\\Tallyhorn\\", "C:\\Tallyhorn\\Temp\\5000_42.txt", "Office Laser",
                                 "Report 2026.docx", 42, 1),
              "\"C:\\Tallyhorn\\Tallyhorn_Mon.exe\" \"C:\\Tallyhorn\\Temp\\5000_42.txt\" \"Office Laser\" "
              "\"Report 2026.docx\" 42 1");
    EXPECT_EQ(MonitorCommandLine("", "Temp\\1_-7.txt", "", "", -7, -2147483647 - 1),
              "\"Tallyhorn_Mon.exe\" \"Temp\\1_-7.txt\" \"\" \"\" -7 -2147483648");
}

TEST(MonitorCommand, DoubleQuotesInNamesBecomeSingleQuotes) {
    // Unmended, this title would close its argument and add two arguments of its own.
    const std::string line =
        MonitorCommandLine("c:\\", "c:\\Temp\\9_3.txt", "Printer \"A\"", "x\" 99 \"y\"\"", 3, 1);
    EXPECT_EQ(line, "\"c:\\Tallyhorn_Mon.exe\" \"c:\\Temp\\9_3.txt\" \"Printer 'A'\" \"x' 99 'y''\" 3 1");
    EXPECT_EQ(CommandLineName("\"\""), "''");
    EXPECT_EQ(CommandLineName("it's"), "it's");
}

}  // namespace
}  // namespace tallyhorn::contract
