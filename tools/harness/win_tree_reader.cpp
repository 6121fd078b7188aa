// The installation check's reader of the file system for its walk: owners, DACLs and the
// names in folders, never through a reparse point; paths in UTF-8.
#include "tools/harness/win_tree_reader.h"

#include <windows.h>
#include <aclapi.h>

#include <utility>
#include <vector>

#include "common/windows/accounts.h"
#include "common/windows/basics.h"
#include "common/windows/handles.h"

namespace tallyhorn::harness {

namespace {

// With the \\?\ prefix, so that a path longer than MAX_PATH deep in a tree is read too;
// the walk's paths are full and plain, as that prefix needs.
std::wstring LongPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    return L"\\\\?\\" + wide;
}

std::vector<AccessEntry> Entries(const ACL& dacl) {
    std::vector<AccessEntry> entries;
    for (DWORD i = 0; i < dacl.AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(const_cast<ACL*>(&dacl), i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry entry;
        entry.flags = header->AceFlags;
        // The callback kinds have the plain kinds' layout; object kinds belong to the
        // directory service, never to a file.
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: entry.kind = AccessEntry::Kind::Allow; break;
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE: entry.kind = AccessEntry::Kind::Deny; break;
        default: entry.kind = AccessEntry::Kind::Other; break;
        }
        if (entry.kind != AccessEntry::Kind::Other) {
            const auto* plain = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
            entry.mask = plain->Mask;
            entry.sid = win::SidText(const_cast<DWORD*>(&plain->SidStart));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace

std::string ErrorText(std::uint32_t code) {
    const std::string words = win::SystemErrorText(code);
    return "error " + std::to_string(code) + (words.empty() ? "" : ": " + words);
}

std::wstring WideFromUtf8(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Utf8(const std::wstring& text) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                            nullptr);
    return bytes;
}

std::wstring WideFromAnsi(const std::string& text) {
    std::wstring wide(text.size(), L'\0');  // never more UTF-16 units than bytes
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return wide;
}

// Through a handle on the name itself (FILE_FLAG_OPEN_REPARSE_POINT): a link is read as
// the link, and what it leads to is never touched.
ObjectFacts WinTreeReader::Read(const std::string& path) {
    ObjectFacts facts;
    const std::string name = path.size() > 3 && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    const win::UniqueHandle object(CreateFileW(LongPath(name).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                               nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!object || !GetFileInformationByHandle(object.get(), &information)) {
        facts.error = GetLastError();
        return facts;
    }
    facts.reparsePoint = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.security.isFolder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    facts.error = GetSecurityInfo(object.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &descriptor);
    const win::UniqueLocalMemory owned(descriptor);
    if (facts.error != ERROR_SUCCESS) return facts;
    facts.security.owner = win::SidText(owner);
    if (dacl != nullptr) facts.security.dacl = Entries(*dacl);
    return facts;
}

// The folder is held open meanwhile without sharing delete, so that no one can rename it
// and put a link in its place while its names are read.
std::vector<std::string> WinTreeReader::List(const std::string& folder, std::uint32_t& error) {
    std::vector<std::string> names;
    const win::UniqueHandle held(CreateFileW(LongPath(folder).c_str(), FILE_LIST_DIRECTORY,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    WIN32_FIND_DATAW found{};
    const win::UniqueFind search(held ? FindFirstFileW(LongPath(folder + "*").c_str(), &found) : INVALID_HANDLE_VALUE);
    error = search ? ERROR_SUCCESS : GetLastError();
    if (!search) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(Utf8(name));
    } while (FindNextFileW(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) error = GetLastError();
    return names;
}

std::string WinTreeReader::AccountName(const std::string& sid) {
    const auto known = names_.find(sid);
    if (known != names_.end()) return known->second;
    return names_[sid] = Utf8(WideFromAnsi(win::AccountName(sid)));
}

}  // namespace tallyhorn::harness
