// The dialog takes no DLL from its own folder that Windows would take from the system
// folder: copies planted there under system DLLs' names are never loaded.
#include <windows.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <string>

#include "common/windows/handles.h"
#include "tests/wine/client/client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

// Names that are no KnownDLLs: Windows looks for them in a program's own folder first,
// and so does Wine with the overrides "winmm,wsock32,uxtheme,dwmapi,comctl32=n,b", which
// this test's run sets. Wine reads them from the Unix environment that a program started
// with, which its children inherit; setting them from inside has no effect on a child.
// The system's user32 loads uxtheme by bare name at the first window, and the dialog's
// controls come from comctl32, which its manifest takes from the system's side-by-side
// store. (version.dll, which Wine's user32 imports, can be checked only in the import table.)
constexpr const char* kPlantedNames[] = {"winmm", "wsock32", "uxtheme", "dwmapi", "comctl32"};

// TALLYHORN_PLANTED_DLL leaves a marker when loaded; TALLYHORN_BARE_WINDOW_EXE is a
// program without the dialog's protection.
void Plant(const std::string& folder) {
    for (const char* name : kPlantedNames) {
        ASSERT_TRUE(CopyFileA(WindowsPath(TALLYHORN_PLANTED_DLL).c_str(), (folder + name + ".dll").c_str(), FALSE));
    }
}

bool Loaded(const std::string& folder, const char* name) { return Exists(folder + name + ".dll.loaded"); }

// The path of a module that a process has loaded; empty when it has none of that name.
std::string ModulePath(DWORD processId, const char* name) {
    const ::tallyhorn::win::UniqueHandle modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    for (BOOL more = modules && Module32First(modules.get(), &module); more; more = Module32Next(modules.get(), &module))
        if (_stricmp(module.szModule, name) == 0) return module.szExePath;
    return {};
}

TEST(PlantedDlls, ABareProgramLoadsEachButTheDialogNone) {
    // The setup works: a program without the protection takes every planted copy.
    ClientRun bare(false, "bare");
    Plant(bare.Folder());
    const std::string bareExe = bare.Folder() + "bare_window.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(TALLYHORN_BARE_WINDOW_EXE).c_str(), bareExe.c_str(), FALSE));
    std::string names;
    for (const char* name : kPlantedNames) names += std::string(name) + ".dll ";
    const driver::Program program = driver::StartProgram(bareExe, names, -1, bare.Folder());
    ASSERT_NE(program.processId, 0u) << "the bare program did not start: error " << program.startError;
    ASSERT_TRUE(driver::WaitForExit(program, 30000));

    ClientRun run;
    Plant(run.Folder());
    EXPECT_TRUE(run.Show(CommentJob(), kCommentCaption));
    for (const char* name : kPlantedNames) {
        EXPECT_TRUE(Loaded(bare.Folder(), name)) << name << " was not loaded into the bare program";
        EXPECT_FALSE(Loaded(run.Folder(), name)) << name << " was loaded into the dialog";
    }
    // The controls of the version 6 common controls, from the side-by-side store.
    const std::string comctl32 = ModulePath(run.ProcessId(), "comctl32.dll");
    EXPECT_NE(comctl32.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos) << comctl32;
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
