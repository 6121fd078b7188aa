// The Win32 layer's own rules under Wine: the whole-file read, the one-step file
// replacement, the save lock and the sort keys that the comment history relies on.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "client/windows/dialog_window.h"
#include "client/windows/win32_history_list.h"
#include "common/windows/basics.h"
#include "common/windows/handles.h"
#include "tests/wine/client/client_fixture.h"

namespace tallyhorn::client::wine_test {
namespace {

class PlatformFiles : public ::testing::Test {
protected:
    PlatformFiles() : window_(GetModuleHandleA(nullptr)), platform_(window_) {}
    ClientRun run_;  // only for its own folder
    win::DialogWindow window_;
    win::Win32HistoryList platform_;
};

TEST_F(PlatformFiles, WriteWholeFilePutsTheNewBytesInPlaceOrFailsAndLeavesNoTemporaryFile) {
    const std::string path = run_.Folder() + "Tallyhorn.Cmt";
    WriteBytes(path, "old\r\n");
    const std::string bytes("a\r\nb\0c\r\n", 8);
    ASSERT_TRUE(platform_.WriteWholeFile(path, bytes));
    EXPECT_EQ(ReadBytes(path), bytes);
    // A folder in the file's place cannot be replaced by a file, nor can a missing folder hold one.
    const std::string blocked = run_.Folder() + "Blocked.Cmt";
    ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));
    EXPECT_FALSE(platform_.WriteWholeFile(blocked, "new\r\n"));
    EXPECT_TRUE(IsFolder(blocked));
    EXPECT_FALSE(platform_.WriteWholeFile(run_.Folder() + "no such folder\\Tallyhorn.Cmt", "x"));
    WIN32_FIND_DATAA found{};
    EXPECT_FALSE(::tallyhorn::win::UniqueFind(FindFirstFileA((run_.Folder() + "*.tmp").c_str(), &found)));
}

// A dialog that reads the file as it starts holds it for a moment: the replace waits.
TEST_F(PlatformFiles, WriteWholeFileWaitsForAReaderThatLetsGoSoon) {
    const std::string path = run_.Folder() + "Tallyhorn.Cmt";
    WriteBytes(path, "old\r\n");
    ::tallyhorn::win::UniqueFile reader(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    std::thread release([&] {
        Sleep(50);
        reader.reset();
    });
    EXPECT_TRUE(platform_.WriteWholeFile(path, "new\r\n"));
    release.join();
    EXPECT_EQ(ReadBytes(path), "new\r\n");
}

TEST_F(PlatformFiles, ReadWholeFileSharesWithReadersButNotWithAWriter) {
    const std::string path = run_.Folder() + "history.txt";
    WriteBytes(path, std::string("one\0two", 7));
    {
        ::tallyhorn::win::UniqueFile reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                           nullptr));
        ASSERT_TRUE(reader);
        const auto bytes = platform_.ReadWholeFile(path);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, std::string("one\0two", 7));
    }
    ::tallyhorn::win::UniqueFile writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_FALSE(platform_.ReadWholeFile(path).has_value());
    EXPECT_FALSE(platform_.ReadWholeFile(run_.Folder() + "missing.txt").has_value());
}

TEST_F(PlatformFiles, SortKeysOrderAsTheListComparesTexts) {
    // Letter case, accents, word-sort punctuation, digits, blanks, the empty text and
    // texts whose keys outgrow a first buffer.
    const std::vector<std::string> texts = {"", "a", "A", "ab", "a-b", "ab-", "co-op", "coop", "o'neil", "oneil",
                                            "\xc4pfel", "apfel", "Zebra", "z\xfcrich", "1", "10", "9", " lead",
                                            "na\xefve", "naive", "r\xe9sum\xe9", "resume", "x y", "xy", "#1",
                                            std::string(600, 'b'), std::string(600, 'B') + "a"};
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            const int byKeys = platform_.SortKey(a).compare(platform_.SortKey(b));
            const int compared = platform_.CompareIgnoringCase(a, b);
            EXPECT_EQ((byKeys > 0) - (byKeys < 0), (compared > 0) - (compared < 0)) << a << " / " << b;
        }
    }
}

TEST_F(PlatformFiles, OneSaveLockAtATimeAndNoneLeftBehind) {
    const std::string path = run_.Folder() + "Tallyhorn.Cmt";
    {
        const auto held = platform_.TakeSaveLock(path, 0);
        ASSERT_TRUE(held);
        EXPECT_TRUE(Exists(path + ".lock"));
        EXPECT_FALSE(platform_.TakeSaveLock(path, 200));  // waited, then gave up
    }
    EXPECT_FALSE(Exists(path + ".lock"));
    EXPECT_TRUE(platform_.TakeSaveLock(path, 0));
    // A folder that is not there: no lock, and the save goes ahead (and fails there).
    EXPECT_FALSE(platform_.TakeSaveLock(run_.Folder() + "no such folder\\Tallyhorn.Cmt", 0));
}

TEST(PlatformSockets, ErrorTextsComeWithoutLineEnd) {
    const std::string refused = ::tallyhorn::win::SystemErrorText(WSAECONNREFUSED);
    EXPECT_FALSE(refused.empty());
    EXPECT_NE(refused.back(), '\n');
    EXPECT_NE(refused.back(), '.');
}

// On a monitor of another scale the window lays itself out for the new DPI, in the place
// that the system suggests as far as it lies on the screen; back at 96 DPI it is as designed.
TEST(DialogWindowDpi, ChangingTheDpiLaysTheWindowOutAgain) {
    win::DialogWindow window(GetModuleHandleA(nullptr));
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    for (const int dpi : {192, 96}) {
        RECT suggested{work.right - 100, work.bottom - 100, work.right + 600, work.bottom + 300};
        SendMessageA(window.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        const RECT client = driver::ClientRectOnScreen(window.Handle());
        EXPECT_EQ(client.right - client.left, MulDiv(369, dpi, 96)) << dpi;
        EXPECT_EQ(client.bottom - client.top, MulDiv(219, dpi, 96)) << dpi;
        EXPECT_EQ(driver::WindowPlace(window.Handle()).right, work.right) << dpi;
        EXPECT_EQ(driver::WindowPlace(window.Handle()).bottom, work.bottom) << dpi;
        const RECT label4 = driver::ReadControl(window.Handle(), kIdLabel4).place;
        EXPECT_EQ(label4.top, MulDiv(13, dpi, 96)) << dpi;
        EXPECT_GE(label4.bottom - label4.top, MulDiv(13, dpi, 96) * 7 / 8) << dpi;
    }
    EXPECT_EQ(driver::ReadControl(window.Handle(), kIdLabel4).place.right, 34 + 321);  // the design's face again
}

}  // namespace
}  // namespace tallyhorn::client::wine_test
