// Accounts by SID.
#include "common/windows/accounts.h"

#include <sddl.h>

#include <vector>

#include "common/windows/handles.h"

namespace tallyhorn::win {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return {};
    std::string copy(text);
    LocalFree(text);
    return copy;
}

std::string AccountName(const std::string& sidText) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidA(sidText.c_str(), &sid)) return {};
    char name[256] = {};
    char domain[256] = {};
    DWORD nameLength = sizeof name;
    DWORD domainLength = sizeof domain;
    SID_NAME_USE use{};
    const bool known = LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &use) != FALSE;
    LocalFree(sid);
    if (!known) return {};
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

}  // namespace tallyhorn::win
