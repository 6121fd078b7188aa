// Parses each SDDL text given on its command line as Windows does when it applies a
// package's permissions, and prints one line per text: for a valid descriptor "protected"
// or "inherits" (whether its DACL shuts out what the parent folder grants) and the owner's
// SID ("no-owner" without one), or "invalid <error>".
#include <windows.h>
#include <sddl.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[i], SDDL_REVISION_1, &descriptor, nullptr)) {
            std::printf("invalid %lu\n", GetLastError());
            continue;
        }
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(descriptor, &control, &revision);
        PSID owner = nullptr;
        BOOL defaulted = FALSE;
        char* ownerText = nullptr;
        if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr)
            ConvertSidToStringSidA(owner, &ownerText);
        std::printf("%s %s\n", (control & SE_DACL_PROTECTED) ? "protected" : "inherits",
                    ownerText != nullptr ? ownerText : "no-owner");
        LocalFree(ownerText);
        LocalFree(descriptor);
    }
    return 0;
}
