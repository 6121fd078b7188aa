// libFuzzer target for what the hook parses and builds from outside text: the profile
// number rule, the dates of log names, ProgDir normalisation, the monitor's command line read back by the
// Windows argument rules, and the log line of a name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/profile_number.h"
#include "contract/contract.h"
#include "hook/Tallyhorn_DLL.h"
#include "hook/log_retention.h"
#include "tests/native/hook/windows_arguments.h"

namespace {

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        __builtin_trap();
    }
}

// The name the monitor should read back: the given one with ' for " and blanks for control
// characters, cut to the whole characters that fit in 2047 bytes (a lead byte at the very
// end is no whole character).
std::string ReadBack(std::string name, const tallyhorn::contract::LeadBytes& leadBytes) {
    std::replace(name.begin(), name.end(), '"', '\'');
    std::replace_if(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    std::size_t whole = 0;
    for (std::size_t at = 0; at < name.size(); whole = at) {
        at += leadBytes[static_cast<unsigned char>(name[at])] ? 2 : 1;
        if (at > name.size() || at > tallyhorn::contract::kMaxNameBytes) break;
    }
    return name.substr(0, whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace tallyhorn;

    if (const auto value = ParseProfileNumber(text)) {
        // A number reads back the same from its plain decimal and its "$" form.
        Check(ParseProfileNumber(std::to_string(*value)) == value, "decimal round trip");
        char hex[16];
        std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(static_cast<std::uint32_t>(*value)));
        Check(ParseProfileNumber(hex) == value, "hexadecimal round trip");
    }

    // Only a name that the hook itself would write carries a date.
    if (const auto date = DatedLogDate(text, hook::kLogFilePrefix))
        Check(std::string(hook::kLogFilePrefix) + DailyLogDate(*date) + ".log" == text, "a log's date gives back its name");

    const std::string progDir = hook::NormalisedProgDir(std::string(text));
    Check(progDir.empty() == text.empty(), "normalisation keeps emptiness");
    Check(progDir.empty() || progDir.back() == '\\', "normalised folder ends with a backslash");

    // Whatever the names hold, the monitor reads six arguments by the Windows argument
    // rules. The first byte chooses code page 932 (bit 0) and how often the names repeat
    // (the rest), so that short inputs reach the cut too.
    if (text.empty()) return 0;
    const contract::LeadBytes leadBytes = text[0] & 1 ? windows_rules::ShiftJisLeadBytes() : contract::LeadBytes{};
    const std::string_view names = text.substr(1);
    // Names of up to about 4 KB: past the cut, and still fast.
    const std::size_t repeat = std::min<std::size_t>(1 + (static_cast<unsigned char>(text[0]) >> 1), 1 + 8192 / (names.size() + 1));
    std::string device;
    std::string document;
    for (std::size_t i = 0; i < repeat; ++i) {
        device.append(names.substr(0, names.size() / 2));
        document.append(names.substr(names.size() / 2));
    }
    const std::string line =
        contract::MonitorCommandLine("C:\\P\\", "C:\\P\\Temp\\1_2.txt", device, document, -2, 3, leadBytes);
    Check(line.size() < 32767, "the command line fits");
    const auto parsed = windows_rules::Parse(line, leadBytes);
    Check(!parsed.ambiguous, "no construct that parsers read differently");
    Check(parsed.arguments == std::vector<std::string>{"C:\\P\\Tallyhorn_Mon.exe", "C:\\P\\Temp\\1_2.txt",
                                                       ReadBack(device, leadBytes), ReadBack(document, leadBytes), "-2", "3"},
          "six arguments, the names with ' for \" and cut to whole characters within 2047 bytes");

    // A log line keeps its one line whatever the name holds; a long name is cut with "...".
    const std::string logged = hook::HookLogLine({2026, 12, 7, 1, 2, 3}, ':', -2, hook::LogName(document, leadBytes));
    Check(logged.find_first_of("\r\n") == logged.size() - 2, "one line");
    Check(std::count_if(logged.begin(), logged.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }) == 3,
          "no control character but the tab and the line end");
    const std::size_t prefix = std::string_view("01:02:03  [-2]\t").size();
    Check(document.size() <= contract::kMaxNameBytes || logged.ends_with("...\r\n"), "a cut name ends with dots");
    Check(logged.size() <= prefix + contract::kMaxNameBytes + 3 + 2, "a name in the log within 2047 bytes");
    return 0;
}
