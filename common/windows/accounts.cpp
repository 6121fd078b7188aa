// Accounts by SID.
#include "common/windows/accounts.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "common/accounts.h"
#include "common/windows/handles.h"

namespace tallyhorn::win {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return {};
    const UniqueLocalMemory owned(text);
    return text;
}

std::string AccountName(const std::string& sidText) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidA(sidText.c_str(), &sid)) return {};
    const UniqueLocalMemory owned(sid);
    char name[256] = {};
    char domain[256] = {};
    DWORD nameLength = sizeof name;
    DWORD domainLength = sizeof domain;
    SID_NAME_USE use{};
    if (!LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return {};
    return domain[0] != '\0' ? std::string(domain) + "\\" + name : std::string(name);
}

std::string ProcessUserSid() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

namespace {

std::string ReadWindowsFolderOwner() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return {};
    const UniqueLocalMemory owned(descriptor);
    return SidText(owner);
}

}  // namespace

std::string WindowsFolderOwnerSid() {
    static const std::string owner = ReadWindowsFolderOwner();
    return owner;
}

bool IsSystemAccount(const std::string& sidText) {
    return accounts::IsSystemAccount(sidText, WindowsFolderOwnerSid());
}

}  // namespace tallyhorn::win
