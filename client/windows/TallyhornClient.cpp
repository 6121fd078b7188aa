// Program entry of TallyhornClient.exe and the dialog's composition root: starts Windows
// Sockets, creates the dialog from its parts, shows it, runs the message loop until the
// dialog has closed, and ends.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>

#include "client/client_log.h"
#include "client/comment_history.h"
#include "client/dialog_error.h"
#include "client/uTallyhornClient.h"
#include "client/windows/dialog_window.h"
#include "client/windows/win32_dialog_platform.h"
#include "common/windows/basics.h"
#include "common/windows/sockets.h"
#include "common/windows/system_libraries.h"

namespace {

using tallyhorn::client::ClientLog;
using tallyhorn::client::CommentHistory;
using tallyhorn::client::TForm1;
using tallyhorn::client::win::DialogWindow;
using tallyhorn::client::win::ProgramFileName;
using tallyhorn::client::win::Win32DialogPlatform;

// The show state that the starting program asked for.
int StartShowState(int commandShow) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW) return startup.wShowWindow;
    return commandShow;
}

int RunDialog(HINSTANCE instance, int commandShow) {
    // Windows Sockets start with the dialog; without them there is no dialog, and the
    // error can only be shown in a box of its own.
    tallyhorn::win::WsaSession sockets(MAKEWORD(1, 1));
    if (sockets.error() != 0) {
        const std::string text = tallyhorn::client::WindowsSocketErrorText(
            tallyhorn::win::SystemErrorText(static_cast<std::uint32_t>(sockets.error())), sockets.error(), "WSAStartup");
        MessageBoxA(nullptr, text.c_str(), tallyhorn::client::ProgramTitle(ProgramFileName()).c_str(),
                    MB_OK | MB_ICONHAND | MB_TASKMODAL);
        return 1;
    }
    DialogWindow window(instance);
    Win32DialogPlatform platform(window);
    CommentHistory history(platform);
    ClientLog log(platform);
    TForm1 form(platform, history, log, platform, platform);
    window.Attach(&form);
    window.Show(StartShowState(commandShow));
    const int exitCode = window.RunMessageLoop();
    window.Destroy();
    return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int commandShow) {
    // Before any window: the first one makes the system load its theme library by bare
    // name, which must not find a file planted beside the program.
    tallyhorn::win::SearchSystemFolderOnly();
    try {
        return RunDialog(instance, commandShow);
    } catch (const std::exception& error) {
        MessageBoxA(nullptr, error.what(), "TallyhornClient", MB_OK | MB_ICONHAND | MB_TASKMODAL);
    } catch (...) {
    }
    return 1;
}
