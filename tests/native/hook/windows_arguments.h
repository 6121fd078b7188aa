// A command line split into arguments by the Windows argument rules, as the C runtime
// and CommandLineToArgvW apply them to a program's own command line: what the monitor
// gets. Used by the tests and the fuzz target of the monitor's command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contract/contract.h"

namespace tallyhorn::windows_rules {

// The lead bytes of code page 932, where 0x5C can be the second byte of a character.
inline contract::LeadBytes ShiftJisLeadBytes() {
    contract::LeadBytes leadBytes;
    for (unsigned byte = 0x81; byte <= 0xFC; ++byte) leadBytes.set(byte, byte <= 0x9F || byte >= 0xE0);
    return leadBytes;
}

struct WindowsArguments {
    std::vector<std::string> arguments;  // [0] is the program
    // A "" inside a quoted argument: the C runtimes and CommandLineToArgvW disagree
    // about it, so a command line that holds one reads differently to different monitors.
    bool ambiguous = false;
};

inline WindowsArguments Parse(std::string_view line, const contract::LeadBytes& leadBytes = {}) {
    WindowsArguments parsed;
    std::size_t at = 0;
    const auto blank = [&] { return line[at] == ' ' || line[at] == '\t'; };
    // One character: a lead byte takes the byte after it, whatever that is.
    const auto copyCharacter = [&](std::string& to) {
        const bool pair = leadBytes[static_cast<unsigned char>(line[at])] && at + 1 < line.size();
        to.append(line.substr(at, pair ? 2 : 1));
        at += pair ? 2 : 1;
    };

    // The program: up to the next quote when it starts with one, else up to a blank;
    // backslashes are plain characters there.
    std::string program;
    if (!line.empty() && line[0] == '"') {
        for (at = 1; at < line.size() && line[at] != '"';) copyCharacter(program);
        if (at < line.size()) ++at;
    } else {
        while (at < line.size() && !blank()) copyCharacter(program);
    }
    parsed.arguments.push_back(program);

    for (;;) {
        while (at < line.size() && blank()) ++at;
        if (at == line.size()) return parsed;
        std::string argument;
        bool quoted = false;
        while (at < line.size()) {
            if (line[at] == '\\') {
                std::size_t backslashes = 0;
                for (; at < line.size() && line[at] == '\\'; ++at) ++backslashes;
                const bool beforeQuote = at < line.size() && line[at] == '"';
                // Backslashes count only before a quote: 2n give n and the quote stays a
                // quote, 2n+1 give n and a plain quote.
                argument.append(beforeQuote ? backslashes / 2 : backslashes, '\\');
                if (beforeQuote && backslashes % 2 == 1) {
                    argument += '"';
                    ++at;
                }
            } else if (line[at] == '"') {
                if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                    parsed.ambiguous = true;
                    argument += '"';
                    at += 2;
                } else {
                    quoted = !quoted;
                    ++at;
                }
            } else if (!quoted && blank()) {
                break;
            } else {
                copyCharacter(argument);
            }
        }
        parsed.arguments.push_back(argument);
    }
}

}  // namespace tallyhorn::windows_rules
