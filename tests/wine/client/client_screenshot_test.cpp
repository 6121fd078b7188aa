// Screenshots of each dialog mode and of a message box, as BMP files for the docs (the
// build converts them to PNG). The folder comes from TALLYHORN_SCREENSHOT_DIR.
#include <gtest/gtest.h>

#include <cstdlib>

#include "client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

std::string ShotFolder() {
    const char* folder = std::getenv("TALLYHORN_SCREENSHOT_DIR");
    std::string path = folder && *folder ? WinePath(folder) : WinePath(TALLYHORN_SCREENSHOT_DIR);
    if (path.back() != '\\') path += '\\';
    CreateDirectoryA(path.c_str(), nullptr);
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
    EXPECT_GT(ReadFileBytes(path).size(), 54u + 3u * 300u * 200u) << path;
}

void ShootMode(const std::string& name, const std::vector<std::pair<std::string, std::string>>& job,
               const std::string& caption, const std::string& comment = "") {
    ClientRun run;
    if (!comment.empty()) WriteFileBytes(run.HistoryFile(), "Draft for the board\r\nProof copy\r\n");
    run.WriteJob(job);
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForActivation(caption));
    if (!comment.empty()) run.SetComment(comment);
    Shoot(name, run.Dialog());
}

std::vector<std::pair<std::string, std::string>> Job(const std::string& action, const std::string& reason) {
    return {{"Printer", "HP LaserJet 4 (2nd floor)"}, {"DocumentName", "Quarterly report.docx"}, {"Pages", "12"},
            {"Action", action}, {"ErrorMsg", reason}, {"ServerIP", "127.0.0.1"}, {"JobID", "1234"}};
}

TEST(Screenshots, EachModeAndABox) {
    ShootMode("comment", Job("COMMENT", ""), "Tallyhorn: enter comment", "Proof copy for Ann");
    ShootMode("reject", Job("REJECT", "Colour printing is not allowed on this printer"),
              "Message from Tallyhorn server");
    const std::string quota = "You have used 100 of your 100 pages this month.";
    ShootMode("quota-admin", Job("ADMIN QUOTA", quota), "Tallyhorn: Quota alert");
    ShootMode("quota-user", Job("USER QUOTA", quota), "Tallyhorn: Quota alert");
    ShootMode("quota-wait", Job("WAIT QUOTA", quota), "Tallyhorn: Quota alert");

    ClientRun run;
    run.WriteJob(Job("USER QUOTA", quota));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForActivation("Tallyhorn: Quota alert"));
    run.Click(kIdOKBtn);
    const driver::MessageBoxInfo box = run.WaitForBox();
    ASSERT_TRUE(box.window);
    Shoot("quota-confirm-box", run.Dialog(), box.window);
    driver::ClickBoxButton(box.window, IDNO);
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
