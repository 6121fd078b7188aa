// The installation check's rules on the installed folders: who may own and write each file
// and folder, what may lie there, and the walk that applies them to every object, apart
// from reading the file system from Windows (TreeReader).
#include "tools/harness/access_audit.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "common/accounts.h"
#include "contract/contract.h"

namespace tallyhorn::harness {

namespace {

// Whether an entry bears on the object: on a file only when it applies to the file; on a
// folder also when it only passes to what is created in it. There that matters as much:
// the hook recreates its log and job folders in the installation folder, writes its log, the
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

// The allow entries that give accounts other than the system's some of `wanted` on the
// object, gathered per account.
std::vector<Writer> Writers(const ObjectSecurity& object, std::string_view windowsOwner, std::uint32_t wanted,
                            bool inheritOnlyCounts) {
    std::vector<Writer> writers;
    for (const AccessEntry& entry : *object.dacl) {
        const std::uint32_t granted = entry.mask & wanted;
        const bool bears = inheritOnlyCounts ? BearsOnObject(entry, object.isFolder)
                                             : (entry.flags & ace_flags::kInheritOnly) == 0;
        if (entry.kind != AccessEntry::Kind::Allow || granted == 0 || !bears ||
            accounts::IsSystemAccount(entry.sid, windowsOwner))
            continue;
        auto known = std::find_if(writers.begin(), writers.end(),
                                  [&](const Writer& writer) { return writer.sid == entry.sid; });
        if (known == writers.end()) known = writers.insert(writers.end(), Writer{entry.sid});
        known->rights |= granted;
        if (entry.flags & ace_flags::kInherited) known->inheritedRights |= granted;
    }
    return writers;
}

AccessVerdict Audit(const ObjectSecurity& object, std::string_view windowsOwner, std::uint32_t wanted,
                    bool inheritOnlyCounts) {
    AccessVerdict verdict;
    verdict.ownerAccepted = accounts::IsSystemAccount(object.owner, windowsOwner);
    verdict.noDacl = !object.dacl;
    if (object.dacl) verdict.writers = Writers(object, windowsOwner, wanted, inheritOnlyCounts);
    return verdict;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool SamePath(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

// icacls reads a trailing backslash before a closing quote as an escaped quote: a folder
// goes without it, a drive's root unquoted.
std::string IcaclsPath(std::string path) {
    if (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (path.back() == '\\') return path;
    return "\"" + path + "\"";
}

// A path as the reader takes it: no backslash at its end, but for a drive's root.
std::string Bare(std::string path) {
    if (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

// The folder that holds a path, with its backslash; empty for a drive's root.
std::string HolderOf(const std::string& path) {
    const std::string bare = Bare(path);
    const std::size_t slash = bare.size() > 3 ? bare.rfind('\\') : std::string::npos;
    return slash == std::string::npos ? std::string() : bare.substr(0, slash + 1);
}

std::string Joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : std::string(between)) + part;
    return text;
}

constexpr std::string_view kSystemAccounts = "SYSTEM, Administrators or TrustedInstaller";

}  // namespace

AccessVerdict AuditAccess(const ObjectSecurity& object, std::string_view windowsOwner) {
    // "Delete what is in it" means nothing on a file (Wine sets it on every writable one).
    const std::uint32_t wanted = object.isFolder ? rights::kWriteType : rights::kWriteType & ~rights::kDeleteChild;
    return Audit(object, windowsOwner, wanted, true);
}

AccessVerdict AuditHolder(const ObjectSecurity& folder, std::string_view windowsOwner) {
    return Audit(folder, windowsOwner, rights::kReplaceContents, false);
}

bool IsForeignProgram(std::string_view fileName) {
    const std::string name = Lower(fileName);
    const auto endsWith = [&](std::string_view end) {
        return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
    };
    if (!endsWith(".exe") && !endsWith(".dll")) return false;
    return name != "tallyhorn.dll" && name != "tallyhorn_harness.exe" && name != "tallyhornclient.exe" &&
           name != Lower(contract::kMonitorProgram);
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
    return {std::string(accounts::kSystemSid), std::string(accounts::kAdministratorsSid),
            std::string(accounts::kEveryoneSid), std::string(accounts::kAuthenticatedUsersSid)};
}

std::string TreeAudit::Account(const std::string& sid) {
    if (sid.empty()) return "no one";
    const std::string name = reader_.AccountName(sid);
    return name.empty() ? sid : name + " (" + sid + ")";
}

void TreeAudit::Emit(const std::string& path, const Fault& fault) {
    if (!fault.any()) return;
    ++atFault_;
    std::vector<std::string> above;
    for (const std::string& folder : fault.seeAbove)
        if (std::find(above.begin(), above.end(), folder) == above.end()) above.push_back(folder);
    std::string toDo = Joined(fault.mends, "; ");
    if (!above.empty()) toDo += (toDo.empty() ? "" : "; ") + ("see the mend of " + Joined(above, " and ") + " above");
    report_({path + ": " + Joined(fault.faults, "; "), toDo});
}

// A folder's command reaches below it: its owner command, given with /t, every owner;
// taking away an account's entries, the entries that its contents inherited from them. A
// line below says so instead of giving its own command.
void TreeAudit::AddAccess(Fault& fault, const std::string& path, const AccessVerdict& verdict,
                          const ObjectSecurity& object, bool isRoot, const Mended& above, Mended* below) {
    const std::string target = IcaclsPath(path);
    if (verdict.noDacl) {
        fault.faults.push_back("no DACL, so everyone has full control");
        fault.mends.push_back(isRoot ? "repair the package" : "run icacls " + target + " /reset");
    }
    std::vector<const Writer*> own;
    for (const Writer& writer : verdict.writers) {
        fault.faults.push_back(Account(writer.sid) + " may " + RightsText(writer.rights));
        const auto mended = above.entriesAt.find(writer.sid);
        const bool fromAbove = mended != above.entriesAt.end() && writer.rights == writer.inheritedRights;
        if (fromAbove)
            fault.seeAbove.push_back(mended->second);
        else
            own.push_back(&writer);
        if (below) below->entriesAt[writer.sid] = fromAbove ? mended->second : path;
    }
    if (!own.empty()) {
        // Entries inherited from beyond the walked folder stay until inheritance is cut.
        const bool inherited = isRoot && std::any_of(own.begin(), own.end(), [](const Writer* writer) {
                                   return writer->inheritedRights != 0;
                               });
        std::string remove = "run icacls " + target + (inherited ? " /inheritance:d" : "") + " /remove:g";
        for (const Writer* writer : own) remove += " *" + writer->sid;
        fault.mends.push_back(remove);
    }
    if (below) below->ownerAt = above.ownerAt;
    if (verdict.ownerAccepted) return;
    fault.faults.push_back("owned by " + Account(object.owner) + ", not by " + std::string(kSystemAccounts));
    if (!above.ownerAt.empty()) {
        fault.seeAbove.push_back(above.ownerAt);
        return;
    }
    // /l: links are set themselves, never what they lead to.
    fault.mends.push_back("run icacls " + target + " /setowner *" + std::string(accounts::kAdministratorsSid) +
                          (below ? " /t /c /l" : ""));
    if (below) below->ownerAt = path;
}

void TreeAudit::Visit(const std::string& path, const std::string& name, bool isRoot, const TreeRoot& root,
                      const Mended& above) {
    if (objects_ >= most_) return;
    ++objects_;
    const ObjectFacts facts = reader_.Read(path);
    Fault fault;
    if (facts.error != 0) {
        fault.faults.push_back("not checked (" + reader_.ErrorText(facts.error) + ")");
        fault.mends.push_back(facts.error == 5 ? "run the check as an administrator" : "run the check again");
        Emit(path, fault);
        return;
    }
    const bool folder = facts.security.isFolder;
    const std::string shown = folder && path.back() != '\\' ? path + "\\" : path;
    if (facts.reparsePoint) {
        fault.faults.push_back("a reparse point (a link, junction or mount point), not followed");
        fault.mends.push_back(std::string(folder ? "rmdir \"" : "del \"") + path +
                              "\", which removes the link, not what it leads to");
        Emit(shown, fault);
        return;
    }
    if (!folder && IsForeignProgram(name)) {
        fault.faults.push_back("a program that is neither Tallyhorn's nor the monitor");
        fault.mends.push_back("delete it or move it out of the installation");
    }
    const AccessVerdict verdict = AuditAccess(facts.security, windowsOwner_);
    Mended below;
    AddAccess(fault, shown, verdict, facts.security, isRoot, above, folder ? &below : nullptr);
    std::vector<std::string> names;
    if (folder) {
        std::uint32_t error = 0;
        names = reader_.List(shown, error);
        if (error != 0) {
            fault.faults.push_back("what is in it not checked (" + reader_.ErrorText(error) + ")");
            fault.mends.push_back("run the check as an administrator");
        }
    }
    Emit(shown, fault);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    for (const std::string& child : names) {
        const bool apart = std::any_of(root.walkedApart.begin(), root.walkedApart.end(),
                                       [&](const std::string& other) { return SamePath(other, shown + child + "\\"); });
        if (!apart) Visit(shown + child, child, false, root, below);
    }
}

void TreeAudit::Holder(const std::string& holder, const std::string& what) {
    ++objects_;
    const ObjectFacts facts = reader_.Read(Bare(holder));
    Fault fault;
    if (facts.error != 0) {
        fault.faults.push_back("not checked (" + reader_.ErrorText(facts.error) + ")");
        fault.mends.push_back("run the check as an administrator");
        Emit(holder + ", which holds " + what, fault);
        return;
    }
    const AccessVerdict verdict = AuditHolder(facts.security, windowsOwner_);
    const std::string target = IcaclsPath(holder);
    std::vector<std::string> commands;
    if (verdict.noDacl) fault.faults.push_back("no DACL, so everyone may delete what is in it");
    std::string deny = "icacls " + target + " /deny";
    for (const Writer& writer : verdict.writers) {
        fault.faults.push_back(Account(writer.sid) + " may " + RightsText(writer.rights));
        deny += " *" + writer.sid + ":(DC,WDAC,WO)";
    }
    if (!verdict.writers.empty()) commands.push_back(deny);
    if (!verdict.ownerAccepted) {
        fault.faults.push_back("owned by " + Account(facts.security.owner) + ", who may change its permissions");
        commands.push_back("icacls " + target + " /setowner *" + std::string(accounts::kAdministratorsSid));
    }
    const std::string moveIt = "install into a folder that only administrators may change";
    if (fault.any()) fault.mends.push_back(commands.empty() ? moveIt : "run " + Joined(commands, " and ") + ", or " + moveIt);
    Emit(holder + ", which holds " + what, fault);
}

void TreeAudit::Walk(const TreeRoot& root) {
    objects_ = 0;
    atFault_ = 0;
    const std::string what = root.name + " " + root.path + " and all in it";
    const std::string holder = HolderOf(root.path);
    if (holder.empty()) {
        report_({what + " not checked: a drive's root is no installation folder",
                 "install Tallyhorn into a folder of its own"});
        return;
    }
    Holder(holder, root.path);
    Visit(Bare(root.path), "", true, root, Mended{});
    const std::string faults = (atFault_ == 0 ? "none" : std::to_string(atFault_)) + " at fault";
    if (objects_ >= most_)
        report_({what + ": stopped after " + std::to_string(objects_) + " objects, " + faults,
                 "check that this is Tallyhorn's own folder; an installation holds far fewer"});
    else
        report_({what + ": " + std::to_string(objects_) + " objects checked, " + faults,
                 atFault_ == 0 ? "" : "mend each as its line says, or repair the package, which sets the permissions "
                                      "of what it installed again"});
}

void TreeAudit::Single(const std::string& path) {
    const ObjectFacts facts = reader_.Read(path);
    const std::string what = "permissions of " + path;
    if (facts.error != 0) {
        const bool missing = facts.error == 2 || facts.error == 3;
        report_({what + " not checked (" + reader_.ErrorText(facts.error) + ")",
                 missing ? "install it, or repair the package" : "run the check as an administrator"});
        return;
    }
    const AccessVerdict verdict = AuditAccess(facts.security, windowsOwner_);
    const std::size_t before = atFault_;
    Fault fault;
    if (facts.reparsePoint) {
        fault.faults.push_back("a reparse point (a link, junction or mount point)");
        fault.mends.push_back("put the file itself in its place");
    } else {
        AddAccess(fault, path, verdict, facts.security, true, Mended{}, nullptr);
    }
    Emit(path, fault);
    Holder(HolderOf(path), path);
    if (atFault_ == before) report_({what + " (owner " + Account(facts.security.owner) + ")", ""});
}

}  // namespace tallyhorn::harness
