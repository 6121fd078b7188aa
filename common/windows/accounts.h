// Accounts as the hook and the installation check name them: a SID's text, the account's
// name, the user that the running process belongs to, and the owner of the Windows folder.
// The SIDs themselves and the rule on whom to trust are in common/accounts.h.
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

// The SID's text of the owner of the system's Windows folder, read once per process; empty
// when it cannot be read. The system's folder, not the private one that a program unaware
// of terminal servers is given in a user's profile, which that user owns.
std::string WindowsFolderOwnerSid();

// Whether accounts::IsSystemAccount holds for this SID, with the Windows folder's owner.
bool IsSystemAccount(const std::string& sidText);

}  // namespace tallyhorn::win
