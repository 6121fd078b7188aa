// The settings that one run of the package is given, checked before anything is installed:
// the text that refuses the run, naming each property given wrongly and why.
#pragma once

#include <string>
#include <string_view>

namespace tallyhorn::setup {

// The public properties as this run was given them, on the command line or by a
// transform; empty when not given. What the machine keeps (Tallyhorn.ini, the registry)
// is taken later and not checked: an administrator may have written it by hand.
struct GivenSettings {
    std::string serverIp;     // SERVERIP
    std::string writeToLog;   // WRITETOLOG
    std::string logDays;      // LOGDAYS
    std::string failClosed;   // FAILCLOSED
    std::string clientLog;    // CLIENTLOG
    bool serverKept = false;  // installed already, or Tallyhorn.ini holds an address to keep
};

// One sentence per property given wrongly, in the order above, joined by blanks; empty
// when the run may go on. A run without SERVERIP and nothing to keep is refused too.
std::string SettingsRefusal(const GivenSettings& given);

// Why an address cannot be the one the dialogs connect to, or empty when it can: four
// decimal parts from 0 to 255 joined by dots, as inet_addr reads it and nothing else.
std::string ServerIpFault(std::string_view address);

}  // namespace tallyhorn::setup
