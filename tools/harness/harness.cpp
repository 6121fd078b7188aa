// Print-host harness: loads Tallyhorn.dll and calls Handle_Print_Job as a print host
// does, from one or more threads at once, and prints each verdict and its time; or, with
// --check, checks an installation without calling the export.
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/windows/handles.h"
#include "common/windows/system_libraries.h"
#include "tools/harness/hook_export.h"
#include "tools/harness/installation_check.h"
#include "tools/tool_handles.h"

namespace {

using tallyhorn::harness::BesideThisProgram;
using tallyhorn::harness::HandlePrintJob;
using tallyhorn::harness::kExportName;
using tallyhorn::harness::kExportOrdinal;

const char kUsage[] =
    "Usage: Tallyhorn_Harness [options] DEVICE DOCUMENT JOBID JOBTYPE\n"
    "       Tallyhorn_Harness --check [--dll PATH]\n"
    "       Tallyhorn_Harness /? | -h | --help\n"
    "Calls Handle_Print_Job of Tallyhorn.dll as a print host does and prints each verdict.\n"
    "  --check             check the installation instead, one line each (OK or FAIL and\n"
    "                      what to do): settings, folders, monitor, library, event source,\n"
    "                      dialog, server, and every installed file and folder (who owns\n"
    "                      and may write it, links, programs not ours); then RESULT: PASS\n"
    "                      or RESULT: FAIL <n>. Calls no export, starts no monitor and\n"
    "                      makes nothing\n"
    "  --dll PATH          the hook library (default: Tallyhorn.dll beside this program)\n"
    "  --threads N         N calls at once from N threads, with job ids JOBID, JOBID+1, ...\n"
    "  --by-ordinal        call the export through ordinal 1 instead of its name\n"
    "  --null-device       pass a null pointer as the device name\n"
    "  --null-document     pass a null pointer as the document name\n"
    "  --escapes           read \\uXXXX in DEVICE and DOCUMENT as one UTF-16 code unit\n"
    "  --repeat-document N the document name N times over (names longer than a command line)\n"
    "  --thread-locale ID  the thread locale (hexadecimal LCID, e.g. 040B) in force when the\n"
    "                      library is loaded, which gives the log's time separator\n"
    "Exit status: 0 when every call returned (and after this help), 1 bad usage,\n"
    "2 library not loaded, 3 the export is missing or its name and ordinal differ;\n"
    "with --check 0 when every line is OK, else the sum of 2 (installation, settings or\n"
    "permissions), 4 (monitor missing) and 8 (server does not answer).\n";

struct Options {
    bool help = false;
    bool check = false;
    std::wstring dll;
    int threads = 1;
    bool byOrdinal = false;
    bool nullDevice = false;
    bool nullDocument = false;
    bool escapes = false;
    long repeatDocument = 1;
    LCID threadLocale = 0;
    std::wstring device;
    std::wstring document;
    std::int32_t jobId = 0;
    std::int32_t jobType = 0;
};

std::optional<long long> Number(const wchar_t* text, long long low, long long high) {
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = std::wcstoll(text, &end, 10);
    if (errno != 0 || end == text || *end != L'\0' || value < low || value > high) return std::nullopt;
    return value;
}

std::wstring Unescaped(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 5 < text.size() && text[i + 1] == L'u') {
            const std::wstring hex = text.substr(i + 2, 4);
            wchar_t* end = nullptr;
            const unsigned long unit = std::wcstoul(hex.c_str(), &end, 16);
            if (hex.size() == 4 && *end == L'\0') {
                out += static_cast<wchar_t>(unit);
                i += 5;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::optional<Options> Parse(int argc, wchar_t** argv) {
    Options options;
    std::vector<std::wstring> positional;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"/?" || arg == L"-h" || arg == L"--help") {
            options.help = true;
            return options;
        } else if (arg == L"--check") {
            options.check = true;
        } else if (arg == L"--dll" && hasValue) {
            options.dll = argv[++i];
        } else if (arg == L"--threads" && hasValue) {
            const auto n = Number(argv[++i], 1, 1024);
            if (!n) return std::nullopt;
            options.threads = static_cast<int>(*n);
        } else if (arg == L"--repeat-document" && hasValue) {
            const auto n = Number(argv[++i], 1, 10000000);
            if (!n) return std::nullopt;
            options.repeatDocument = static_cast<long>(*n);
        } else if (arg == L"--thread-locale" && hasValue) {
            wchar_t* end = nullptr;
            const unsigned long lcid = std::wcstoul(argv[++i], &end, 16);
            if (*end != L'\0' || lcid == 0 || lcid > 0xFFFFF) return std::nullopt;
            options.threadLocale = static_cast<LCID>(lcid);
        } else if (arg == L"--by-ordinal") {
            options.byOrdinal = true;
        } else if (arg == L"--null-device") {
            options.nullDevice = true;
        } else if (arg == L"--null-document") {
            options.nullDocument = true;
        } else if (arg == L"--escapes") {
            options.escapes = true;
        } else if (arg.rfind(L"--", 0) == 0) {
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (options.dll.empty()) options.dll = BesideThisProgram(tallyhorn::harness::kLibraryName);
    // A full path: a bare name would now be looked for in the system folder only.
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(options.dll.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return std::nullopt;
    full.resize(length);
    options.dll = std::move(full);
    if (options.check) {
        if (!positional.empty()) return std::nullopt;
        return options;
    }
    if (positional.size() != 4) return std::nullopt;
    const auto jobId = Number(positional[2].c_str(), INT32_MIN, INT32_MAX);
    const auto jobType = Number(positional[3].c_str(), INT32_MIN, INT32_MAX);
    if (!jobId || !jobType) return std::nullopt;
    // Job ids of the threads follow each other; they must stay in 32 bits.
    if (*jobId + options.threads - 1 > INT32_MAX) return std::nullopt;
    options.device = options.escapes ? Unescaped(positional[0]) : positional[0];
    options.document = options.escapes ? Unescaped(positional[1]) : positional[1];
    std::wstring repeated;
    for (long i = 0; i < options.repeatDocument; ++i) repeated += options.document;
    options.document = std::move(repeated);
    options.jobId = static_cast<std::int32_t>(*jobId);
    options.jobType = static_cast<std::int32_t>(*jobType);
    return options;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    tallyhorn::win::SearchSystemFolderOnly();
    const std::optional<Options> parsed = Parse(argc, argv);
    if (!parsed) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const Options& options = *parsed;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.check) return tallyhorn::harness::CheckInstallation(options.dll);

    if (options.threadLocale != 0 && !SetThreadLocale(options.threadLocale)) {
        std::fprintf(stderr, "cannot set the thread locale %04lx\n", static_cast<unsigned long>(options.threadLocale));
        return 1;
    }
    tallyhorn::win::UniqueModule library(LoadLibraryW(options.dll.c_str()));
    if (!library) {
        const DWORD error = GetLastError();
        std::fprintf(stderr, "cannot load %ls: error %lu\n", options.dll.c_str(), error);
        return 2;
    }
    std::string problem;
    const HandlePrintJob call = tallyhorn::harness::FindExport(library.get(), problem, options.byOrdinal);
    if (call == nullptr) {
        std::fprintf(stderr, "%ls: export %s at ordinal %u %s\n", options.dll.c_str(), kExportName.data(), kExportOrdinal,
                     problem.c_str());
        return 3;
    }
    std::printf("%ls: export %s at ordinal %u\n", options.dll.c_str(), kExportName.data(), kExportOrdinal);
    std::fflush(stdout);

    const wchar_t* device = options.nullDevice ? nullptr : options.device.c_str();
    const wchar_t* document = options.nullDocument ? nullptr : options.document.c_str();
    std::mutex output;
    // The calls start together once every thread exists. A manual-reset event rather than
    // std::latch: this compiler's latch can lose its wake-up and leave the threads asleep.
    // Without the event (it cannot be made) each call simply starts at once.
    const tallyhorn::win::UniqueHandle start(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::vector<std::thread> threads;
    for (int i = 0; i < options.threads; ++i) {
        threads.emplace_back([&, i] {
            const std::int32_t jobId = options.jobId + i;
            WaitForSingleObject(start.get(), INFINITE);
            const auto began = std::chrono::steady_clock::now();
            const std::uint32_t result = call(device, document, jobId, options.jobType);
            const auto took = std::chrono::steady_clock::now() - began;
            const unsigned verdict = result & 0xFF;
            const std::lock_guard<std::mutex> lock(output);
            std::printf("job %ld: verdict %u (%s) after %lld ms\n", static_cast<long>(jobId), verdict,
                        verdict != 0 ? "print" : "do not print",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
            std::fflush(stdout);
        });
    }
    SetEvent(start.get());
    for (auto& thread : threads) thread.join();
    return 0;
}
