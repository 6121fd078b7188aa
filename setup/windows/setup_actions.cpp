// TallyhornSetup.dll: the package's custom actions, which Windows Installer calls while it
// runs. CheckSettings (immediate, before the launch conditions) refuses settings given
// wrongly; SecureHistory (deferred, as SYSTEM) takes the comment history that an earlier
// layout let users write out of their hands. The msi.dll calls come from the module that
// already runs the action, so that this DLL imports only KnownDLLs.
#include <windows.h>
#include <aclapi.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "common/windows/files.h"
#include "common/windows/handles.h"
#include "setup/settings_check.h"

namespace {

using tallyhorn::win::UniqueFile;

// The msi.dll calls the actions make, from the copy of msi.dll in this process.
struct MsiCalls {
    decltype(&MsiGetPropertyW) getProperty = nullptr;
    decltype(&MsiSetPropertyW) setProperty = nullptr;
    decltype(&MsiCreateRecord) createRecord = nullptr;
    decltype(&MsiRecordSetStringW) recordSetString = nullptr;
    decltype(&MsiProcessMessage) processMessage = nullptr;
    decltype(&MsiCloseHandle) closeHandle = nullptr;

    bool Load() {
        const HMODULE msi = GetModuleHandleW(L"msi.dll");
        if (msi == nullptr) return false;
        return Find(msi, "MsiGetPropertyW", getProperty) && Find(msi, "MsiSetPropertyW", setProperty) &&
               Find(msi, "MsiCreateRecord", createRecord) && Find(msi, "MsiRecordSetStringW", recordSetString) &&
               Find(msi, "MsiProcessMessage", processMessage) && Find(msi, "MsiCloseHandle", closeHandle);
    }

    std::wstring Property(MSIHANDLE install, const wchar_t* name) const {
        std::wstring value(64, L'\0');
        DWORD length = static_cast<DWORD>(value.size());
        UINT result = getProperty(install, name, value.data(), &length);
        if (result == ERROR_MORE_DATA) {
            value.resize(++length);
            result = getProperty(install, name, value.data(), &length);
        }
        value.resize(result == ERROR_SUCCESS ? length : 0);
        return value;
    }

    // One line of the installation's log ("Info ...").
    void Log(MSIHANDLE install, const std::wstring& line) const {
        const MSIHANDLE record = createRecord(1);
        if (record == 0) return;
        recordSetString(record, 0, L"[1]");
        recordSetString(record, 1, line.c_str());
        processMessage(install, INSTALLMESSAGE_INFO, record);
        closeHandle(record);
    }

private:
    template <typename Call>
    static bool Find(HMODULE module, const char* name, Call& call) {
        call = reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
        return call != nullptr;
    }
};

// Property values as the portable check reads them: bytes, UTF-8 (any byte above 0x7F
// fails every rule).
std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The refusal texts are ASCII.
std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Deletes the name that an open handle holds (a link itself, never its target).
bool DeleteByHandle(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// What SecureHistory did with the file, for the installation's log.
const wchar_t* SecureFile(const std::wstring& path) {
    // Opened as the name itself (a reparse point is not followed), kept open without
    // FILE_SHARE_DELETE, so nobody renames another file into its place meanwhile.
    UniqueFile file(CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return nullptr;
        if (error != ERROR_ACCESS_DENIED) return L"could not be opened, and stays as it is";
        // A list that shuts SYSTEM out was made by a user; the folder still lets SYSTEM delete it.
        file.reset(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        return file && DeleteByHandle(file.get()) ? L"shut SYSTEM out: deleted" : L"shut SYSTEM out, and stays";
    }
    tallyhorn::win::FileLinks links;
    if (!tallyhorn::win::ReadFileLinks(file.get(), links) || links.reparsePoint || links.links != 1)
        return DeleteByHandle(file.get()) ? L"is a link: deleted" : L"is a link, and stays";
    // Owner Administrators, no entry of its own: the folder's list alone says who may do what.
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    ACL empty{};
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !InitializeAcl(&empty, sizeof empty, ACL_REVISION))
        return L"could not be secured, and stays";
    const DWORD error =
        SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                  UNPROTECTED_DACL_SECURITY_INFORMATION,
                              administrators, nullptr, &empty, nullptr);
    if (error == ERROR_SUCCESS) return L"now belongs to Administrators and inherits the folder's permissions";
    return DeleteByHandle(file.get()) ? L"could not be secured: deleted" : L"could not be secured, and stays";
}

}  // namespace

// Sets the private property SettingsRefusal to why the settings given to this run are
// refused (empty when they are not); a launch condition shows it.
extern "C" __declspec(dllexport) UINT __stdcall CheckSettings(MSIHANDLE install) try {
    MsiCalls msi;
    if (!msi.Load()) return ERROR_INSTALL_FAILURE;
    tallyhorn::setup::GivenSettings given;
    given.serverIp = Narrow(msi.Property(install, L"SERVERIP"));
    given.writeToLog = Narrow(msi.Property(install, L"WRITETOLOG"));
    given.logDays = Narrow(msi.Property(install, L"LOGDAYS"));
    given.failClosed = Narrow(msi.Property(install, L"FAILCLOSED"));
    given.clientLog = Narrow(msi.Property(install, L"CLIENTLOG"));
    given.serverKept = !msi.Property(install, L"Installed").empty() || !msi.Property(install, L"INI_SERVERIP").empty();
    const std::wstring refusal = Widen(tallyhorn::setup::SettingsRefusal(given));
    return msi.setProperty(install, L"SettingsRefusal", refusal.c_str()) == ERROR_SUCCESS ? ERROR_SUCCESS
                                                                                            : ERROR_INSTALL_FAILURE;
} catch (...) {
    return ERROR_INSTALL_FAILURE;  // no exception crosses into Windows Installer
}

// CustomActionData: the path of the comment history that an earlier layout kept in the
// dialog's folder, where every user could write. Runs once that folder is locked; a file
// that is a link, or shuts SYSTEM out, is deleted. Never fails the installation: what
// stays is logged here and reported by the installation check.
extern "C" __declspec(dllexport) UINT __stdcall SecureHistory(MSIHANDLE install) try {
    MsiCalls msi;
    if (!msi.Load()) return ERROR_SUCCESS;
    const std::wstring path = msi.Property(install, L"CustomActionData");
    if (path.empty()) return ERROR_SUCCESS;
    if (const wchar_t* outcome = SecureFile(path)) msi.Log(install, L"Tallyhorn: " + path + L" " + outcome);
    return ERROR_SUCCESS;
} catch (...) {
    return ERROR_SUCCESS;
}
