// The installation check's rule on who may write an installed file or folder and who
// may own it, apart from reading the owner and the DACL from Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallyhorn::harness {

// The rights and ACE flags the rule looks at, with their Windows values.
namespace rights {
// The object-specific part of an access mask (a file's or a folder's meaning)...
inline constexpr std::uint32_t kReadOrList = 0x1, kWriteOrAddFile = 0x2, kAppendOrAddFolder = 0x4,
                               kExecuteOrTraverse = 0x20, kDeleteChild = 0x40;
// ...its standard part...
inline constexpr std::uint32_t kDelete = 0x10000, kWriteDac = 0x40000, kWriteOwner = 0x80000;
// ...and its generic part, which each kind of object maps to its own rights.
inline constexpr std::uint32_t kGenericAll = 0x10000000, kGenericExecute = 0x20000000, kGenericWrite = 0x40000000,
                               kGenericRead = 0x80000000;
// Every right that lets someone change what the print host runs or trusts.
inline constexpr std::uint32_t kWriteType = kWriteOrAddFile | kAppendOrAddFolder | kDeleteChild | kDelete |
                                            kWriteDac | kWriteOwner | kGenericWrite | kGenericAll;
}  // namespace rights

namespace ace_flags {
inline constexpr std::uint8_t kObjectInherit = 0x1;
inline constexpr std::uint8_t kContainerInherit = 0x2;
inline constexpr std::uint8_t kInheritOnly = 0x8;
}  // namespace ace_flags

inline constexpr char kSystemSid[] = "S-1-5-18";
inline constexpr char kAdministratorsSid[] = "S-1-5-32-544";
inline constexpr char kTrustedInstallerSid[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// One entry of a DACL, its account as a SID in text form ("S-1-5-32-545").
struct AccessEntry {
    enum class Kind { Allow, Deny, Other };
    Kind kind = Kind::Allow;
    std::uint8_t flags = 0;
    std::uint32_t mask = 0;
    std::string sid;
};

// An object's owner and DACL as read; no DACL at all (a NULL DACL) lets everyone do anything.
struct ObjectSecurity {
    bool isFolder = false;
    std::string owner;
    std::optional<std::vector<AccessEntry>> dacl;
};

// An account of many users that the DACL lets write, and the write-type rights it gets.
struct BroadWriter {
    std::string sid;
    std::uint32_t rights = 0;
    bool operator==(const BroadWriter&) const = default;
};

struct AccessVerdict {
    bool noDacl = false;
    bool ownerAccepted = false;
    std::vector<BroadWriter> writers;         // in the order of their first entry
    std::vector<std::string> folderDeleters;  // who may delete the file through its folder
    bool ok() const { return !noDacl && ownerAccepted && writers.empty() && folderDeleters.empty(); }
};

// The rule: no NULL DACL; no allow entry that gives an account of many users a write-type
// right, counting on a folder also the entries that only pass to what is created in it;
// an owner that is SYSTEM, Administrators, TrustedInstaller or checkingAccount. For a file
// its folder, when given, may not let such an account delete (and so replace) what is in
// it, whatever the file's own DACL says.
AccessVerdict AuditAccess(const ObjectSecurity& object, const std::string& checkingAccount,
                          const std::optional<ObjectSecurity>& folder = std::nullopt);

// "Everyone", "Users", "Domain Users", ... for the accounts of many users; empty for others.
std::string BroadAccountName(const std::string& sid);

// The rights an account with these SIDs in its token gets on the object itself, weighed as
// Windows does (entries in order, a deny first wins), generic rights mapped to file rights.
std::uint32_t GrantedRights(const ObjectSecurity& object, const std::vector<std::string>& tokenSids);

// The SIDs in the print host's token that a DACL can name: SYSTEM and its groups.
std::vector<std::string> PrintHostSids();

// One line of the check: what was found and, for a fault, how to mend it (empty when OK).
struct CheckLine {
    std::string what;
    std::string toDo;
};

// The line for one object: "permissions of PATH (owner NAME)", or the faults, each with
// its account, and the icacls commands that mend them.
CheckLine AccessLine(const std::string& path, const AccessVerdict& verdict, const std::string& ownerSid,
                     const std::string& ownerName);

}  // namespace tallyhorn::harness
