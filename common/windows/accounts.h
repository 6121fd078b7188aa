// Accounts as the hook and the installation check name them: a SID's text, the account's
// name, and the user that the running process belongs to.
#pragma once

#include <windows.h>

#include <string>

namespace tallyhorn::win {

// "S-1-5-18"; empty when the SID cannot be turned into text.
std::string SidText(PSID sid);

// "DOMAIN\name" as this computer knows the account of a SID's text; empty when it does not.
std::string AccountName(const std::string& sidText);

// The SID's text of the process's own user (not a thread's impersonation); empty on failure.
std::string ProcessUserSid();

}  // namespace tallyhorn::win
