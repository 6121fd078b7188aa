// Program entry of TallyhornClient.exe and the dialog's composition root: starts Windows
// Sockets, builds the dialog from its parts, each platform role from its own Win32 class,
// shows it, runs the message loop until the dialog has closed, and ends.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "client/client_log.h"
#include "client/command_line.h"
#include "client/comment_history.h"
#include "client/dialog_error.h"
#include "client/uTallyhornClient.h"
#include "client/windows/dialog_window.h"
#include "client/windows/win32_events.h"
#include "client/windows/win32_history_list.h"
#include "client/windows/win32_job_files.h"
#include "client/windows/win32_log.h"
#include "client/windows/win32_sockets.h"
#include "common/windows/basics.h"
#include "common/windows/sockets.h"
#include "common/windows/system_libraries.h"

namespace {

using namespace tallyhorn::client;
using namespace tallyhorn::client::win;

// The program's folder and file name, and its first argument.
ProgramStart StartOfProgram() {
    const std::string path = tallyhorn::win::ProgramPath();
    const std::size_t name = path.find_last_of("\\/") + 1;  // 0 when the path has no folder
    return {path.substr(0, name), path.substr(name), FirstArgumentOf(GetCommandLineA())};
}

// The show state that the starting program asked for.
int StartShowState(int commandShow) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW) return startup.wShowWindow;
    return commandShow;
}

int RunDialog(HINSTANCE instance, int commandShow) {
    ProgramStart start = StartOfProgram();
    // Windows Sockets start with the dialog; without them there is no dialog, and the
    // error can only be shown in a box of its own.
    const tallyhorn::win::WsaSession windowsSockets(MAKEWORD(1, 1));
    if (const int error = windowsSockets.error(); error != 0) {
        const std::string text = WindowsSocketErrorText(
            tallyhorn::win::SystemErrorText(static_cast<std::uint32_t>(error)), error, "WSAStartup");
        MessageBoxA(nullptr, text.c_str(), ProgramTitle(start.fileName).c_str(), MB_OK | MB_ICONHAND | MB_TASKMODAL);
        return 1;
    }
    DialogWindow window(instance);
    Win32JobFiles jobFiles;
    Win32HistoryList historyList(window);
    Win32Sockets sockets(window.Handle());
    Win32Log logFiles;
    Win32Events eventLog;
    CommentHistory history(historyList);
    ClientLog log(logFiles);
    TForm1 form(std::move(start), {window, jobFiles, sockets, eventLog, history, log});
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
    } catch (const std::exception& error) {  // the dialog could not be built: no window, no memory
        MessageBoxA(nullptr, error.what(), "TallyhornClient", MB_OK | MB_ICONHAND | MB_TASKMODAL);
    }
    return 1;
}
