// The installation check's rules on the installed folders: who may own and write each file
// and folder, what may lie there, and the walk that applies them to every object, apart
// from reading the file system from Windows (TreeReader).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhorn::harness {

// The rights and ACE flags the rules look at, with their Windows values.
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
// Every right on a folder that lets someone delete or rename what is in it, or grant that.
inline constexpr std::uint32_t kReplaceContents = kDeleteChild | kWriteDac | kWriteOwner | kGenericAll;
}  // namespace rights

namespace ace_flags {
inline constexpr std::uint8_t kObjectInherit = 0x1;
inline constexpr std::uint8_t kContainerInherit = 0x2;
inline constexpr std::uint8_t kInheritOnly = 0x8;
inline constexpr std::uint8_t kInherited = 0x10;  // the entry came from the folder above
}  // namespace ace_flags

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

// An account that the DACL lets write, the write-type rights it gets, and those of them
// that come from entries inherited from the folder above.
struct Writer {
    std::string sid;
    std::uint32_t rights = 0;
    std::uint32_t inheritedRights = 0;
    bool operator==(const Writer&) const = default;
};

struct AccessVerdict {
    bool noDacl = false;
    bool ownerAccepted = false;
    std::vector<Writer> writers;  // in the order of their first entry
    bool ok() const { return !noDacl && ownerAccepted && writers.empty(); }
};

// The rule for an object in the installation, trusting the accounts that common/accounts.h
// trusts (windowsOwner: the Windows folder's owner): no NULL DACL; such an owner; no allow
// entry that gives any other account (a user or a group, whoever it is) a write-type
// right, counting on a folder also the entries that only pass to what is created in it.
AccessVerdict AuditAccess(const ObjectSecurity& object, std::string_view windowsOwner);

// The rule for the folder that holds an installed folder or file: whoever else may delete
// or rename what is in it (delete what is in it, or change permissions, take ownership
// or generic all, which give that right; or owning it) may put something else in its place.
AccessVerdict AuditHolder(const ObjectSecurity& folder, std::string_view windowsOwner);

// Whether a file name is that of a program (.exe or .dll, in any case) other than
// Tallyhorn.dll, Tallyhorn_Harness.exe, TallyhornClient.exe and the monitor.
bool IsForeignProgram(std::string_view fileName);

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

// What the walk reads of one object through a handle opened on its name, not on where a
// reparse point at that name leads.
struct ObjectFacts {
    std::uint32_t error = 0;  // a Windows error code when it could not be read; then nothing else holds
    bool reparsePoint = false;
    ObjectSecurity security;  // of the object itself, a reparse point's own
};

// The file system as the walk sees it: the check's Win32 reader, a fake in tests. A path
// names a folder with a backslash at its end.
class TreeReader {
public:
    virtual ~TreeReader() = default;
    virtual ObjectFacts Read(const std::string& path) = 0;
    // The names of what is in a folder, without "." and ".."; error 0, or why it cannot list.
    virtual std::vector<std::string> List(const std::string& folder, std::uint32_t& error) = 0;
    // "DOMAIN\name" of a SID's text; empty when it is not known.
    virtual std::string AccountName(const std::string& sid) = 0;
    // "error 5: Access is denied"
    virtual std::string ErrorText(std::uint32_t code) = 0;
};

// A folder to walk: the installation folder or the dialog's.
struct TreeRoot {
    std::string name;                     // "installation folder"
    std::string path;                     // ending with a backslash
    std::vector<std::string> walkedApart;  // folders inside it that are walked as roots of their own
};

// Applies the rules to every object of a root, and to single objects, reporting a line
// for each object at fault and, for a root, one line that sums it up.
class TreeAudit {
public:
    using Report = std::function<void(const CheckLine&)>;
    // An installation holds a few thousand objects at most; a walk that meets far more is
    // in the wrong folder, and stops there rather than run for hours.
    static constexpr std::size_t kMostObjects = 100000;
    TreeAudit(TreeReader& reader, std::string windowsOwner, Report report, std::size_t mostObjects = kMostObjects)
        : reader_(reader), windowsOwner_(std::move(windowsOwner)), report_(std::move(report)), most_(mostObjects) {}

    // The root, everything in it (never beyond a reparse point) and the folder that holds
    // it; then "<name> <path> and all in it: N objects checked, none at fault" (OK) or
    // "..., M at fault" (a fault). A drive's root is not walked: it is no installation.
    void Walk(const TreeRoot& root);

    // A file outside the walked folders, with the folder that holds it: "permissions of
    // <path> (owner <account>)" when it is sound.
    void Single(const std::string& path);

private:
    // Where the mends given for a folder's line reach below it.
    struct Mended {
        std::string ownerAt;                        // the folder whose command sets every owner below it
        std::map<std::string, std::string> entriesAt;  // SID -> the folder whose command takes its entries away
    };
    struct Fault {
        std::vector<std::string> faults;
        std::vector<std::string> mends;
        std::vector<std::string> seeAbove;  // folders above whose mends cover this object
        bool any() const { return !faults.empty(); }
    };

    void Visit(const std::string& path, const std::string& name, bool isRoot, const TreeRoot& root,
               const Mended& above);
    void Holder(const std::string& holder, const std::string& what);
    void AddAccess(Fault& fault, const std::string& path, const AccessVerdict& verdict, const ObjectSecurity& object,
                   bool isRoot, const Mended& above, Mended* below);
    std::string Account(const std::string& sid);
    void Emit(const std::string& path, const Fault& fault);

    TreeReader& reader_;
    std::string windowsOwner_;
    Report report_;
    std::size_t most_;
    std::size_t objects_ = 0;
    std::size_t atFault_ = 0;
};

}  // namespace tallyhorn::harness
