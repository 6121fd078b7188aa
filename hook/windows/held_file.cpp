// The result file held open while the hook checks whom it belongs to and reads it.
#include "hook/windows/held_file.h"

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "common/accounts.h"
#include "common/windows/accounts.h"
#include "common/windows/files.h"
#include "common/windows/handles.h"

namespace tallyhorn::hook::win {

namespace {

FileOwner OwnerKind(const std::string& sid) {
    if (sid == accounts::kSystemSid) return FileOwner::System;
    if (sid == accounts::kAdministratorsSid) return FileOwner::Administrators;
    // TrustedInstaller, or the Windows folder's owner: the system's installer (common/accounts.h).
    if (tallyhorn::win::IsSystemAccount(sid)) return FileOwner::TrustedInstaller;
    // The process's own user, not a thread's impersonation: the print host's account.
    if (!sid.empty() && sid == tallyhorn::win::ProcessUserSid()) return FileOwner::ProcessUser;
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
        opened = Failure(GetLastError());
        return nullptr;
    }
    tallyhorn::win::FileLinks links;
    if (!tallyhorn::win::ReadFileLinks(file.get(), links)) {
        opened = Failure(GetLastError());
        return nullptr;
    }
    HeldFileFacts facts;
    facts.reparsePoint = links.reparsePoint;
    facts.links = links.links;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool read = GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                      nullptr, &descriptor) == ERROR_SUCCESS;
    const tallyhorn::win::UniqueLocalMemory ownedDescriptor(descriptor);
    if (read && owner != nullptr) {
        const std::string sid = tallyhorn::win::SidText(owner);
        facts.owner = OwnerKind(sid);
        if (facts.owner == FileOwner::Other) {
            const std::string name = tallyhorn::win::AccountName(sid);
            facts.ownerName = !name.empty() ? name : !sid.empty() ? sid : "unknown";
        }
    } else {
        facts.ownerName = "unknown";  // an owner that cannot be read is not trusted
    }
    return std::make_unique<WinHeldFile>(file.release(), facts);
}

}  // namespace tallyhorn::hook::win
