// Tallyhorn.dll under load, on Windows or Wine (bench/hook/load.sh): several print hosts
// with many calls at once each, calls at once while the log is kept shut, then a long
// row of calls in one host. Prints whether every verdict was the monitor's, how many log
// lines were kept, and the host's handle count and working set before and after the row.
//   hook_load DLL MONITOR [HOSTS [THREADS [SEQUENTIAL]]]     (default 4 16 10000)
//   hook_load --host DLL THREADS FIRSTJOB                    (one host, started by the above;
//                                                            exit code: verdicts that were 0)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/hook/windows/bench_support.h"

namespace {

using namespace tallyhorn::bench;
using tallyhorn::win::ProcessHandles;
using tallyhorn::win::UniqueFile;
using tallyhorn::win::UniqueFind;

const std::string kProgDir = "C:\\th_load\\";
const std::string kLogFolder = kProgDir + Text(tallyhorn::facts::kLogFolder);
// The gate at which the calls of all hosts wait, so that they start together.
const char kReadyName[] = "th_load_ready";
const char kGoName[] = "th_load_go";

// A document name that ends in a backslash: a command line that let its closing quote be
// read as an escaped one would leave the monitor three arguments and no job id (see the
// monitor's script below).
const wchar_t kDevice[] = L"Load Printer";
const wchar_t kDocument[] = L"C:\\reports\\";

// Handles open in this process. Wine's GetProcessHandleCount answers 0, so each handle
// value is asked about instead (handle values are multiples of 4).
unsigned long OpenHandles() {
    unsigned long count = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

void PrintUse(const char* when) {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("  %-22s handles %5lu   working set %7.1f MiB   private %7.1f MiB\n", when, OpenHandles(),
                static_cast<double>(memory.WorkingSetSize) / 1048576.0,
                static_cast<double>(memory.PagefileUsage) / 1048576.0);
    std::fflush(stdout);
}

// Lines of every hook log file in the folder: job id -> lines, and lines that break the
// layout "hh:nn:ss  [JobId]<tab>message".
struct LogCount {
    std::map<long, int> perJob;
    long broken = 0;
    long total = 0;
};
LogCount CountLogLines() {
    LogCount count;
    WIN32_FIND_DATAA found{};
    UniqueFind search(FindFirstFileA((kLogFolder + "Tallyhorn_Hk_*.log").c_str(), &found));
    if (!search) return count;
    do {
        const std::string bytes = ReadBytes(kLogFolder + found.cFileName);
        for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
            const std::string line = bytes.substr(at, end - at);
            ++count.total;
            long job = 0;
            char tab = 0;
            if (line.size() > 12 && line.compare(8, 3, "  [") == 0 &&
                std::sscanf(line.c_str() + 11, "%ld]%c", &job, &tab) == 2 && tab == '\t')
                ++count.perJob[job];
            else
                ++count.broken;
        }
    } while (FindNextFileA(search.get(), &found));
    return count;
}

void RemoveLogs() {
    WIN32_FIND_DATAA found{};
    UniqueFind search(FindFirstFileA((kLogFolder + "Tallyhorn_Hk_*.log").c_str(), &found));
    if (!search) return;
    do DeleteFileA((kLogFolder + found.cFileName).c_str());
    while (FindNextFileA(search.get(), &found));
}

// Every job of a result path writes six lines.
constexpr int kLinesPerJob = 6;

void PrintKept(const LogCount& count, long firstJob, long jobs) {
    long kept = 0;
    long whole = 0;
    for (long job = firstJob; job < firstJob + jobs; ++job) {
        const auto found = count.perJob.find(job);
        const int lines = found == count.perJob.end() ? 0 : found->second;
        kept += std::min(lines, kLinesPerJob);
        whole += lines == kLinesPerJob ? 1 : 0;
    }
    std::printf("  log lines kept %ld/%ld   jobs with all six lines %ld/%ld   lines out of layout %ld\n", kept,
                jobs * kLinesPerJob, whole, jobs, count.broken);
}

// ---- one host: THREADS calls at once, when the event says go; exit code = right verdicts ----

int Host(const char* dll, int threads, long firstJob) {
    HMODULE library = LoadLibraryA(dll);
    const HandlePrintJob call = library ? LoadExport(library) : nullptr;
    if (call == nullptr) return 255;
    const StartGate gate(kReadyName, kGoName);
    std::vector<unsigned> verdicts(static_cast<std::size_t>(threads), 1);
    {
        std::vector<std::jthread> calls;
        for (int i = 0; i < threads; ++i)
            calls.emplace_back([&, i] {
                gate.ArriveAndWait();
                verdicts[static_cast<std::size_t>(i)] = call(kDevice, kDocument, firstJob + i, 1) & 0xFF;
            });
    }
    return static_cast<int>(std::count(verdicts.begin(), verdicts.end(), 0u));
}

// ---- the run ----

void ConcurrentHosts(const std::string& self, const std::string& dll, int hosts, int threads) {
    std::printf("%d hosts x %d calls at once\n", hosts, threads);
    constexpr long kFirstJob = 1000;  // host h calls for jobs kFirstJob + h * threads, ...
    RemoveLogs();
    const long jobs = static_cast<long>(hosts) * threads;
    const StartGate gate(jobs, kReadyName, kGoName);
    std::vector<ProcessHandles> started;
    for (int host = 0; host < hosts; ++host) {
        std::string line = "\"" + self + "\" --host \"" + dll + "\" " + std::to_string(threads) + " " +
                           std::to_string(kFirstJob + host * threads);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            started.emplace_back(process);
    }
    gate.OpenWhenAllWait(static_cast<long>(started.size()) * threads);
    const double began = NowMs();
    long right = 0;
    for (const ProcessHandles& host : started) {
        WaitForSingleObject(host.process.get(), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(host.process.get(), &code);
        right += code <= static_cast<DWORD>(threads) ? static_cast<long>(code) : 0;
    }
    std::printf("  wall %.0f ms   hosts started %zu/%d   verdicts right %ld/%ld\n", NowMs() - began,
                started.size(), hosts, right, jobs);
    PrintKept(CountLogLines(), kFirstJob, jobs);
}

// Calls at once while another program holds the day's log open for reading without
// letting others write: each line is lost, and the call must not hang on it.
void LogKeptShut(HandlePrintJob call, int threads) {
    std::printf("%d calls at once while another program keeps the day's log shut\n", threads);
    RemoveLogs();
    WriteBytes(TodaysLog(kProgDir), "");
    UniqueFile reader(CreateFileA(TodaysLog(kProgDir).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<double> times(static_cast<std::size_t>(threads));
    long right = 0;
    {
        const StartGate gate(threads);
        std::vector<std::jthread> calls;
        for (int i = 0; i < threads; ++i)
            calls.emplace_back([&, i] {
                gate.ArriveAndWait();
                const double t0 = NowMs();
                const bool zero = (call(kDevice, kDocument, 5000 + i, 1) & 0xFF) == 0;
                times[static_cast<std::size_t>(i)] = NowMs() - t0;
                if (zero) InterlockedIncrement(&right);
            });
        gate.OpenWhenAllWait(threads);
    }
    reader.reset();
    std::sort(times.begin(), times.end());
    std::printf("  per call median %.0f ms  max %.0f ms   verdicts right %ld/%d   log bytes written %zu\n",
                times[times.size() / 2], times.back(), right, threads, ReadBytes(TodaysLog(kProgDir)).size());
}

void SequentialCalls(HandlePrintJob call, long calls) {
    std::printf("%ld calls one after another in this host\n", calls);
    RemoveLogs();
    constexpr long kFirstJob = 100000;
    PrintUse("before the first call");
    long right = (call(kDevice, kDocument, kFirstJob, 1) & 0xFF) == 0 ? 1 : 0;
    PrintUse("after the first call");
    const double began = NowMs();
    std::vector<double> times;
    for (long job = kFirstJob + 1; job < kFirstJob + calls; ++job) {
        const double t0 = NowMs();
        right += (call(kDevice, kDocument, static_cast<std::int32_t>(job), 1) & 0xFF) == 0 ? 1 : 0;
        times.push_back(NowMs() - t0);
        if ((job - kFirstJob) % 1000 == 0) {
            std::printf("  ... %ld calls, %ld verdicts right\n", job - kFirstJob + 1, right);
            std::fflush(stdout);
        }
    }
    PrintUse("after the last call");
    std::sort(times.begin(), times.end());
    std::printf("  wall %.0f s   verdicts right %ld/%ld", (NowMs() - began) / 1000.0, right, calls);
    if (!times.empty())
        std::printf("   per call median %.0f ms  max %.0f ms", times[times.size() / 2], times.back());
    std::printf("\n");
    PrintKept(CountLogLines(), kFirstJob, calls);
}

long Count(const char* text, long fallback) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--host")
        return Host(argv[2], static_cast<int>(Count(argv[3], 1)), Count(argv[4], 1));
    if (argc < 3 || argc > 6) {
        std::fprintf(stderr, "usage: hook_load DLL MONITOR [HOSTS [THREADS [SEQUENTIAL]]]\n");
        return 2;
    }
    const int hosts = static_cast<int>(argc > 3 ? Count(argv[3], 4) : 4);
    const int threads = static_cast<int>(argc > 4 ? Count(argv[4], 16) : 16);
    const long sequential = argc > 5 ? Count(argv[5], 10000) : 10000;

    const SavedSettings savedSettings;
    CreateDirectoryA(kProgDir.c_str(), nullptr);
    CopyFileA(argv[2], (kProgDir + "Tallyhorn_Mon.exe").c_str(), FALSE);
    // Every monitor answers "do not print" at once. One that is given no job id (its
    // arguments shifted) writes nothing, so the call waits 120 s and answers print: a
    // wrong verdict.
    WriteBytes(kProgDir + "Tallyhorn_Mon.ini", "[Monitor]\r\nMode=result\r\nResult=0\r\nMode.=none\r\n");
    WriteSettings(kProgDir, true);

    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ConcurrentHosts(self, argv[1], hosts, threads);

    HMODULE library = LoadLibraryA(argv[1]);
    const HandlePrintJob call = library ? LoadExport(library) : nullptr;
    if (call == nullptr) {
        std::fprintf(stderr, "cannot load %s from %s\n", kExportName.data(), argv[1]);
        return 2;
    }
    LogKeptShut(call, threads);
    SequentialCalls(call, sequential);

    FreeLibrary(library);
    return 0;
}
