// The job file path, its tick number and the monitor's command line, read back by the
// Windows argument rules.
#include "contract/contract.h"

#include <gtest/gtest.h>

#include "tests/native/hook/windows_arguments.h"

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

// What the monitor reads from the command line, by the Windows argument rules.
std::vector<std::string> MonitorArguments(const std::string& device, const std::string& document,
                                          const LeadBytes& leadBytes = {}, const std::string& progDir = "C:\\P\\") {
    const std::string line =
        MonitorCommandLine(progDir, progDir + "Temp\\1_-3.txt", device, document, -3, 7, leadBytes);
    const auto parsed = windows_rules::Parse(line, leadBytes);
    EXPECT_FALSE(parsed.ambiguous) << line;
    EXPECT_LT(line.size(), 32767u);  // the longest command line a program can be started with
    return parsed.arguments;
}

TEST(MonitorCommand, EveryNameReadsBackAsOneArgumentQuotesAsSingleQuotesBlanksCutTo2047WholeBytes) {
    const std::string n2047(2047, 'n');
    const LeadBytes shiftJis = windows_rules::ShiftJisLeadBytes();
    const std::string table = "\x95\x5C";  // a kanji whose second byte is 0x5C
    const struct {
        std::string name, readBack;
        LeadBytes leadBytes = {};
    } cases[] = {
        {"C:\\reports\\", "C:\\reports\\"},  // unmended: \" swallows the quote and shifts the rest
        {"\\\\srv\\queue\\", "\\\\srv\\queue\\"},
        {"a\\\\", "a\\\\"},
        {"a\\\\\\", "a\\\\\\"},
        {"\\", "\\"},
        {"a\\b \\\\c", "a\\b \\\\c"},  // inside a name backslashes are plain
        {"x\" 99 \"y\"\"", "x' 99 'y''"},
        {"q\"\\", "q'\\"},
        {"", ""},
        {"tab\there\r\nAction=REJECT\x1F", "tab here  Action=REJECT "},  // control characters as blanks
        {n2047, n2047},
        {n2047 + "m", n2047},
        {std::string(100000, 'n'), n2047},
        {std::string(2046, 'n') + "\\\\\\", std::string(2046, 'n') + "\\"},  // the cut ends in a backslash
        {std::string(100000, '\\'), std::string(2047, '\\')},
        {"List" + table, "List" + table, shiftJis},
        {table + "\\", table + "\\", shiftJis},
        {std::string(2045, 'n') + table, std::string(2045, 'n') + table, shiftJis},
        {std::string(2046, 'n') + table, std::string(2046, 'n'), shiftJis},  // the cut never splits a character
        {"n\x95", "n", shiftJis},                                           // a lone lead byte would take the quote
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 40));
        EXPECT_EQ(MonitorArguments(c.name, c.name, c.leadBytes),
                  (std::vector<std::string>{"C:\\P\\Tallyhorn_Mon.exe", "C:\\P\\Temp\\1_-3.txt", c.readBack, c.readBack,
                                            "-3", "7"}));
    }
    // The longest settings value as the folder, names of backslashes only: still one line.
    const std::string progDir = std::string(2047, 'p') + "\\";
    EXPECT_EQ(MonitorArguments(std::string(5000, '\\'), std::string(5000, '\\'), {}, progDir).size(), 6u);
}

}  // namespace
}  // namespace tallyhorn::contract
