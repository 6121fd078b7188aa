// The first argument of a program's command line, as the program start reads it.
#include "client/command_line.h"

namespace tallyhorn::client {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads one argument from `at`, dropping its quotes; `at` ends after it.
std::string NextArgument(const std::string& line, std::size_t& at) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    std::string argument;
    bool quoted = false;
    for (; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            quoted = !quoted;
        } else if (IsBlank(c) && !quoted) {
            break;
        } else {
            argument += c;
        }
    }
    return argument;
}

}  // namespace

std::string FirstArgumentOf(const std::string& commandLine) {
    std::size_t at = 0;
    NextArgument(commandLine, at);  // the program name
    return NextArgument(commandLine, at);
}

}  // namespace tallyhorn::client
