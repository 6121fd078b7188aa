// The settings that one run of the package is given, checked before anything is installed.
#include "setup/settings_check.h"

#include <algorithm>
#include <cstddef>

namespace tallyhorn::setup {
namespace {

constexpr std::string_view kAddressExample = "192.0.2.10";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit); }

// The value of a text of decimal digits, or more than `limit` once it passes it.
unsigned long long DigitsValue(std::string_view digits, unsigned long long limit) {
    unsigned long long value = 0;
    for (const char c : digits) {
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > limit) return limit + 1;
    }
    return value;
}

// A switch is given as 0 or 1; each says what its two values mean.
void CheckSwitch(std::string& refusal, std::string_view property, const std::string& value,
                 std::string_view meaning) {
    if (value.empty() || value == "0" || value == "1") return;
    refusal.append(property).append(" must be 0 or 1 (").append(meaning).append("). ");
}

}  // namespace

std::string ServerIpFault(std::string_view address) {
    if (std::all_of(address.begin(), address.end(), [](char c) { return c == ' ' || c == '\t' || c == '"'; }))
        return "holds no address, only blanks or quotes";
    if (std::any_of(address.begin(), address.end(), [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
        return "is a host name, and the dialogs look up no names";
    if (std::count(address.begin(), address.end(), '.') != 3) return "is no dotted IPv4 address";
    for (std::size_t start = 0; start <= address.size();) {
        const std::size_t dot = std::min(address.find('.', start), address.size());
        const std::string_view part = address.substr(start, dot - start);
        if (!AllDigits(part)) return "is no dotted IPv4 address";
        if (part.size() > 1 && part[0] == '0') return "has a part with a leading zero, which the dialogs read as octal";
        if (DigitsValue(part, 255) > 255) return "has a part above 255";
        start = dot + 1;
    }
    // inet_addr answers this one with the value that means "unreadable".
    if (address == "255.255.255.255") return "is the broadcast address, which the dialogs cannot connect to";
    return "";
}

std::string SettingsRefusal(const GivenSettings& given) {
    std::string refusal;
    const std::string wanted = std::string("give the Tallyhorn server's dotted IPv4 address, for example SERVERIP=")
                                   .append(kAddressExample);
    if (given.serverIp.empty()) {
        if (!given.serverKept)
            refusal.append("SERVERIP is missing: ").append(wanted).append(" (an upgrade keeps the address already set). ");
    } else if (const std::string fault = ServerIpFault(given.serverIp); !fault.empty()) {
        refusal.append("SERVERIP ").append(fault).append(": ").append(wanted).append(". ");
    }
    CheckSwitch(refusal, "WRITETOLOG", given.writeToLog, "the hook's log off or on");
    if (!given.logDays.empty() && (!AllDigits(given.logDays) || DigitsValue(given.logDays, 3650) > 3650))
        refusal.append("LOGDAYS must be a whole number of days from 0 to 3650 (0 keeps every log). ");
    CheckSwitch(refusal, "FAILCLOSED", given.failClosed,
                "a job without the monitor's verdict prints, or is held");
    CheckSwitch(refusal, "CLIENTLOG", given.clientLog, "the dialog's log off or on");
    if (!refusal.empty()) refusal.pop_back();
    return refusal;
}

}  // namespace tallyhorn::setup
