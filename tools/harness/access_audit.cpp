// The installation check's rule on who may write an installed file or folder and who
// may own it, apart from reading the owner and the DACL from Windows.
#include "tools/harness/access_audit.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace tallyhorn::harness {

namespace {

struct NamedSid {
    std::string_view sid;
    std::string_view name;
};
constexpr std::array<NamedSid, 6> kBroadAccounts = {{{"S-1-1-0", "Everyone"},
                                                     {"S-1-5-11", "Authenticated Users"},
                                                     {"S-1-5-32-545", "Users"},
                                                     {"S-1-5-4", "INTERACTIVE"},
                                                     {"S-1-5-32-546", "Guests"},
                                                     {"S-1-5-7", "ANONYMOUS LOGON"}}};

// Domain Users of any domain: S-1-5-21-<three numbers>-513.
bool IsDomainUsers(std::string_view sid) {
    constexpr std::string_view prefix = "S-1-5-21-";
    constexpr std::string_view suffix = "-513";
    if (sid.substr(0, prefix.size()) != prefix || sid.size() < prefix.size() + suffix.size() ||
        sid.substr(sid.size() - suffix.size()) != suffix)
        return false;
    const std::string_view domain = sid.substr(prefix.size(), sid.size() - prefix.size() - suffix.size());
    if (domain.empty() || domain.find_first_not_of("0123456789-") != std::string_view::npos) return false;
    return std::count(domain.begin(), domain.end(), '-') == 2 && domain.front() != '-' && domain.back() != '-' &&
           domain.find("--") == std::string_view::npos;
}

// Whether an entry bears on the object: on a file only when it applies to the file; on a
// folder also when it only passes to what is created in it. There that matters as much:
// the hook recreates Debug\ and Temp\ in the installation folder, writes its log, the
// monitor its job and result files, and an administrator copies the monitor in, and each
// of them gets such an entry.
bool BearsOnObject(const AccessEntry& entry, bool isFolder) {
    if ((entry.flags & ace_flags::kInheritOnly) == 0) return true;
    return isFolder && (entry.flags & (ace_flags::kObjectInherit | ace_flags::kContainerInherit)) != 0;
}

// Generic rights as they map to a file's or folder's own.
std::uint32_t MappedRights(std::uint32_t mask) {
    std::uint32_t mapped = mask & ~(rights::kGenericAll | rights::kGenericExecute | rights::kGenericWrite |
                                    rights::kGenericRead);
    if (mask & rights::kGenericRead) mapped |= 0x120089;     // FILE_GENERIC_READ
    if (mask & rights::kGenericWrite) mapped |= 0x120116;    // FILE_GENERIC_WRITE
    if (mask & rights::kGenericExecute) mapped |= 0x1200A0;  // FILE_GENERIC_EXECUTE
    if (mask & rights::kGenericAll) mapped |= 0x1F01FF;      // FILE_ALL_ACCESS
    return mapped;
}

std::string RightsText(std::uint32_t mask) {
    constexpr std::array<std::pair<std::uint32_t, std::string_view>, 8> kNames = {{
        {rights::kWriteOrAddFile, "write data or add files"},
        {rights::kAppendOrAddFolder, "append or add folders"},
        {rights::kDeleteChild, "delete what is in it"},
        {rights::kDelete, "delete"},
        {rights::kWriteDac, "change permissions"},
        {rights::kWriteOwner, "take ownership"},
        {rights::kGenericWrite, "generic write"},
        {rights::kGenericAll, "generic all"},
    }};
    std::string text;
    for (const auto& [bit, name] : kNames)
        if (mask & bit) text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

// icacls reads a trailing backslash before a closing quote as an escaped quote: a folder
// goes without it, a drive's root unquoted.
std::string IcaclsPath(std::string path) {
    if (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (path.back() == '\\') return path;
    return "\"" + path + "\"";
}

}  // namespace

std::string BroadAccountName(const std::string& sid) {
    for (const NamedSid& account : kBroadAccounts)
        if (account.sid == sid) return std::string(account.name);
    return IsDomainUsers(sid) ? "Domain Users" : std::string();
}

AccessVerdict AuditAccess(const ObjectSecurity& object, const std::string& checkingAccount,
                          const std::optional<ObjectSecurity>& folder) {
    AccessVerdict verdict;
    const std::string& owner = object.owner;
    verdict.ownerAccepted = !owner.empty() && (owner == kSystemSid || owner == kAdministratorsSid ||
                                               owner == kTrustedInstallerSid || owner == checkingAccount);
    if (folder && !folder->dacl) verdict.folderDeleters.push_back("S-1-1-0");
    if (folder && folder->dacl)
        for (const AccessEntry& entry : *folder->dacl)
            if (entry.kind == AccessEntry::Kind::Allow && (entry.flags & ace_flags::kInheritOnly) == 0 &&
                (entry.mask & (rights::kDeleteChild | rights::kGenericAll)) != 0 &&
                !BroadAccountName(entry.sid).empty() &&
                std::find(verdict.folderDeleters.begin(), verdict.folderDeleters.end(), entry.sid) ==
                    verdict.folderDeleters.end())
                verdict.folderDeleters.push_back(entry.sid);
    if (!object.dacl) {
        verdict.noDacl = true;
        return verdict;
    }
    for (const AccessEntry& entry : *object.dacl) {
        const std::uint32_t granted = entry.mask & rights::kWriteType;
        if (entry.kind != AccessEntry::Kind::Allow || granted == 0 || !BearsOnObject(entry, object.isFolder) ||
            BroadAccountName(entry.sid).empty())
            continue;
        const auto known = std::find_if(verdict.writers.begin(), verdict.writers.end(),
                                        [&](const BroadWriter& writer) { return writer.sid == entry.sid; });
        if (known != verdict.writers.end())
            known->rights |= granted;
        else
            verdict.writers.push_back({entry.sid, granted});
    }
    return verdict;
}

std::uint32_t GrantedRights(const ObjectSecurity& object, const std::vector<std::string>& tokenSids) {
    if (!object.dacl) return MappedRights(rights::kGenericAll);
    std::uint32_t granted = 0;
    std::uint32_t denied = 0;
    for (const AccessEntry& entry : *object.dacl) {
        if ((entry.flags & ace_flags::kInheritOnly) != 0 || entry.kind == AccessEntry::Kind::Other ||
            std::find(tokenSids.begin(), tokenSids.end(), entry.sid) == tokenSids.end())
            continue;
        const std::uint32_t mask = MappedRights(entry.mask);
        if (entry.kind == AccessEntry::Kind::Deny)
            denied |= mask & ~granted;
        else
            granted |= mask & ~denied;
    }
    return granted;
}

std::vector<std::string> PrintHostSids() {
    // SYSTEM's token holds Administrators, Everyone and Authenticated Users too.
    return {kSystemSid, kAdministratorsSid, "S-1-1-0", "S-1-5-11"};
}

CheckLine AccessLine(const std::string& path, const AccessVerdict& verdict, const std::string& ownerSid,
                     const std::string& ownerName) {
    const std::string what = "permissions of " + path;
    const std::string owner = ownerName.empty() ? ownerSid : ownerName + " (" + ownerSid + ")";
    if (verdict.ok()) return {what + " (owner " + owner + ")", {}};
    std::vector<std::string> faults;
    std::vector<std::string> mends;
    if (verdict.noDacl) {
        faults.push_back("no DACL, so everyone has full control");
    } else if (!verdict.writers.empty()) {
        std::string remove = "icacls " + IcaclsPath(path) + " /inheritance:d /remove:g";
        for (const BroadWriter& writer : verdict.writers) {
            faults.push_back(BroadAccountName(writer.sid) + " (" + writer.sid + ") may " + RightsText(writer.rights));
            remove += " *" + writer.sid;
        }
        mends.push_back(remove);
    }
    if (!verdict.folderDeleters.empty()) {
        const std::string folder = path.substr(0, path.rfind('\\') + 1);
        std::string deny = "icacls " + IcaclsPath(folder) + " /deny";
        for (const std::string& sid : verdict.folderDeleters) {
            faults.push_back(BroadAccountName(sid) + " (" + sid + ") may delete or replace it through its folder");
            deny += " *" + sid + ":(DC)";
        }
        mends.push_back(deny);
    }
    if (!verdict.ownerAccepted) {
        faults.push_back("owned by " + (ownerSid.empty() ? std::string("no one") : owner) +
                         ", not by SYSTEM, Administrators, TrustedInstaller or this account");
        mends.push_back("icacls " + IcaclsPath(path) + " /setowner *" + kAdministratorsSid);
    }
    std::string faultText;
    for (const std::string& fault : faults) faultText += (faultText.empty() ? "" : "; ") + fault;
    std::string toDo = "repair the package";
    for (std::size_t i = 0; i < mends.size(); ++i) toDo += (i == 0 ? ", or run " : " and ") + mends[i];
    return {what + ": " + faultText, toDo};
}

}  // namespace tallyhorn::harness
