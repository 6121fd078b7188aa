// libFuzzer target for what the hook parses and builds from outside text: the profile
// number rule, ProgDir normalisation and the monitor's command line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "contract/contract.h"
#include "hook/Tallyhorn_DLL.h"
#include "hook/profile_number.h"

namespace {

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace tallyhorn;

    if (const auto value = hook::ParseProfileNumber(text)) {
        // A number reads back the same from its plain decimal and its "$" form.
        Check(hook::ParseProfileNumber(std::to_string(*value)) == value, "decimal round trip");
        char hex[16];
        std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(static_cast<std::uint32_t>(*value)));
        Check(hook::ParseProfileNumber(hex) == value, "hexadecimal round trip");
    }

    const std::string progDir = hook::NormalisedProgDir(std::string(text));
    Check(progDir.empty() == text.empty(), "normalisation keeps emptiness");
    Check(progDir.empty() || progDir.back() == '\\', "normalised folder ends with a backslash");

    // Whatever the names hold, the command line keeps its six arguments: eight quotes.
    const std::size_t half = text.size() / 2;
    const std::string line = contract::MonitorCommandLine("C:\\P\\", "C:\\P\\Temp\\1_2.txt", std::string(text.substr(0, half)),
                                                          std::string(text.substr(half)), -2, 3);
    Check(std::count(line.begin(), line.end(), '"') == 8, "eight double quotes");
    Check(line.ends_with("\" -2 3"), "numbers last");
    return 0;
}
