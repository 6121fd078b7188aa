// The first argument of the dialog's command line: the job file, however it is quoted.
#include <gtest/gtest.h>

#include <utility>

#include "client/command_line.h"

namespace tallyhorn::client {
namespace {

TEST(CommandLine, FirstArgumentLosesItsQuotesAndEndsAtABlankOrTab) {
    const std::pair<const char*, const char*> cases[] = {
        {"client.exe C:\\Jobs\\1.txt", "C:\\Jobs\\1.txt"},
        {"\"C:\\Program Files\\client.exe\" \"C:\\My Jobs\\1.txt\" extra", "C:\\My Jobs\\1.txt"},
        {"client.exe   C:\\a.txt   C:\\b.txt", "C:\\a.txt"},
        {"client.exe C:\\My\" \"Jobs\\1.txt", "C:\\My Jobs\\1.txt"},
        {"\"client.exe\"\tC:\\t.txt\tC:\\u.txt", "C:\\t.txt"},
        {" \t client.exe \t C:\\lead.txt", "C:\\lead.txt"},
        {"client.exe", ""},
        {"client.exe   ", ""},
        {"client.exe \"\"", ""},
        {"", ""},
    };
    for (const auto& [line, first] : cases) {
        EXPECT_EQ(FirstArgumentOf(line), first) << line;
    }
}

}  // namespace
}  // namespace tallyhorn::client
