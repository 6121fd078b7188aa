// The dialog takes no DLL from its own folder that Windows would take from the system
// folder: copies planted there under system DLLs' names are never loaded.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/client/client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

// Names that are no KnownDLLs: Windows looks for them in a program's own folder first,
// and so does Wine with the overrides "winmm,wsock32,uxtheme,dwmapi=n,b", which this
// test's run sets. Wine reads them from the Unix environment that a program started
// with, which its children inherit; setting them from inside has no effect on a child.
// The system's user32 loads uxtheme by bare name at the first window. (version.dll,
// which Wine's user32 imports, can be checked only in the import table.)
constexpr const char* kPlantedNames[] = {"winmm", "wsock32", "uxtheme", "dwmapi"};

// TALLYHORN_PLANTED_DLL leaves a marker when loaded; TALLYHORN_BARE_WINDOW_EXE is a
// program without the dialog's protection.
void Plant(const std::string& folder) {
    for (const char* name : kPlantedNames) {
        ASSERT_TRUE(CopyFileA(WindowsPath(TALLYHORN_PLANTED_DLL).c_str(), (folder + name + ".dll").c_str(), FALSE));
    }
}

bool Loaded(const std::string& folder, const char* name) { return Exists(folder + name + ".dll.loaded"); }

TEST(PlantedDlls, ABareProgramLoadsEachButTheDialogNone) {
    // The setup works: a program without the protection takes every planted copy.
    ClientRun bare(false, "bare");
    Plant(bare.Folder());
    const std::string bareExe = bare.Folder() + "bare_window.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(TALLYHORN_BARE_WINDOW_EXE).c_str(), bareExe.c_str(), FALSE));
    std::string names;
    for (const char* name : kPlantedNames) names += std::string(name) + ".dll ";
    const driver::Program program = driver::StartProgram(bareExe, names, -1, bare.Folder());
    ASSERT_TRUE(driver::WaitForExit(program, 30000));

    ClientRun run;
    Plant(run.Folder());
    EXPECT_TRUE(run.Show(CommentJob(), kCommentCaption));
    for (const char* name : kPlantedNames) {
        EXPECT_TRUE(Loaded(bare.Folder(), name)) << name << " was not loaded into the bare program";
        EXPECT_FALSE(Loaded(run.Folder(), name)) << name << " was loaded into the dialog";
    }
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
