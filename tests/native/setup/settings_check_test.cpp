// Which settings a run of the package refuses, and the words it gives.
#include "setup/settings_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace tallyhorn::setup {
namespace {

TEST(SettingsCheck, ServerAddressIsFourDecimalPartsOnly) {
    const struct {
        const char* fault;
        std::vector<const char*> addresses;
    } cases[] = {
        {"", {"192.0.2.10", "0.0.0.0", "255.255.255.254"}},
        {"holds no address, only blanks or quotes", {"   ", "\"\""}},
        {"is a host name, and the dialogs look up no names", {"printserver", "print.example.com", "0x7f.0.0.1"}},
        {"is no dotted IPv4 address",
         {"192.0.2", "192.0.2.10.1", "192.0.2.", ".192.0.2", "192..2.10", " 192.0.2.10", "192.0.2.10 ",
          "\"192.0.2.10\"", "192.0.2.+1", "3221225994"}},
        {"has a part with a leading zero, which the dialogs read as octal", {"192.0.2.010", "00.0.0.1"}},
        {"has a part above 255", {"192.0.2.256", "192.0.99999999999999999999.1"}},
        {"is the broadcast address, which the dialogs cannot connect to", {"255.255.255.255"}},
    };
    for (const auto& c : cases)
        for (const char* address : c.addresses) EXPECT_EQ(ServerIpFault(address), c.fault) << '"' << address << '"';
}

TEST(SettingsCheck, EachPropertyGivenWronglyIsNamedWithItsReason) {
    const std::string wanted = "give the Tallyhorn server's dotted IPv4 address, for example SERVERIP=192.0.2.10";
    const std::string missing = "SERVERIP is missing: " + wanted + " (an upgrade keeps the address already set).";
    const std::string writeToLog = "WRITETOLOG must be 0 or 1 (the hook's log off or on).";
    const std::string logDays = "LOGDAYS must be a whole number of days from 0 to 3650 (0 keeps every log).";
    const std::string failClosed =
        "FAILCLOSED must be 0 or 1 (a job without the monitor's verdict prints, or is held).";
    const std::string clientLog = "CLIENTLOG must be 0 or 1 (the dialog's log off or on).";
    // SERVERIP, WRITETOLOG, LOGDAYS, FAILCLOSED, CLIENTLOG as given; an address to keep.
    const struct {
        GivenSettings given;
        std::string refusal;
    } cases[] = {
        {{"192.0.2.10", "0", "0", "0", "0", false}, ""},     {{"192.0.2.10", "1", "3650", "1", "1", false}, ""},
        {{"192.0.2.10", "", "0030", "", "", false}, ""},     {{"", "", "", "", "", true}, ""},
        {{"", "", "", "", "", false}, missing},
        {{"  ", "", "", "", "", true}, "SERVERIP holds no address, only blanks or quotes: " + wanted + "."},
        {{"192.0.2.10", "0x1", "", "", "", false}, writeToLog}, {{"192.0.2.10", "", "3651", "", "", false}, logDays},
        {{"192.0.2.10", "", "-1", "", "", false}, logDays},     {{"192.0.2.10", "", "99999999999999999999", "", "", false}, logDays},
        {{"192.0.2.10", "", "", "2", "", false}, failClosed},   {{"192.0.2.10", "", "", "", "yes", false}, clientLog},
        {{"", "01", "x", "10", " 1", false},
         missing + " " + writeToLog + " " + logDays + " " + failClosed + " " + clientLog},
    };
    for (const auto& c : cases) {
        const GivenSettings& g = c.given;
        EXPECT_EQ(SettingsRefusal(g), c.refusal) << g.serverIp << '|' << g.writeToLog << '|' << g.logDays << '|'
                                                 << g.failClosed << '|' << g.clientLog;
    }
}

}  // namespace
}  // namespace tallyhorn::setup
