// The accounts that the hook and the installation check trust, by SID (installation facts), and the rule on them.
#pragma once

#include <algorithm>
#include <string_view>

#include "installation_facts.h"

namespace tallyhorn::accounts {

using facts::kAdministratorsSid;
using facts::kAuthenticatedUsersSid;
using facts::kEveryoneSid;
using facts::kSystemSid;
using facts::kTrustedInstallerSid;

// Whether an account may own, and write, what SYSTEM runs and trusts: the trusted accounts
// (SYSTEM, Administrators, TrustedInstaller), or the owner of the system's Windows folder
// (windowsOwner). That owner is TrustedInstaller on Windows and the Wine user under Wine,
// where every file has that owner. It is the system's own installer account: changing
// the Windows folder's owner takes an administrator, so no user can make it theirs, and
// trusting it adds no account on Windows.
inline bool IsSystemAccount(std::string_view sid, std::string_view windowsOwner) {
    return !sid.empty() && (std::ranges::find(facts::kTrustedAccounts, sid) != facts::kTrustedAccounts.end() ||
                            sid == windowsOwner);
}

}  // namespace tallyhorn::accounts
