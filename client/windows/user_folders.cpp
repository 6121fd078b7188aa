// The application data folders of the account the dialog runs as, found through the shell.
#include "client/windows/user_folders.h"

#include <windows.h>
#include <shlobj.h>

namespace tallyhorn::client::win {

namespace {

// The path in the ANSI code page, or empty when a character of it has no ANSI form: a
// path with a stand-in character would name another folder. UTF-8 as the ANSI code page
// spells every path, and takes neither the flag nor the question.
std::string AnsiPath(const wchar_t* path) {
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    char ansi[MAX_PATH * 3] = {};
    const int length = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, path, -1, ansi, sizeof ansi,
                                           nullptr, utf8 ? nullptr : &lossy);
    return length > 1 && !lossy ? std::string(ansi, static_cast<std::size_t>(length - 1)) : std::string();
}

}  // namespace

std::string UserAppDataFolder(bool roaming) {
    wchar_t path[MAX_PATH] = {};
    const int folder = (roaming ? CSIDL_APPDATA : CSIDL_LOCAL_APPDATA) | CSIDL_FLAG_CREATE;
    if (FAILED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    std::string ansi = AnsiPath(path);
    if (ansi.empty()) {
        // A user name outside the code page: the short name spells the same folder in ASCII.
        wchar_t shortPath[MAX_PATH] = {};
        const DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH) ansi = AnsiPath(shortPath);
    }
    if (!ansi.empty() && ansi.back() != '\\') ansi += '\\';
    return ansi;
}

}  // namespace tallyhorn::client::win
