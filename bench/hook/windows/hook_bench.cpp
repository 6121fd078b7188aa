// Figures of Tallyhorn.dll under real Win32 (or Wine): one call on the no-server and the
// missing-monitor paths, each beside a minimal program in this process that makes only
// the platform calls that path must make; how late a result is noticed; 32 calls at once.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/hook/windows/bench_support.h"

namespace {

using namespace tallyhorn::bench;

const std::string kProgDir = "C:\\th_bench\\";

void Settings(bool withServer) { WriteSettings(kProgDir, withServer); }

// ---- the minimal programs: the platform calls a path must make, and nothing else ----

void ReadSettings(char (&value)[2048]) {
    namespace facts = tallyhorn::facts;
    const char* file = facts::kSettingsFile.data();
    const char* section = facts::kSettingsSection.data();
    GetPrivateProfileStringA(section, facts::kProgDirKey.data(), "c:", value, sizeof value, file);
    for (std::string_view key : {facts::kServerIpKey, facts::kWriteToLogKey, facts::kLogDaysKey, facts::kFailClosedKey})
        GetPrivateProfileStringA(section, key.data(), "", value, sizeof value, file);
}

void OneLogLine(const std::string& debugFolder, const std::string& tempFolder, const std::string& logPath) {
    CreateDirectoryA(debugFolder.c_str(), nullptr);
    CreateDirectoryA(tempFolder.c_str(), nullptr);
    GetFileAttributesA(debugFolder.c_str());  // neither folder may be a reparse point
    GetFileAttributesA(tempFolder.c_str());
    SYSTEMTIME date{};
    GetLocalTime(&date);
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(logPath.c_str(), &found);
    FILETIME local{};
    WORD dosDate = 0, dosTime = 0;
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
        FileTimeToDosDateTime(&local, &dosDate, &dosTime);
    }
    HANDLE file = CreateFileA(logPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION information{};  // the log must be a file of its own
    GetFileInformationByHandle(file, &information);
    const DWORD size = GetFileSize(file, nullptr);
    char tail[128];
    DWORD read = 0;
    SetFilePointer(file, static_cast<LONG>(size > 128 ? size - 128 : 0), nullptr, FILE_BEGIN);
    ReadFile(file, tail, size > 128 ? 128 : size, &read, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_END);
    SYSTEMTIME time{};
    GetLocalTime(&time);
    const char line[] = "12:00:00  [1]\tServer IP is empty\r\n";
    DWORD written = 0;
    WriteFile(file, line, sizeof line - 1, &written, nullptr);
    CloseHandle(file);
}

struct PathCalls {
    std::string debugFolder = kProgDir + Text(tallyhorn::facts::kLogFolder);
    std::string tempFolder = kProgDir + Text(tallyhorn::facts::kJobFolder);
    std::string logPath = TodaysLog(kProgDir);
};

void MinimalNoServer(const PathCalls& paths) {
    char value[2048];
    ReadSettings(value);
    OneLogLine(paths.debugFolder, paths.tempFolder, paths.logPath);
}

void MinimalMissingMonitor(const PathCalls& paths) {
    char value[2048];
    ReadSettings(value);
    char device[64], document[64];
    WideCharToMultiByte(CP_ACP, 0, L"Bench Printer", -1, device, sizeof device, nullptr, nullptr);
    WideCharToMultiByte(CP_ACP, 0, L"Bench Document", -1, document, sizeof document, nullptr, nullptr);
    OneLogLine(paths.debugFolder, paths.tempFolder, paths.logPath);
    timeGetTime();
    OneLogLine(paths.debugFolder, paths.tempFolder, paths.logPath);
    char commandLine[] = "\"C:\\th_bench\\Tallyhorn_Mon.exe\" \"C:\\th_bench\\Temp\\1_1.txt\" \"Bench Printer\" \"Bench Document\" 1 1";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
    GetLastError();
    OneLogLine(paths.debugFolder, paths.tempFolder, paths.logPath);
    OneLogLine(paths.debugFolder, paths.tempFolder, paths.logPath);
}

// Median time of one run of each, in rounds that take turns so that drift hits both.
void Compare(const char* path, int rounds, int perRound, const std::function<void()>& hook,
             const std::function<void()>& minimal) {
    std::vector<double> hookTimes, minimalTimes;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < perRound; ++i) {
            const double began = NowMs();
            hook();
            hookTimes.push_back(NowMs() - began);
        }
        for (int i = 0; i < perRound; ++i) {
            const double began = NowMs();
            minimal();
            minimalTimes.push_back(NowMs() - began);
        }
    }
    std::sort(hookTimes.begin(), hookTimes.end());
    std::sort(minimalTimes.begin(), minimalTimes.end());
    const double hookMedian = hookTimes[hookTimes.size() / 2];
    const double minimalMedian = minimalTimes[minimalTimes.size() / 2];
    std::printf("%-16s hook %8.1f us   minimal %8.1f us   ratio %.2f   (median of %zu calls each)\n", path,
                hookMedian * 1000, minimalMedian * 1000, hookMedian / minimalMedian, hookTimes.size());
}

struct Spread {
    double min, median, max, mean;
};
Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (double v : values) sum += v;
    return {values.front(), values[values.size() / 2], values.back(), sum / static_cast<double>(values.size())};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hook_bench TALLYHORN_DLL TALLYHORN_MON_EXE\n");
        return 2;
    }
    const SavedSettings savedSettings;
    CreateDirectoryA(kProgDir.c_str(), nullptr);

    HMODULE library = LoadLibraryA(argv[1]);
    const HandlePrintJob call = LoadExport(library);
    if (call == nullptr) {
        std::fprintf(stderr, "cannot load %s from %s\n", kExportName.data(), argv[1]);
        return 2;
    }
    const PathCalls paths;
    const auto hookCall = [&] { call(L"Bench Printer", L"Bench Document", 1, 1); };

    std::printf("Tallyhorn.dll bench (times from QueryPerformanceCounter)\n");
    Settings(false);
    hookCall();  // the day's log exists from here on, as it does on a working server
    Compare("no server", 10, 200, hookCall, [&] { MinimalNoServer(paths); });
    Settings(true);
    DeleteFileA((kProgDir + "Tallyhorn_Mon.exe").c_str());
    Compare("missing monitor", 10, 20, hookCall, [&] { MinimalMissingMonitor(paths); });

    // From the monitor's rename of the result file to the call's return.
    CopyFileA(argv[2], (kProgDir + "Tallyhorn_Mon.exe").c_str(), FALSE);
    std::string script = "[Monitor]\r\nMode=result\r\nResult=0\r\nRecord=" + kProgDir + "rec_{job}.txt\r\n";
    constexpr int kLatencyJobs = 20;
    for (int job = 1; job <= kLatencyJobs; ++job) script += "Delay." + std::to_string(job) + "=" + std::to_string(job * 97 % 1000) + "\r\n";
    WriteBytes(kProgDir + "Tallyhorn_Mon.ini", script);
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    std::vector<double> latencies;
    for (int job = 1; job <= kLatencyJobs; ++job) {
        call(L"Bench Printer", L"Bench Document", job, 1);
        LARGE_INTEGER returned{};
        QueryPerformanceCounter(&returned);
        const std::string record = ReadBytes(kProgDir + "rec_" + std::to_string(job) + ".txt");
        const std::size_t at = record.find("ResultWritten=");
        if (at == std::string::npos) continue;
        const double written = std::stod(record.substr(at + 14));
        latencies.push_back((static_cast<double>(returned.QuadPart) - written) * 1000.0 / static_cast<double>(frequency.QuadPart));
    }
    if (!latencies.empty()) {
        const Spread s = SpreadOf(latencies);
        std::printf("result to return  min %6.1f ms  median %6.1f ms  mean %6.1f ms  max %6.1f ms  (%zu jobs; poll 500 ms)\n",
                    s.min, s.median, s.mean, s.max, latencies.size());
    }

    // 32 calls at once, each with its own monitor answering after 100 ms.
    WriteBytes(kProgDir + "Tallyhorn_Mon.ini", "[Monitor]\r\nMode=result\r\nDelay=100\r\nResult=0\r\n");
    const std::string logPath = TodaysLog(kProgDir);
    DeleteFileA(logPath.c_str());
    constexpr int kThreads = 32;
    std::vector<double> callTimes(kThreads);
    std::vector<unsigned> verdicts(kThreads);
    const StartGate start(kThreads);
    const double began = NowMs();
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < kThreads; ++i)
            threads.emplace_back([&, i] {
                start.ArriveAndWait();
                const double t0 = NowMs();
                verdicts[i] = call(L"Bench Printer", L"Bench Document", 1000 + i, 1) & 0xFF;
                callTimes[i] = NowMs() - t0;
            });
        start.OpenWhenAllWait(kThreads);
    }
    const double wall = NowMs() - began;
    const Spread s = SpreadOf(callTimes);
    const std::string log = ReadBytes(logPath);
    const auto lines = std::count(log.begin(), log.end(), '\n');
    std::printf("32 calls at once wall %6.0f ms  per call min %6.0f  median %6.0f  max %6.0f ms  verdicts 0: %d/32  log lines kept %ld/%d\n",
                wall, s.min, s.median, s.max, static_cast<int>(std::count(verdicts.begin(), verdicts.end(), 0u)),
                static_cast<long>(lines), kThreads * 6);

    FreeLibrary(library);
    return 0;
}
