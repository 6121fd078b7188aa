// The installation check's rules and its walk of the installed folders, on a fake file system.
#include "tools/harness/access_audit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "common/accounts.h"

namespace tallyhorn::harness {
namespace {

using Kind = AccessEntry::Kind;
using Dacl = std::vector<AccessEntry>;
AccessEntry Allow(std::uint32_t mask, std::string_view sid, std::uint8_t flags = 0) {
    return {Kind::Allow, flags, mask, std::string(sid)};
}
const std::string kSystem(accounts::kSystemSid), kAdmins(accounts::kAdministratorsSid),
    kInstaller(accounts::kTrustedInstallerSid), kEveryone(accounts::kEveryoneSid), kUsers(facts::kUsersSid);
constexpr char kWineUser[] = "S-1-5-21-0-0-0-1000";  // the Windows folder's owner, as under Wine
constexpr char kBob[] = "S-1-5-21-1-2-3-1001";
constexpr std::uint8_t kOI = ace_flags::kObjectInherit, kCI = ace_flags::kContainerInherit,
                       kIO = ace_flags::kInheritOnly, kInh = ace_flags::kInherited;
constexpr std::uint32_t kHookNeeds = 0x63;  // the print host's in the hook's folders: list, add file, traverse, delete

TEST(AccessAudit, OwnersAndWritersTable) {
    const AccessEntry systemFull = Allow(0x1F01FF, kSystem, kOI | kCI);
    struct Case {
        const char* name;
        bool isFolder;
        std::string owner;
        Dacl dacl;
        std::vector<Writer> writers;
        bool ownerAccepted;
    };
    const std::vector<Case> cases = {
        {"the system's accounts and the Windows folder's owner", true, kInstaller,
         {systemFull, Allow(0x1F01FF, kAdmins), Allow(0x10000000, kInstaller), Allow(0x1F01FF, kWineUser),
          Allow(0x1200A9, kUsers, kOI | kCI)},
         {}, true},
        {"mode 777 under Wine", true, kWineUser, {systemFull, Allow(0x1301FF, kEveryone, kOI | kCI)},
         {{kEveryone, 0x10046, 0}}, true},
        {"each write-type right on its own", true, kSystem,
         {Allow(0x2, kBob), Allow(0x4, kBob), Allow(0x40, kBob), Allow(0x10000, kBob), Allow(0x40000, kBob),
          Allow(0x80000, kBob), Allow(0x40000000, kBob), Allow(0x10000000, kBob)},
         {{kBob, 0x500D0046, 0}}, true},
        {"write attributes and EA are no write-type rights, nor on a file delete what is in it", false, kSystem,
         {Allow(0x150, kUsers)}, {}, true},
        {"any account, inherited or not; deny and other kinds grant nothing", false, kAdmins,
         {Allow(0x2, "S-1-5-21-7-8-9-512"), Allow(0x40000, kUsers, kInh), Allow(0x2, kUsers),
          {Kind::Deny, 0, 0x1F01FF, kEveryone}, {Kind::Other, 0, 0x1F01FF, kEveryone}},
         {{"S-1-5-21-7-8-9-512", 2, 0}, {kUsers, 0x40002, 0x40000}}, true},
        {"on a folder what passes to new files counts", true, kSystem,
         {Allow(0x40000000, kUsers, kOI | kIO), Allow(0x4, "S-1-3-0", kCI | kIO)},
         {{kUsers, 0x40000000, 0}, {"S-1-3-0", 4, 0}}, true},
        {"inherit-only passing nowhere, or on a file", false, kSystem, {Allow(0x1F01FF, kEveryone, kOI | kIO)}, {},
         true},
        {"a user owns it", false, kBob, {systemFull}, {}, false},
        {"no owner", false, "", {systemFull}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AccessVerdict verdict = AuditAccess({c.isFolder, c.owner, c.dacl}, kWineUser);
        EXPECT_EQ(verdict.writers, c.writers);
        EXPECT_EQ(verdict.ownerAccepted, c.ownerAccepted);
        EXPECT_EQ(verdict.ok(), c.writers.empty() && c.ownerAccepted);
    }
    EXPECT_FALSE(AuditAccess({true, kSystem, std::nullopt}, kWineUser).ok());
    EXPECT_FALSE(AuditAccess({true, kWineUser, Dacl{}}, "").ownerAccepted);  // trusted only as that owner
}

// Whoever may delete what is in the folder that holds an installed one may replace it.
TEST(AccessAudit, TheHoldingFolderLetsNoOneReplaceWhatIsInIt) {
    struct Case {
        const char* name;
        std::string owner;
        Dacl dacl;
        std::vector<Writer> replacers;
    };
    const std::vector<Case> cases = {
        {"users add folders; creators own what they add", kInstaller,
         {Allow(0x1200AF, kUsers), Allow(0x10000000, "S-1-3-0", kOI | kCI | kIO), Allow(0x1301BF, kBob, kOI | kIO)},
         {}},
        {"delete what is in it, generic all, change permissions, take ownership", kSystem,
         {Allow(0x40, kUsers), Allow(0x10000000, kBob), Allow(0xC0000, kEveryone), Allow(0x1F01FF, kAdmins)},
         {{kUsers, 0x40, 0}, {kBob, 0x10000000, 0}, {kEveryone, 0xC0000, 0}}},
        {"owned by a user", kBob, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AccessVerdict verdict = AuditHolder({true, c.owner, c.dacl}, kWineUser);
        EXPECT_EQ(verdict.writers, c.replacers);
        EXPECT_EQ(verdict.ownerAccepted, c.owner != kBob);
    }
}

TEST(AccessAudit, ProgramsOtherThanOursAndTheMonitor) {
    for (const char* name : {"evil.dll", "Setup.EXE", "Tallyhorn.dll.exe"}) EXPECT_TRUE(IsForeignProgram(name)) << name;
    for (const char* name : {"TALLYHORN.DLL", "Tallyhorn_Harness.exe", "TallyhornClient.exe", "tallyhorn_mon.EXE",
                             "Tallyhorn.Cmt", "notes.dll.txt", "exe"})
        EXPECT_FALSE(IsForeignProgram(name)) << name;
}

// The permission sets that the package applies (the installation's facts) pass the check:
// only the trusted accounts may write; users may read and run the program folders and
// files, and do nothing in the others; the print host may make and delete files anywhere.
TEST(AccessAudit, ThePackagesPermissionSetsPassTheCheck) {
    const auto entries = [](std::string_view dacl) {
        Dacl read;
        const std::regex ace(R"(\(A;(OICI)?;(FA|0x[0-9a-f]+);;;(S-[0-9-]+)\))");
        for (std::cregex_iterator at(dacl.data(), dacl.data() + dacl.size(), ace), end; at != end; ++at)
            read.push_back(Allow((*at)[2] == "FA" ? 0x1F01FF : std::stoul((*at)[2], nullptr, 16), (*at)[3].str(),
                                 (*at)[1].matched ? kOI | kCI : 0));
        EXPECT_EQ(read.size(), static_cast<std::size_t>(std::count(dacl.begin(), dacl.end(), '('))) << dacl;
        return read;
    };
    const std::vector<std::string> user = {kUsers, kEveryone, std::string(accounts::kAuthenticatedUsersSid)};
    const std::uint32_t readAndRun = 0x1200A9;
    struct Case {
        std::string_view dacl;
        bool isFolder;
        std::uint32_t usersGet;
    };
    for (const Case& c : {Case{facts::kProgramAccessFolderDacl, true, readAndRun},
                          Case{facts::kProgramAccessFileDacl, false, readAndRun},
                          Case{facts::kAdminOnlyAccessFolderDacl, true, 0}}) {
        SCOPED_TRACE(c.dacl);
        const ObjectSecurity object{c.isFolder, std::string(facts::kOwner), entries(c.dacl)};
        EXPECT_TRUE(AuditAccess(object, kWineUser).ok());
        EXPECT_EQ(GrantedRights(object, user), c.usersGet);
        EXPECT_EQ(GrantedRights(object, PrintHostSids()) & kHookNeeds, kHookNeeds);
    }
}

// Weighed as Windows does: entries in order, a deny first wins, generic rights mapped.
TEST(AccessAudit, PrintHostRightsAreWeighedInOrder) {
    const std::pair<std::optional<Dacl>, bool> cases[] = {
        {Dacl{Allow(0x1F01FF, kSystem, kOI | kCI)}, true}, {Dacl{Allow(0x10000000, kAdmins)}, true},
        {Dacl{Allow(0x1200A9, kSystem)}, false},                   // read and execute only
        {Dacl{Allow(0x1F01FF, kSystem, kOI | kCI | kIO)}, false},  // only for what is created in it
        {Dacl{{Kind::Deny, 0, 0x2, kEveryone}, Allow(0x1F01FF, kSystem)}, false},
        {Dacl{Allow(0x1F01FF, kSystem), {Kind::Deny, 0, 0x2, kEveryone}}, true},
        {Dacl{Allow(0x1F01FF, kBob)}, false}, {std::nullopt, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ((GrantedRights({true, kSystem, c.first}, PrintHostSids()) & kHookNeeds) == kHookNeeds, c.second)
            << "row " << &c - cases;
}

// A file system of paths (folders ending in a backslash) that records what the walk read.
class FakeTree final : public TreeReader {
public:
    void Add(const std::string& path, const std::string& owner, Dacl dacl, bool reparsePoint = false) {
        const bool folder = path.back() == '\\';
        objects_[folder && path.size() > 3 ? path.substr(0, path.size() - 1) : path] = {
            0, reparsePoint, {folder, owner, std::move(dacl)}};
        const std::size_t slash = path.find_last_of('\\', path.size() - 2);
        names_[path.substr(0, slash + 1)].push_back(path.substr(slash + 1, path.size() - slash - (folder ? 2 : 1)));
    }
    void Fail(const std::string& path, std::uint32_t error) { objects_[path].error = error; }
    ObjectFacts Read(const std::string& path) override {
        read.push_back(path);
        const auto found = objects_.find(path);
        return found != objects_.end() ? found->second : ObjectFacts{2, false, {}};
    }
    std::vector<std::string> List(const std::string& folder, std::uint32_t& error) override {
        error = 0;
        return names_[folder];
    }
    std::string AccountName(const std::string& sid) override {
        return sid == kEveryone ? "Everyone" : sid == kBob ? "PC\\bob" : "";
    }
    std::string ErrorText(std::uint32_t code) override { return "error " + std::to_string(code); }
    std::vector<std::string> read;

private:
    std::map<std::string, ObjectFacts> objects_;
    std::map<std::string, std::vector<std::string>> names_;
};

struct Lines : std::vector<CheckLine> {
    TreeAudit::Report Collect() {
        return [this](const CheckLine& line) { push_back(line); };
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const CheckLine& line : *this) texts.push_back(line.what + (line.toDo.empty() ? "" : ": " + line.toDo));
        return texts;
    }
};

TEST(TreeAudit, ACleanTreeGivesOneLineAndAnotherRootIsLeftToItsOwnWalk) {
    FakeTree tree;
    const Dacl locked = {Allow(0x1F01FF, kSystem, kOI | kCI), Allow(0x1F01FF, kAdmins, kOI | kCI),
                         Allow(0x1200A9, kUsers, kOI | kCI)};
    tree.Add("C:\\Program Files\\", kInstaller, {Allow(0x10000000, "S-1-3-0", kOI | kCI | kIO), Allow(0x1200A9, kUsers)});
    for (const char* path : {"C:\\Program Files\\Tallyhorn\\", "C:\\Program Files\\Tallyhorn\\Tallyhorn.dll",
                             "C:\\Program Files\\Tallyhorn\\Tallyhorn_Mon.exe", "C:\\Program Files\\Tallyhorn\\Temp\\",
                             "C:\\Program Files\\Tallyhorn\\Client\\", "C:\\Program Files\\Tallyhorn\\Client\\x.dll"})
        tree.Add(path, kAdmins, locked);
    Lines lines;
    TreeAudit(tree, kWineUser, lines.Collect())
        .Walk({"installation folder", "C:\\Program Files\\Tallyhorn\\", {"c:\\program files\\tallyhorn\\CLIENT\\"}});
    EXPECT_EQ(lines.Texts(), std::vector<std::string>{"installation folder C:\\Program Files\\Tallyhorn\\ and all in "
                                                      "it: 5 objects checked, none at fault"});
    EXPECT_EQ(std::count(tree.read.begin(), tree.read.end(), "C:\\Program Files\\Tallyhorn\\Client"), 0);

    // No walk of a whole drive, nor past a number of objects that no installation reaches.
    lines.clear();
    TreeAudit(tree, kWineUser, lines.Collect(), 3).Walk({"installation folder", "C:\\Program Files\\Tallyhorn\\", {}});
    TreeAudit(tree, kWineUser, lines.Collect()).Walk({"installation folder", "c:\\", {}});
    EXPECT_EQ(lines.Texts(), (std::vector<std::string>{
        "installation folder C:\\Program Files\\Tallyhorn\\ and all in it: stopped after 3 objects, none at fault: "
        "check that this is Tallyhorn's own folder; an installation holds far fewer",
        "installation folder c:\\ and all in it not checked: a drive's root is no installation folder: install "
        "Tallyhorn into a folder of its own"}));
}

// One line per object at fault, each fault with its account; a mend that a folder's line
// gives for what is below it is given there once.
TEST(TreeAudit, EachObjectAtFaultHasItsLineAndMendsAreGivenOnce) {
    FakeTree tree;
    const AccessEntry system = Allow(0x1F01FF, kSystem, kOI | kCI);
    tree.Add("C:\\", kInstaller, {Allow(0x40, kUsers), Allow(0x1F01FF, kBob, kOI | kIO)});
    tree.Add("C:\\T\\", kAdmins, {system, Allow(0x1301FF, kEveryone, kOI | kCI)});
    tree.Add("C:\\T\\Temp\\", kSystem, {system, Allow(0x1301FF, kEveryone, kOI | kCI | kInh)});
    tree.Add("C:\\T\\Temp\\x.txt", kSystem, {Allow(0x1301BF, kEveryone, kInh), Allow(0x2, kBob)});
    tree.Add("C:\\T\\Temp\\locked", kSystem, {});
    tree.Fail("C:\\T\\Temp\\locked", 5);
    tree.Add("C:\\T\\evil.dll", kBob, {system});
    tree.Add("C:\\T\\Tallyhorn.Cmt", kBob, {system});
    tree.Add("C:\\T\\link\\", kBob, {}, true);
    tree.Add("C:\\T\\link\\beyond.dll", kBob, {});
    tree.Add("C:\\T\\Debug\\", kBob, {system});
    tree.Add("C:\\T\\Debug\\Tallyhorn.Cmt", kBob, {system});
    Lines lines;
    TreeAudit(tree, kWineUser, lines.Collect()).Walk({"installation folder", "C:\\T\\", {}});
    const std::string everyone = "Everyone (S-1-1-0) may write data or add files, append or add folders, ";
    const std::string bobOwns = "owned by PC\\bob (S-1-5-21-1-2-3-1001), not by SYSTEM, Administrators or "
                                "TrustedInstaller";
    EXPECT_EQ(lines.Texts(), (std::vector<std::string>{
        "C:\\, which holds C:\\T\\: S-1-5-32-545 may delete what is in it: run icacls C:\\ /deny "
        "*S-1-5-32-545:(DC,WDAC,WO), or install into a folder that only administrators may change",
        "C:\\T\\: " + everyone + "delete what is in it, delete: run icacls \"C:\\T\" /remove:g *S-1-1-0",
        "C:\\T\\Debug\\: " + bobOwns + ": run icacls \"C:\\T\\Debug\" /setowner *S-1-5-32-544 /t /c /l",
        "C:\\T\\Debug\\Tallyhorn.Cmt: " + bobOwns + ": see the mend of C:\\T\\Debug\\ above",
        "C:\\T\\evil.dll: a program that is neither Tallyhorn's nor the monitor; " + bobOwns +
            ": delete it or move it out of the installation; run icacls \"C:\\T\\evil.dll\" /setowner *S-1-5-32-544",
        "C:\\T\\link\\: a reparse point (a link, junction or mount point), not followed: rmdir \"C:\\T\\link\", "
        "which removes the link, not what it leads to",
        "C:\\T\\Tallyhorn.Cmt: " + bobOwns + ": run icacls \"C:\\T\\Tallyhorn.Cmt\" /setowner *S-1-5-32-544",
        "C:\\T\\Temp\\: " + everyone + "delete what is in it, delete: see the mend of C:\\T\\ above",
        "C:\\T\\Temp\\locked: not checked (error 5): run the check as an administrator",
        "C:\\T\\Temp\\x.txt: " + everyone + "delete; PC\\bob (S-1-5-21-1-2-3-1001) may write data or add files: run "
        "icacls \"C:\\T\\Temp\\x.txt\" /remove:g *S-1-5-21-1-2-3-1001; see the mend of C:\\T\\ above",
        "installation folder C:\\T\\ and all in it: 10 objects checked, 10 at fault: mend each as its line says, or "
        "repair the package, which sets the permissions of what it installed again"}));
    EXPECT_EQ(std::count(tree.read.begin(), tree.read.end(), "C:\\T\\link\\beyond.dll"), 0);

    // Inherited from beyond the walked folder: cut inheritance there. A single file's holder.
    lines.clear();
    tree.Add("D:\\", kSystem, {});
    tree.Add("D:\\X\\", kSystem, {Allow(0x10040, kEveryone, kInh)});
    tree.Add("D:\\X\\Tallyhorn.dll", kWineUser, {});
    TreeAudit audit(tree, kWineUser, lines.Collect());
    audit.Walk({"dialog folder", "D:\\X\\", {}});
    audit.Single("D:\\X\\Tallyhorn.dll");
    EXPECT_EQ(lines[0].toDo, "run icacls \"D:\\X\" /inheritance:d /remove:g *S-1-1-0");
    EXPECT_EQ(lines.back().what, "D:\\X\\, which holds D:\\X\\Tallyhorn.dll: Everyone (S-1-1-0) may delete what is in it");
    tree.Add("D:\\X\\", kSystem, {});
    lines.clear();
    audit.Single("D:\\X\\Tallyhorn.dll");
    EXPECT_EQ(lines.Texts(), std::vector<std::string>{"permissions of D:\\X\\Tallyhorn.dll (owner S-1-5-21-0-0-0-1000)"});
}

}  // namespace
}  // namespace tallyhorn::harness
