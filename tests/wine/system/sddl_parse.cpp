// Parses each SDDL text given on its command line as Windows does when it applies a
// package's permissions, and prints one line per text: "protected" or "inherits" for a
// valid descriptor (whether its DACL shuts out what the parent folder grants), or
// "invalid <error>".
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
        std::printf("%s\n", (control & SE_DACL_PROTECTED) ? "protected" : "inherits");
        LocalFree(descriptor);
    }
    return 0;
}
