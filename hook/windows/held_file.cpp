// The result file held open while the hook checks whom it belongs to and reads it.
#include "hook/windows/held_file.h"

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "common/windows/accounts.h"
#include "common/windows/files.h"
#include "common/windows/handles.h"

namespace tallyhorn::hook::win {

namespace {

// TrustedInstaller, the service that owns what Windows installs.
constexpr char kTrustedInstallerSid[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

FileOwner OwnerKind(PSID sid) {
    if (IsWellKnownSid(sid, WinLocalSystemSid)) return FileOwner::System;
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) return FileOwner::Administrators;
    // The process's own user, not a thread's impersonation: the print host's account.
    const std::string text = tallyhorn::win::SidText(sid);
    if (text == kTrustedInstallerSid) return FileOwner::TrustedInstaller;
    if (!text.empty() && text == tallyhorn::win::ProcessUserSid()) return FileOwner::ProcessUser;
    return FileOwner::Other;
}

class WinHeldFile final : public HeldFile {
public:
    WinHeldFile(HANDLE file, const HeldFileFacts& facts) : file_(file), facts_(facts) {}
    const HeldFileFacts& Facts() const override { return facts_; }

private:
    tallyhorn::win::UniqueFile file_;
    HeldFileFacts facts_;
};

}  // namespace

std::unique_ptr<HeldFile> HoldFileOpen(const std::string& path, CallResult& opened) {
    tallyhorn::win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        opened = {false, GetLastError()};
        return nullptr;
    }
    tallyhorn::win::FileLinks links;
    if (!tallyhorn::win::ReadFileLinks(file.get(), links)) {
        opened = {false, GetLastError()};
        return nullptr;
    }
    HeldFileFacts facts;
    facts.reparsePoint = links.reparsePoint;
    facts.links = links.links;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) == ERROR_SUCCESS &&
        owner != nullptr) {
        facts.owner = OwnerKind(owner);
        if (facts.owner == FileOwner::Other) {
            const std::string sid = tallyhorn::win::SidText(owner);
            const std::string name = tallyhorn::win::AccountName(sid);
            facts.ownerName = !name.empty() ? name : !sid.empty() ? sid : "unknown";
        }
    } else {
        facts.ownerName = "unknown";  // an owner that cannot be read is not trusted
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    return std::make_unique<WinHeldFile>(file.release(), facts);
}

}  // namespace tallyhorn::hook::win
