// Figures for TallyhornClient.exe under Wine: start to dialog shown; with a history of
// 100,000 entries and one of 20 MB, start to shown, to responsive and to a full
// drop-down, the longest the dialog left a message unanswered meanwhile, and closes made
// as soon as the job shows (one allowed, one refused in quota mode); OK to program exit
// against an immediate acknowledgement on loopback; and the CPU time the dialog takes
// while it waits (countdown; watchdog), measured by the script around it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "client/windows/control_ids.h"
#include "tools/uidriver/uidriver.h"

namespace {

namespace driver = tallyhorn::uidriver;
using namespace tallyhorn::client::win;

constexpr char kFolder[] = "C:\\tallyhorn-bench\\";
std::string clientExe;
std::string serverExe;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now;
}

// The dialog's history of the user the bench runs as, in the user's roaming folder.
std::string HistoryPath() {
    char roaming[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("APPDATA", roaming, MAX_PATH);
    const std::string folder = std::string(roaming, length < MAX_PATH ? length : 0) + "\\Tallyhorn";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\Tallyhorn.Cmt";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteJob(const std::string& action, const std::string& jobId) {
    WriteBytes(std::string(kFolder) + "job.txt", "[PrintJob]\r\nPrinter=P\r\nDocumentName=D\r\nPages=1\r\nAction=" +
                                                     action + "\r\nErrorMsg=E\r\nServerIP=127.0.0.1\r\nJobID=" + jobId +
                                                     "\r\n");
}

driver::Program StartClient() {
    return driver::StartProgram(std::string(kFolder) + "TallyhornClient.exe",
                                std::string("\"") + kFolder + "job.txt\"", -1, kFolder);
}

void Report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) {
        std::printf("%-52s no samples\n", what);
        return;
    }
    std::printf("%-52s median %8.1f ms  min %8.1f  max %8.1f  (n=%zu)\n", what, samples[samples.size() / 2],
                samples.front(), samples.back(), samples.size());
}

// Start to the arranged dialog (its comment-mode caption), then ended by WM_CLOSE.
std::vector<double> StartToShown(int runs) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        WriteJob("COMMENT", "1");
        const LARGE_INTEGER started = Now();
        driver::Program client = StartClient();
        HWND dialog = driver::FindDialog(client.processId, 60000);
        if (dialog && driver::WaitForText(dialog, "Tallyhorn: enter comment", 60000)) {
            samples.push_back(Milliseconds(started, Now()));
        }
        if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
        if (!driver::WaitForExit(client, 60000)) TerminateProcess(client.handles.process.get(), 1);
    }
    return samples;
}

void Stop(driver::Program& program);

// Writes the bench's history anew (every close adds to it): entries of 33 bytes, in no
// order, until it holds `bytes`; the number of entries.
std::size_t WriteHistory(std::size_t bytes) {
    std::string entries;
    entries.reserve(bytes + 64);
    char line[64];
    std::size_t count = 0;
    while (entries.size() < bytes) {
        std::snprintf(line, sizeof line, "comment %06u for job %08X\r\n", static_cast<unsigned>((count * 7919) % 100000),
                      static_cast<unsigned>(count));
        entries += line;
        ++count;
    }
    WriteBytes(HistoryPath(), entries);
    return count;
}

// One start with a large history, probed every 10 ms with a message that the dialog
// must answer: when its job shows (caption, read without asking the dialog), when it
// first answers after that, when the drop-down holds every entry, and the longest wait
// for an answer from start to then (the time a user finds the window frozen).
struct LoadSample {
    double shown = -1;
    double responsive = -1;
    double filled = -1;
    double longestWait = 0;
};

LoadSample StartWithHistory(std::size_t bytes) {
    LoadSample sample;
    const std::size_t entries = WriteHistory(bytes);
    WriteJob("COMMENT", "1");
    const LARGE_INTEGER started = Now();
    driver::Program client = StartClient();
    HWND dialog = driver::FindDialog(client.processId, 60000);
    while (dialog && Milliseconds(started, Now()) < 180000) {
        // Found once the window exists, the dialog may not have its controls yet.
        HWND combo = GetDlgItem(dialog, kIdComments_ComboBox);
        if (!combo) {
            Sleep(1);
            continue;
        }
        wchar_t caption[64] = {};
        InternalGetWindowText(dialog, caption, 64);
        const bool shownBefore = sample.shown >= 0;
        if (!shownBefore && std::wstring(caption) == L"Tallyhorn: enter comment") sample.shown = Milliseconds(started, Now());
        const LARGE_INTEGER asked = Now();
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 120000, &count)) break;
        const LARGE_INTEGER answered = Now();
        sample.longestWait = std::max(sample.longestWait, Milliseconds(asked, answered));
        if (shownBefore && sample.responsive < 0) sample.responsive = Milliseconds(started, answered);
        if (count == entries) {
            sample.filled = Milliseconds(started, answered);
            if (sample.responsive >= 0) break;
        }
        Sleep(10);
    }
    if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
    if (!driver::WaitForExit(client, 120000)) TerminateProcess(client.handles.process.get(), 1);
    return sample;
}

// Starts the dialog with a history of `bytes` and a job of `action`: its window once
// it shows `wanted` (read without asking the dialog), or nullptr.
HWND StartShown(driver::Program& client, std::size_t bytes, const std::string& action, const wchar_t* wanted) {
    WriteHistory(bytes);
    WriteJob(action, "1");
    client = StartClient();
    HWND dialog = driver::FindDialog(client.processId, 60000);
    for (int i = 0; dialog && i < 18000; ++i) {
        wchar_t caption[64] = {};
        InternalGetWindowText(dialog, caption, 64);
        if (std::wstring(caption) == wanted) return dialog;
        Sleep(10);
    }
    return nullptr;
}

// A close made as soon as the job shows: the time from the close to the dialog off the
// screen, and to the program's end.
struct CloseSample {
    double hidden = -1;
    double exited = -1;
};

CloseSample CloseAsSoonAsShown(std::size_t bytes) {
    driver::Program client;
    CloseSample sample;
    if (HWND dialog = StartShown(client, bytes, "COMMENT", L"Tallyhorn: enter comment")) {
        const LARGE_INTEGER closed = Now();
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        while (IsWindowVisible(dialog) && Milliseconds(closed, Now()) < 120000) Sleep(1);
        if (!IsWindowVisible(dialog)) sample.hidden = Milliseconds(closed, Now());
        if (driver::WaitForExit(client, 120000)) sample.exited = Milliseconds(closed, Now());
    }
    Stop(client);
    return sample;
}

// The bench's history holds no empty line until a save records the empty comment.
bool SavedWithEmptyComment() {
    const std::string path = HistoryPath();
    // Every kind of sharing, so that the dialog's own reads and its replace go on.
    tallyhorn::win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char head[2] = {};
    DWORD read = 0;
    return file && ReadFile(file.get(), head, 2, &read, nullptr) && read == 2 && head[0] == '\r' && head[1] == '\n';
}

// A close in quota mode as soon as the job shows, refused: the time to the cancel
// question, to the history saved with the (empty) comment, and the longest wait for an
// answer from the close to then.
struct RefusedSample {
    double asked = -1;
    double saved = -1;
    double longestWait = 0;
};

RefusedSample RefusedCloseAsSoonAsShown(std::size_t bytes) {
    driver::Program client;
    RefusedSample sample;
    if (HWND dialog = StartShown(client, bytes, "USER QUOTA", L"Tallyhorn: Quota alert")) {
        // Found once the window exists, the dialog may not have had its controls then.
        HWND combo = GetDlgItem(dialog, kIdComments_ComboBox);
        const LARGE_INTEGER closed = Now();
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        while ((sample.asked < 0 || sample.saved < 0) && Milliseconds(closed, Now()) < 120000) {
            const LARGE_INTEGER asked = Now();
            DWORD_PTR count = 0;
            if (!SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 120000, &count)) break;
            sample.longestWait = std::max(sample.longestWait, Milliseconds(asked, Now()));
            if (sample.asked < 0 && !driver::MessageBoxes(client.processId).empty()) {
                sample.asked = Milliseconds(closed, Now());
            }
            if (sample.saved < 0 && SavedWithEmptyComment()) sample.saved = Milliseconds(closed, Now());
            Sleep(10);
        }
    }
    Stop(client);
    return sample;
}

// Runs StartWithHistory and prints each figure's median.
void ReportLoad(const char* what, std::size_t bytes, int runs) {
    std::vector<double> shown, responsive, filled, longest;
    for (int i = 0; i < runs; ++i) {
        const LoadSample sample = StartWithHistory(bytes);
        if (sample.shown >= 0) shown.push_back(sample.shown);
        if (sample.responsive >= 0) responsive.push_back(sample.responsive);
        if (sample.filled >= 0) filled.push_back(sample.filled);
        longest.push_back(sample.longestWait);
    }
    std::vector<double> hidden, exited, asked, saved, longestRefused;
    for (int i = 0; i < runs; ++i) {
        const CloseSample close = CloseAsSoonAsShown(bytes);
        if (close.hidden >= 0) hidden.push_back(close.hidden);
        if (close.exited >= 0) exited.push_back(close.exited);
        const RefusedSample refused = RefusedCloseAsSoonAsShown(bytes);
        if (refused.asked >= 0) asked.push_back(refused.asked);
        if (refused.saved >= 0) saved.push_back(refused.saved);
        longestRefused.push_back(refused.longestWait);
    }
    std::printf("%s (%zu entries)\n", what, WriteHistory(bytes));
    Report("  start to dialog shown", shown);
    Report("  start to responsive (first answer once shown)", responsive);
    Report("  start to every entry in the drop-down", filled);
    Report("  longest wait for an answer until then", longest);
    Report("  close as soon as shown, to the dialog off screen", hidden);
    Report("  close as soon as shown, to program exit", exited);
    Report("  quota close as soon as shown, to the question", asked);
    Report("  quota close as soon as shown, to the history saved", saved);
    Report("  quota close: longest wait for an answer till saved", longestRefused);
}

// Asks the script around the bench to measure the dialog's CPU time for the next
// `seconds` (Wine reports no CPU times for other processes, so Linux measures them).
void MeasureCpu(const char* label, int seconds) {
    WriteBytes(std::string(kFolder) + "measure", std::string(label) + "\n" + std::to_string(seconds) + "\n");
    Sleep(static_cast<DWORD>(seconds) * 1000 + 1500);
}

driver::Program StartServer(const std::string& mode) {
    const std::string ready = std::string(kFolder) + "ready";
    DeleteFileA(ready.c_str());
    driver::Program server =
        driver::StartProgram(serverExe, "--mode " + mode + " --seconds 300 --ready \"" + ready + "\"", -1, kFolder);
    for (int i = 0; i < 500 && GetFileAttributesA(ready.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(20);
    return server;
}

void Stop(driver::Program& program) {
    if (program.handles.process && !driver::WaitForExit(program, 0)) {
        TerminateProcess(program.handles.process.get(), 0);
        driver::WaitForExit(program, 5000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: client_bench CLIENT.exe COMMENT_SERVER.exe [RUNS]\n");
        return 2;
    }
    SetProcessDPIAware();
    clientExe = argv[1];
    serverExe = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    CreateDirectoryA(kFolder, nullptr);
    if (!CopyFileA(clientExe.c_str(), (std::string(kFolder) + "TallyhornClient.exe").c_str(), FALSE)) {
        std::fprintf(stderr, "client_bench: cannot copy %s\n", clientExe.c_str());
        return 1;
    }
    const std::string history = HistoryPath();
    DeleteFileA(history.c_str());

    Report("start to dialog shown", StartToShown(runs));

    // A history of 100,000 entries of 33 bytes (3.3 MB), and one of 20 MB, in no order.
    ReportLoad("history of 100,000 entries", 3300000, runs);
    ReportLoad("history of 20 MB", 20u << 20, std::min(runs, 2));
    DeleteFileA(history.c_str());

    // OK to program exit against an immediate acknowledgement.
    driver::Program server = StartServer("ack");
    std::vector<double> okToExit;
    for (int i = 0; i < runs; ++i) {
        WriteJob("COMMENT", std::to_string(i));
        driver::Program client = StartClient();
        HWND dialog = driver::FindDialog(client.processId, 60000);
        if (!dialog || !driver::WaitForText(dialog, "Tallyhorn: enter comment", 60000)) continue;
        const LARGE_INTEGER clicked = Now();
        driver::ClickButton(GetDlgItem(dialog, kIdOKBtn));
        if (driver::WaitForExit(client, 30000)) okToExit.push_back(Milliseconds(clicked, Now()));
        Stop(client);
    }
    Stop(server);
    Report("OK to program exit (acknowledgement on loopback)", okToExit);

    // CPU time while the countdown runs (quota mode) and while the watchdog waits.
    WriteJob("USER QUOTA", "1");
    driver::Program quota = StartClient();
    HWND quotaDialog = driver::FindDialog(quota.processId, 60000);
    if (quotaDialog && driver::WaitForText(quotaDialog, "Tallyhorn: Quota alert", 60000)) {
        Sleep(1000);
        MeasureCpu("waiting, countdown running", 10);
    }
    Stop(quota);

    driver::Program silent = StartServer("silent");
    WriteJob("COMMENT", "1");
    driver::Program comment = StartClient();
    HWND commentDialog = driver::FindDialog(comment.processId, 60000);
    if (commentDialog && driver::WaitForText(commentDialog, "Tallyhorn: enter comment", 60000)) {
        driver::ClickButton(GetDlgItem(commentDialog, kIdOKBtn));
        Sleep(1000);
        MeasureCpu("waiting, watchdog running (silent server)", 7);
    }
    Stop(comment);
    Stop(silent);
    return 0;
}
