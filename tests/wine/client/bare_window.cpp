// A program without the dialog's protection: it opens a window and loads each DLL named
// on its command line by bare name, as any program that trusts the search path does.
#include <windows.h>

#include <sstream>
#include <string>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    HWND window = CreateWindowA("STATIC", "bare", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, instance,
                                nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    std::istringstream names(commandLine);
    for (std::string name; names >> name;) LoadLibraryA(name.c_str());
    DestroyWindow(window);
    return 0;
}
