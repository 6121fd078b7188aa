// Which settings a run of the package refuses, and the words it gives.
#include "setup/settings_check.h"

#include <gtest/gtest.h>

namespace tallyhorn::setup {
namespace {

TEST(SettingsCheck, ServerAddressIsFourDecimalPartsOnly) {
    const struct {
        const char* address;
        const char* fault;
    } cases[] = {
        {"192.0.2.10", ""},
        {"0.0.0.0", ""},
        {"255.255.255.254", ""},
        {"10.0.0.1", ""},
        {"   ", "holds no address, only blanks or quotes"},
        {"\"\"", "holds no address, only blanks or quotes"},
        {"printserver", "is a host name, and the dialogs look up no names"},
        {"print.example.com", "is a host name, and the dialogs look up no names"},
        {"0x7f.0.0.1", "is a host name, and the dialogs look up no names"},
        {"192.0.2", "is no dotted IPv4 address"},
        {"192.0.2.10.1", "is no dotted IPv4 address"},
        {"192.0.2.", "is no dotted IPv4 address"},
        {".192.0.2", "is no dotted IPv4 address"},
        {"192..2.10", "is no dotted IPv4 address"},
        {" 192.0.2.10", "is no dotted IPv4 address"},
        {"192.0.2.10 ", "is no dotted IPv4 address"},
        {"\"192.0.2.10\"", "is no dotted IPv4 address"},
        {"192.0.2.+1", "is no dotted IPv4 address"},
        {"3221225994", "is no dotted IPv4 address"},
        {"192.0.2.010", "has a part with a leading zero, which the dialogs read as octal"},
        {"00.0.0.1", "has a part with a leading zero, which the dialogs read as octal"},
        {"192.0.2.256", "has a part above 255"},
        {"192.0.99999999999999999999.1", "has a part above 255"},
        {"255.255.255.255", "is the broadcast address, which the dialogs cannot connect to"},
    };
    for (const auto& c : cases) EXPECT_EQ(ServerIpFault(c.address), c.fault) << '"' << c.address << '"';
}

TEST(SettingsCheck, EachPropertyGivenWronglyIsNamedWithItsReason) {
    const std::string addressWanted =
        "give the Tallyhorn server's dotted IPv4 address, for example SERVERIP=192.0.2.10";
    const std::string writeToLog = "WRITETOLOG must be 0 or 1 (the hook's log off or on).";
    const std::string logDays = "LOGDAYS must be a whole number of days from 0 to 3650 (0 keeps every log).";
    const std::string failClosed =
        "FAILCLOSED must be 0 or 1 (a job without the monitor's verdict prints, or is held).";
    const std::string clientLog = "CLIENTLOG must be 0 or 1 (the dialog's log off or on).";
    const struct {
        GivenSettings given;
        std::string refusal;
    } cases[] = {
        {{"192.0.2.10", "0", "0", "0", "0", false}, ""},
        {{"192.0.2.10", "1", "3650", "1", "1", false}, ""},
        {{"192.0.2.10", "", "0030", "", "", false}, ""},
        {{"", "", "", "", "", true}, ""},                // an upgrade or repair keeps the address
        {{"", "", "", "", "", false}, "SERVERIP is missing: " + addressWanted +
                                          " (an upgrade keeps the address already set)."},
        {{"  ", "", "", "", "", true}, "SERVERIP holds no address, only blanks or quotes: " + addressWanted + "."},
        {{"printserver", "", "", "", "", true},
         "SERVERIP is a host name, and the dialogs look up no names: " + addressWanted + "."},
        {{"192.0.2.10", "0x1", "", "", "", false}, writeToLog},
        {{"192.0.2.10", "true", "", "", "", false}, writeToLog},
        {{"192.0.2.10", "", "3651", "", "", false}, logDays},
        {{"192.0.2.10", "", "-1", "", "", false}, logDays},
        {{"192.0.2.10", "", "30 days", "", "", false}, logDays},
        {{"192.0.2.10", "", "99999999999999999999", "", "", false}, logDays},
        {{"192.0.2.10", "", "", "2", "", false}, failClosed},
        {{"192.0.2.10", "", "", "", "yes", false}, clientLog},
        {{"", "01", "x", "10", " 1", false}, "SERVERIP is missing: " + addressWanted +
                                                 " (an upgrade keeps the address already set). " + writeToLog + " " +
                                                 logDays + " " + failClosed + " " + clientLog},
    };
    for (const auto& c : cases) {
        const GivenSettings& g = c.given;
        EXPECT_EQ(SettingsRefusal(g), c.refusal) << g.serverIp << '|' << g.writeToLog << '|' << g.logDays << '|'
                                                 << g.failClosed << '|' << g.clientLog;
    }
}

}  // namespace
}  // namespace tallyhorn::setup
