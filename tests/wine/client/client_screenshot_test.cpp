// Screenshots of each dialog mode, of a message box, of a black high-contrast scheme and
// of 144 DPI, as BMP files for the docs (the build converts them to PNG). The folder comes from TALLYHORN_SCREENSHOT_DIR.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/wine/client/client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

std::string ShotFolder() {
    const char* folder = std::getenv("TALLYHORN_SCREENSHOT_DIR");
    std::string path = folder && *folder ? WindowsPath(folder) : WindowsPath(TALLYHORN_SCREENSHOT_DIR);
    if (path.back() != '\\') path += '\\';
    CreateFolders(path);
    return path;
}

// The window and a margin, so the frame shows; with a box, the area of both.
void Shoot(const std::string& name, HWND dialog, HWND box = nullptr) {
    Sleep(400);  // let the last paint land
    RECT area = driver::WindowPlace(dialog);
    if (box) {
        const RECT boxPlace = driver::WindowPlace(box);
        UnionRect(&area, &area, &boxPlace);
    }
    InflateRect(&area, 8, 8);
    const std::string path = ShotFolder() + name + ".bmp";
    ASSERT_TRUE(driver::SaveScreenshot(path, &area)) << path;
    EXPECT_GT(ReadBytes(path).size(), 54u + 3u * 300u * 200u) << path;
}

// A job as the pictures show it: the monitor's reason and a printer with its place.
JobKeys ShotJob(const std::string& action, const std::string& reason) {
    return With(With(Job(action), "ErrorMsg", reason), "Printer", "HP LaserJet 4 (2nd floor)");
}

void ShootMode(const std::string& name, const JobKeys& job, const std::string& caption,
               const std::string& comment = "") {
    ClientRun run;
    if (!comment.empty()) run.WriteHistory("Draft for the board\r\nProof copy\r\n");
    ASSERT_TRUE(run.Show(job, caption));
    if (!comment.empty()) run.SetComment(comment);
    Shoot(name, run.Dialog());
}

TEST(Screenshots, EachModeAndABox) {
    ShootMode("comment", ShotJob("COMMENT", ""), kCommentCaption, "Proof copy for Ann");
    ShootMode("reject", ShotJob("REJECT", "Colour printing is not allowed on this printer"), kRejectCaption);
    const std::string quota = "You have used 100 of your 100 pages this month.";
    ShootMode("quota-admin", ShotJob("ADMIN QUOTA", quota), kQuotaCaption);
    ShootMode("quota-user", ShotJob("USER QUOTA", quota), kQuotaCaption);
    ShootMode("quota-wait", ShotJob("WAIT QUOTA", quota), kQuotaCaption);
    {
        const HighContrastBlack scheme;
        ShootMode("quota-user-high-contrast", ShotJob("USER QUOTA", quota), kQuotaCaption);
    }
    {
        const UserRegistryValues dpi = SystemDpi(144);
        ShootMode("comment-144dpi", ShotJob("COMMENT", ""), kCommentCaption, "Proof copy for Ann");
    }

    ClientRun run;
    ASSERT_TRUE(run.Show(ShotJob("USER QUOTA", quota), kQuotaCaption));
    run.Click(kIdOKBtn);
    const driver::MessageBoxInfo box = run.WaitForBox();
    ASSERT_TRUE(box.window);
    Shoot("quota-confirm-box", run.Dialog(), box.window);
    driver::ClickBoxButton(box.window, IDNO);
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
