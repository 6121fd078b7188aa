// The installation check's permission rule: which entries and owners fail an object.
#include "tools/harness/access_audit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallyhorn::harness {
namespace {

using Kind = AccessEntry::Kind;
using Dacl = std::vector<AccessEntry>;
AccessEntry Allow(std::uint32_t mask, const char* sid, std::uint8_t flags = 0) {
    return {Kind::Allow, flags, mask, sid};
}
constexpr char kMe[] = "S-1-5-21-1-2-3-1001";
constexpr std::uint8_t kOI = ace_flags::kObjectInherit, kCI = ace_flags::kContainerInherit,
                       kIO = ace_flags::kInheritOnly;

struct AuditCase {
    const char* name;
    bool isFolder;
    std::string owner;
    std::vector<AccessEntry> dacl;
    std::vector<BroadWriter> writers;
    bool ownerAccepted;
};

TEST(AccessAudit, EntriesAndOwnersTable) {
    const AccessEntry systemFull = Allow(0x1F01FF, kSystemSid, kOI | kCI);
    const std::vector<AuditCase> cases = {
        {"read and execute for every group", true, kAdministratorsSid,
         {systemFull, Allow(0x1200A9, "S-1-1-0", kOI | kCI), Allow(0x1200A9, "S-1-5-32-545")}, {}, true},
        {"mode 777 under Wine", true, kMe, {systemFull, Allow(0x1301FF, "S-1-1-0", kOI | kCI)},
         {{"S-1-1-0", 0x10046}}, true},
        {"each write-type right on its own, one account", false, kSystemSid,
         {Allow(0x2, "S-1-5-11"), Allow(0x4, "S-1-5-11"), Allow(0x40, "S-1-5-11"), Allow(0x10000, "S-1-5-11"),
          Allow(0x40000, "S-1-5-11"), Allow(0x80000, "S-1-5-11"), Allow(0x40000000, "S-1-5-11"),
          Allow(0x10000000, "S-1-5-11")},
         {{"S-1-5-11", 0x500D0046}}, true},
        {"write attributes and EA are no write-type rights", false, kSystemSid, {Allow(0x110, "S-1-5-32-545")}, {},
         true},
        {"every account of many users", false, kTrustedInstallerSid,
         {Allow(0x2, "S-1-5-4"), Allow(0x2, "S-1-5-32-546"), Allow(0x2, "S-1-5-7"), Allow(0x2, "S-1-5-21-7-8-9-513"),
          Allow(0x2, "S-1-5-32-545")},
         {{"S-1-5-4", 2}, {"S-1-5-32-546", 2}, {"S-1-5-7", 2}, {"S-1-5-21-7-8-9-513", 2}, {"S-1-5-32-545", 2}}, true},
        {"other RIDs and SID shapes are no Domain Users", false, kMe,
         {Allow(0x2, "S-1-5-21-7-8-9-512"), Allow(0x2, "S-1-5-21-7-8-513"), Allow(0x2, "S-1-5-21-7-8-9-1513"),
          Allow(0x2, "S-1-5-32-513")},
         {}, true},
        {"deny and other entries grant nothing", false, kMe,
         {{Kind::Deny, 0, 0x1F01FF, "S-1-1-0"}, {Kind::Other, 0, 0x1F01FF, "S-1-1-0"}}, {}, true},
        {"on a folder what passes to new files counts", true, kMe,
         {Allow(0x40000000, "S-1-5-32-545", kOI | kIO), Allow(0x4, "S-1-5-11", kCI | kIO)},
         {{"S-1-5-32-545", 0x40000000}, {"S-1-5-11", 0x4}}, true},
        {"an inherit-only entry of a file or one passing nowhere does not", true, kMe,
         {Allow(0x1F01FF, "S-1-1-0", kIO)}, {}, true},
        {"inherit-only on a file", false, kMe, {Allow(0x1F01FF, "S-1-1-0", kOI | kIO)}, {}, true},
        {"an ordinary user owns it", false, "S-1-5-21-1-2-3-1002", {systemFull}, {}, false},
        {"no owner", false, "", {systemFull}, {}, false},
    };
    for (const AuditCase& c : cases) {
        SCOPED_TRACE(c.name);
        const AccessVerdict verdict = AuditAccess({c.isFolder, c.owner, c.dacl}, kMe);
        EXPECT_FALSE(verdict.noDacl);
        EXPECT_EQ(verdict.writers, c.writers);
        EXPECT_EQ(verdict.ownerAccepted, c.ownerAccepted);
        EXPECT_EQ(verdict.ok(), c.writers.empty() && c.ownerAccepted);
    }
    const AccessVerdict noDacl = AuditAccess({true, kSystemSid, std::nullopt}, kMe);
    EXPECT_TRUE(noDacl.noDacl);
    EXPECT_FALSE(noDacl.ok());
}

// Whoever may delete what is in a file's folder may replace the file, whatever its own DACL.
TEST(AccessAudit, AFilesFolderMayNotLetUsersDeleteIt) {
    const Dacl systemOnly = {Allow(0x1F01FF, kSystemSid)};
    struct Case {
        const char* name;
        std::optional<Dacl> folderDacl;
        std::vector<std::string> deleters;
    };
    const std::vector<Case> cases = {
        {"users add and modify files but delete nothing in the folder",
         Dacl{Allow(0x1200AF, "S-1-5-32-545"), Allow(0x1301BF, "S-1-5-32-545", kOI | kIO)}, {}},
        {"delete what is in it", Dacl{Allow(0x40, "S-1-5-32-545")}, {"S-1-5-32-545"}},
        {"generic all, twice", Dacl{Allow(0x10000000, "S-1-5-11", kCI), Allow(0x10000000, "S-1-5-11")}, {"S-1-5-11"}},
        {"only for subfolders", Dacl{Allow(0x40, "S-1-5-32-545", kCI | kIO)}, {}},
        {"no DACL", std::nullopt, {"S-1-1-0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AccessVerdict verdict =
            AuditAccess({false, kSystemSid, systemOnly}, kMe, ObjectSecurity{true, kSystemSid, c.folderDacl});
        EXPECT_EQ(verdict.folderDeleters, c.deleters);
        EXPECT_EQ(verdict.ok(), c.deleters.empty());
    }
}

TEST(AccessAudit, PrintHostRightsAreWeighedInOrder) {
    const std::uint32_t hookNeeds = 0x63;  // list, add file, traverse, delete what is in it
    struct Case {
        const char* name;
        std::optional<Dacl> dacl;
        bool granted;
    };
    const std::vector<Case> cases = {
        {"SYSTEM full control", Dacl{Allow(0x1F01FF, kSystemSid, kOI | kCI)}, true},
        {"through Administrators, generic all", Dacl{Allow(0x10000000, kAdministratorsSid)}, true},
        {"read and execute only", Dacl{Allow(0x1200A9, kSystemSid)}, false},
        {"only for what is created in it", Dacl{Allow(0x1F01FF, kSystemSid, kOI | kCI | kIO)}, false},
        {"a deny before the grant", Dacl{{Kind::Deny, 0, 0x2, "S-1-1-0"}, Allow(0x1F01FF, kSystemSid)}, false},
        {"a deny after the grant", Dacl{Allow(0x1F01FF, kSystemSid), {Kind::Deny, 0, 0x2, "S-1-1-0"}}, true},
        {"someone else's grant", Dacl{Allow(0x1F01FF, kMe)}, false},
        {"no DACL", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ((GrantedRights({true, kSystemSid, c.dacl}, PrintHostSids()) & hookNeeds) == hookNeeds, c.granted);
    }
}

TEST(AccessAudit, TheLineNamesEachAccountAndTheMend) {
    AccessVerdict verdict;
    verdict.writers = {{"S-1-1-0", 0x10046}, {"S-1-5-32-545", 0x40000}};
    const CheckLine folder =
        AccessLine("C:\\Program Files\\Tallyhorn\\Temp\\", verdict, "S-1-5-21-1-2-3-1002", "PC\\eve");
    EXPECT_EQ(folder.what,
              "permissions of C:\\Program Files\\Tallyhorn\\Temp\\: Everyone (S-1-1-0) may write data or add files, "
              "append or add folders, delete what is in it, delete; Users (S-1-5-32-545) may change permissions; "
              "owned by PC\\eve (S-1-5-21-1-2-3-1002), not by SYSTEM, Administrators, TrustedInstaller or this account");
    EXPECT_EQ(folder.toDo, "repair the package, or run icacls \"C:\\Program Files\\Tallyhorn\\Temp\" /inheritance:d "
                           "/remove:g *S-1-1-0 *S-1-5-32-545 and icacls \"C:\\Program Files\\Tallyhorn\\Temp\" "
                           "/setowner *S-1-5-32-544");
    const CheckLine root = AccessLine("c:\\", {true, true, {}, {}}, kSystemSid, "");
    EXPECT_EQ(root.what, "permissions of c:\\: no DACL, so everyone has full control");
    EXPECT_EQ(root.toDo, "repair the package");
    verdict = {false, true, {}, {}};
    EXPECT_EQ(AccessLine("C:\\T\\Tallyhorn.dll", verdict, kSystemSid, "NT AUTHORITY\\SYSTEM").toDo, "");
}

}  // namespace
}  // namespace tallyhorn::harness
