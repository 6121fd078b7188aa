// The accounts that the hook and the installation check trust, by SID, and the rule on them.
#pragma once

#include <string_view>

namespace tallyhorn::accounts {

inline constexpr std::string_view kSystemSid = "S-1-5-18";
inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";
// The service that owns what Windows installs.
inline constexpr std::string_view kTrustedInstallerSid =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
inline constexpr std::string_view kEveryoneSid = "S-1-1-0";
inline constexpr std::string_view kAuthenticatedUsersSid = "S-1-5-11";

// Whether an account may own, and write, what SYSTEM runs and trusts: SYSTEM,
// Administrators, TrustedInstaller, or the owner of the system's Windows folder
// (windowsOwner). That owner is TrustedInstaller on Windows and the Wine user under Wine,
// where every file has that owner. It is the system's own installer account: changing
// the Windows folder's owner takes an administrator, so no user can make it theirs, and
// trusting it adds no account on Windows.
inline bool IsSystemAccount(std::string_view sid, std::string_view windowsOwner) {
    return !sid.empty() && (sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid ||
                            sid == windowsOwner);
}

}  // namespace tallyhorn::accounts
