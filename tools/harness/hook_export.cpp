// Tallyhorn.dll's export as a print host finds it, shared by the calls and the check.
#include "tools/harness/hook_export.h"

namespace tallyhorn::harness {

namespace {

// GetProcAddress gives every export one generic type; void(*)() converts to any other.
HandlePrintJob Export(HMODULE library, LPCSTR nameOrOrdinal) {
    return reinterpret_cast<HandlePrintJob>(reinterpret_cast<void (*)()>(GetProcAddress(library, nameOrOrdinal)));
}

}  // namespace

HandlePrintJob FindExport(HMODULE library, std::string& problem, bool byOrdinal) {
    const HandlePrintJob fromName = Export(library, kExportName.data());
    const HandlePrintJob fromOrdinal = Export(library, MAKEINTRESOURCEA(kExportOrdinal));
    if (fromName == nullptr) {
        problem = "is missing";
        return nullptr;
    }
    if (fromName != fromOrdinal) {
        problem = "differs from the one by name";
        return nullptr;
    }
    return byOrdinal ? fromOrdinal : fromName;
}

std::wstring BesideThisProgram(const wchar_t* fileName) {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + fileName;
}

}  // namespace tallyhorn::harness
