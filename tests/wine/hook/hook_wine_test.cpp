// The real Tallyhorn.dll under Wine, called through the print-host harness, with the
// stand-in monitor in the test's own installation folder and the settings file in the
// prefix's Windows directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/windows/handles.h"
#include "common/windows/sockets.h"
#include "version.h"
#include "wine_helpers.h"

namespace tallyhorn::wine_test {
namespace {

struct Binaries {
    std::string harness;
    std::string dll;
    std::string monitor;
};
Binaries binaries;

// One line of the hook log split into its pieces; empty when it breaks the layout
// "hh:nn:ss  [JobId]<tab>message".
struct LogLine {
    char separator;
    std::string jobId;
    std::string message;
};
std::optional<LogLine> ParseLogLine(const std::string& line) {
    const auto digit = [&](std::size_t at) { return at < line.size() && line[at] >= '0' && line[at] <= '9'; };
    if (line.size() < 13 || !digit(0) || !digit(1) || !digit(3) || !digit(4) || !digit(6) || !digit(7) ||
        line[2] != line[5] || line.compare(8, 3, "  [") != 0)
        return std::nullopt;
    const std::size_t close = line.find("]\t", 11);
    if (close == std::string::npos || close == 11) return std::nullopt;
    const std::string jobId = line.substr(11, close - 11);
    if (jobId.find_first_not_of("-0123456789") != std::string::npos) return std::nullopt;
    return LogLine{line[2], jobId, line.substr(close + 2)};
}

class HookUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        progDir = std::string("C:\\th_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
        RemoveTree(progDir);
        ASSERT_TRUE(CreateDirectoryA(progDir.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(binaries.monitor.c_str(), (progDir + "Tallyhorn_Mon.exe").c_str(), FALSE));
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        settingsFile = std::string(windows) + "\\Tallyhorn.ini";
        if (Exists(settingsFile)) savedSettings = ReadBytes(settingsFile);
        DeleteFileA(settingsFile.c_str());
    }

    void TearDown() override {
        if (savedSettings)
            WriteBytes(settingsFile, *savedSettings);
        else
            DeleteFileA(settingsFile.c_str());
        RemoveTree(progDir);
    }

    // "Tallyhorn.ini" with these lines under [Tallyhorn]; by default this test's folder
    // and a server address.
    void Settings(const std::vector<std::string>& lines) {
        std::string text = "[Tallyhorn]\r\n";
        for (const auto& line : lines) text += line + "\r\n";
        WriteBytes(settingsFile, text);
    }
    void UsualSettings() { Settings({"ProgDir=" + progDir.substr(0, progDir.size() - 1), "Tallyhorn ServerIP=127.0.0.1"}); }

    // The monitor's script; every monitor records its start in rec_<JobId>.txt.
    void Script(const std::vector<std::string>& lines) {
        std::string text = "[Monitor]\r\nRecord=" + progDir + "rec_{job}.txt\r\n";
        for (const auto& line : lines) text += line + "\r\n";
        WriteBytes(progDir + "Tallyhorn_Mon.ini", text);
    }

    ProgramRun Harness(const std::string& arguments) {
        return wine_test::Run(Quoted(binaries.harness) + " --dll " + Quoted(binaries.dll) + " " + arguments);
    }

    // JobId -> verdict, from the harness's lines "job N: verdict V ...".
    static std::map<long, int> Verdicts(const ProgramRun& run) {
        std::map<long, int> verdicts;
        for (const auto& line : SplitLines(run.output, "\n")) {
            long job = 0;
            int verdict = 0;
            if (std::sscanf(line.c_str(), "job %ld: verdict %d", &job, &verdict) == 2) verdicts[job] = verdict;
        }
        return verdicts;
    }
    static int Verdict(const ProgramRun& run, long job) {
        const auto verdicts = Verdicts(run);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        const auto found = verdicts.find(job);
        EXPECT_NE(found, verdicts.end()) << run.output;
        return found == verdicts.end() ? -1 : found->second;
    }

    std::string LogPath(const std::string& folder = "") const {
        return (folder.empty() ? progDir : folder) + "Debug\\Tallyhorn_Hk_" + TodaysLogDate() + ".log";
    }

    // The messages of one job in the day's log, after checking every line's layout.
    std::vector<std::string> Messages(long jobId, const std::string& logPath = "") {
        const std::string bytes = ReadBytes(logPath.empty() ? LogPath() : logPath);
        EXPECT_TRUE(bytes.empty() || (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0));
        std::vector<std::string> messages;
        for (const auto& line : SplitLines(bytes)) {
            const auto parsed = ParseLogLine(line);
            EXPECT_TRUE(parsed) << "not a hook log line: " << line.substr(0, 200);
            if (parsed && parsed->jobId == std::to_string(jobId)) messages.push_back(parsed->message);
        }
        return messages;
    }

    // What the monitor of one job recorded: key -> value.
    std::map<std::string, std::string> Record(long jobId) {
        std::map<std::string, std::string> record;
        for (const auto& line : SplitLines(ReadBytes(progDir + "rec_" + std::to_string(jobId) + ".txt"))) {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos) record[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return record;
    }

    // The job file path that the call logged, or empty.
    static std::string LoggedJobFile(const std::vector<std::string>& messages) {
        const std::string prefix = "Starting the Tallyhorn monitor, Job file is ";
        for (const auto& message : messages)
            if (message.rfind(prefix, 0) == 0) return message.substr(prefix.size());
        return {};
    }

    std::string progDir;
    std::string settingsFile;
    std::optional<std::string> savedSettings;
};

TEST_F(HookUnderWine, ResultZeroIsTheVerdictWithEveryLineAndTheMonitorsCommandLine) {
    UsualSettings();
    Script({"Mode=result", "Delay=200", "Result=0"});
    const ProgramRun run = Harness("\"Office Laser\" \"Report 2026.docx\" 42 1");
    EXPECT_EQ(Verdict(run, 42), 0);

    const std::vector<std::string> messages = Messages(42);
    const std::string jobFile = LoggedJobFile(messages);
    ASSERT_EQ(jobFile.rfind(progDir + "Temp\\", 0), 0u) << jobFile;
    const std::string tick = jobFile.substr(progDir.size() + 5, jobFile.size() - progDir.size() - 5 - 7);
    EXPECT_EQ(jobFile.substr(jobFile.size() - 7), "_42.txt");
    EXPECT_FALSE(tick.empty());
    EXPECT_EQ(tick.find_first_not_of("0123456789"), std::string::npos) << tick;
    const std::vector<std::string> expected = {
        "Handle_Print_Job, DeviceName = Office Laser,  JobType = 1,  pDocumentName = Report 2026.docx",
        "Starting the Tallyhorn monitor, Job file is " + jobFile,
        "Monitor created OK",
        "Rslt file " + jobFile + ".rslt found",
        "Monitor Handle closed OK",
        "Result = 0"};
    EXPECT_EQ(messages, expected);

    auto record = Record(42);
    EXPECT_EQ(record["CommandLine"], "\"" + progDir + "Tallyhorn_Mon.exe\" \"" + jobFile +
                                         "\" \"Office Laser\" \"Report 2026.docx\" 42 1");
    EXPECT_EQ(record["StartupFlags"], "1");  // STARTF_USESHOWWINDOW
    EXPECT_EQ(record["ShowWindow"], "2");    // SW_SHOWMINIMIZED
    EXPECT_FALSE(Exists(jobFile + ".rslt"));
    EXPECT_TRUE(IsFolder(progDir + "Temp"));
}

TEST_F(HookUnderWine, ResultValuesFollowTheNumberRule) {
    UsualSettings();
    // Jobs 1.. each get their own result text; a blank key value writes "Result=".
    const std::vector<std::pair<std::string, int>> cases = {
        {"0", 0},     {"00", 0}, {"+0", 0},   {"$0", 0},     {"0x0", 0},  {"0X0", 0}, {"1", 1},
        {"-1", 1},    {"5", 1},  {"$A", 1},   {"0x10", 1},   {"false", 1}, {"", 1},   {"1.0", 1}};
    std::vector<std::string> script = {"Mode=result"};
    for (std::size_t i = 0; i < cases.size(); ++i) script.push_back("Result." + std::to_string(i + 1) + "=" + cases[i].first);
    const long emptyFile = static_cast<long>(cases.size()) + 1;
    const long binaryFile = emptyFile + 1;
    script.push_back("Mode." + std::to_string(emptyFile) + "=empty");
    script.push_back("Mode." + std::to_string(binaryFile) + "=binary");
    Script(script);

    const ProgramRun run = Harness("--threads " + std::to_string(binaryFile) + " P D 1 1");
    const auto verdicts = Verdicts(run);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const long job = static_cast<long>(i) + 1;
        EXPECT_EQ(verdicts.count(job) ? verdicts.at(job) : -1, cases[i].second) << "Result=" << cases[i].first;
        EXPECT_EQ(Messages(job).back(), cases[i].second ? "Result = 1" : "Result = 0");
    }
    EXPECT_EQ(verdicts.count(emptyFile) ? verdicts.at(emptyFile) : -1, 1) << "empty result file";
    EXPECT_EQ(verdicts.count(binaryFile) ? verdicts.at(binaryFile) : -1, 1) << "binary result file";
}

TEST_F(HookUnderWine, MissingMonitorIsErrorTwoWithTheCommandLineAndNoWait) {
    UsualSettings();
    DeleteFileA((progDir + "Tallyhorn_Mon.exe").c_str());
    const ProgramRun run = Harness("P D -7 3");
    EXPECT_EQ(Verdict(run, -7), 1);
    const std::vector<std::string> messages = Messages(-7);
    const std::string jobFile = LoggedJobFile(messages);
    const std::vector<std::string> expected = {
        "Handle_Print_Job, DeviceName = P,  JobType = 3,  pDocumentName = D",
        "Starting the Tallyhorn monitor, Job file is " + jobFile,
        "Error creating Monitor,   error 2, Command Line=\"" + progDir + "Tallyhorn_Mon.exe\" \"" + jobFile +
            "\" \"P\" \"D\" -7 3",
        "Result = 1"};
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(jobFile.substr(jobFile.size() - 7), "_-7.txt");
}

TEST_F(HookUnderWine, WithoutServerAddressOnlyThatLineAndNoMonitor) {
    Settings({"ProgDir=" + progDir});  // given with its backslash: used as it is
    Script({"Mode=result", "Result=0"});
    const ProgramRun run = Harness("P D 5 1");
    EXPECT_EQ(Verdict(run, 5), 1);
    EXPECT_EQ(Messages(5), std::vector<std::string>{"Server IP is empty"});
    EXPECT_TRUE(IsFolder(progDir + "Debug"));
    EXPECT_TRUE(IsFolder(progDir + "Temp"));
    Sleep(300);
    EXPECT_FALSE(Exists(progDir + "rec_5.txt"));
}

TEST_F(HookUnderWine, WithoutSettingsFileTheLogIsAtTheRootOfDriveC) {
    const bool hadDebug = Exists("C:\\Debug");
    const bool hadTemp = Exists("C:\\Temp");
    const ProgramRun run = Harness("P D 77 1");
    EXPECT_EQ(Verdict(run, 77), 1);
    EXPECT_EQ(Messages(77, LogPath("C:\\")), std::vector<std::string>{"Server IP is empty"});
    EXPECT_TRUE(IsFolder("C:\\Temp"));
    if (!hadDebug) RemoveTree("C:\\Debug");
    if (!hadTemp) RemoveTree("C:\\Temp");
}

TEST_F(HookUnderWine, WriteToLogZeroAndHexZeroSwitchLoggingOffButFalseDoesNot) {
    for (const auto& [value, logging] : std::vector<std::pair<std::string, bool>>{{"0", false}, {"0x0", false}, {"false", true}}) {
        SCOPED_TRACE(value);
        RemoveTree(progDir + "Debug");
        RemoveTree(progDir + "Temp");
        Settings({"ProgDir=" + progDir, "WriteToLog=" + value});
        EXPECT_EQ(Verdict(Harness("P D 8 1"), 8), 1);
        EXPECT_EQ(IsFolder(progDir + "Debug"), logging);
        EXPECT_EQ(IsFolder(progDir + "Temp"), logging);
        EXPECT_EQ(Messages(8), logging ? std::vector<std::string>{"Server IP is empty"} : std::vector<std::string>{});
    }
}

TEST_F(HookUnderWine, SixtyFourConcurrentCallsKeepEveryLineOfTheSharedLog) {
    UsualSettings();
    Script({"Mode=result", "Delay=100", "Result=0"});
    // The calls' lines take turns inside the library: none meets the file held by another.
    constexpr long kCalls = 64;
    const ProgramRun run = Harness("--threads " + std::to_string(kCalls) + " P D 1000 1");
    const auto verdicts = Verdicts(run);
    EXPECT_EQ(verdicts.size(), static_cast<std::size_t>(kCalls)) << run.output;
    for (long job = 1000; job < 1000 + kCalls; ++job) {
        SCOPED_TRACE(job);
        EXPECT_EQ(verdicts.count(job) ? verdicts.at(job) : -1, 0);
        const std::vector<std::string> messages = Messages(job);
        ASSERT_EQ(messages.size(), 6u);
        EXPECT_EQ(messages[2], "Monitor created OK");
        EXPECT_EQ(messages[5], "Result = 0");
    }
    EXPECT_EQ(SplitLines(ReadBytes(LogPath())).size(), static_cast<std::size_t>(6 * kCalls));
}

TEST_F(HookUnderWine, ByOrdinalTheSameExportAnswers) {
    UsualSettings();
    Script({"Mode=result", "Result=0"});
    const ProgramRun run = Harness("--by-ordinal P D 9 1");
    EXPECT_NE(run.output.find("export Handle_Print_Job@16 at ordinal 1"), std::string::npos) << run.output;
    EXPECT_EQ(Verdict(run, 9), 0);
}

// The monitor reads its arguments with the C runtime, by the Windows argument rules.
TEST_F(HookUnderWine, HostileNamesReachTheMonitorAsFiveArgumentsAndForgeNoLogLine) {
    UsualSettings();
    Script({"Mode=result", "Result=0"});
    const struct {
        long job;
        std::string device, document;         // as the harness gets them (--escapes)
        std::string deviceRead, documentRead;  // what the monitor gets
        std::string logged;                    // the first log line's names
    } cases[] = {
        {11, "Laser \"A\"", "x\" \"99\" \"y", "Laser 'A'", "x' '99' 'y", "Laser \"A\",  JobType = 2,  pDocumentName = x\" \"99\" \"y"},
        {12, "\\\\srv\\queue\\", "C:\\reports\\", "\\\\srv\\queue\\", "C:\\reports\\",
         "\\\\srv\\queue\\,  JobType = 2,  pDocumentName = C:\\reports\\"},
        {13, "P\\\\\\", "q\"\\", "P\\\\\\", "q'\\", "P\\\\\\,  JobType = 2,  pDocumentName = q\"\\"},
        {14, "P", "a\\u000D\\u000A00:00:00  [22]\\u0009Result = 0", "P", "a\r\n00:00:00  [22]\tResult = 0",
         "P,  JobType = 2,  pDocumentName = a  00:00:00  [22] Result = 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.job);
        const std::string job = std::to_string(c.job);
        EXPECT_EQ(Verdict(Harness("--escapes " + Quoted(c.device) + " " + Quoted(c.document) + " " + job + " 2"), c.job), 0);
        const std::vector<std::string> messages = Messages(c.job);  // every line keeps the layout
        ASSERT_EQ(messages.size(), 6u);
        EXPECT_EQ(messages[0], "Handle_Print_Job, DeviceName = " + c.logged);
        auto record = Record(c.job);
        EXPECT_EQ(record["Arguments"], "5");
        EXPECT_EQ(record["Argument2"], c.deviceRead);
        EXPECT_EQ(record["Argument4"], job);
        EXPECT_EQ(record["Argument5"], "2");
        // Read raw: a line break in the name also breaks the record's lines.
        EXPECT_NE(ReadBytes(progDir + "rec_" + job + ".txt").find("\r\nArgument3=" + c.documentRead + "\r\nArgument4="),
                  std::string::npos);
    }
    EXPECT_EQ(Messages(22), std::vector<std::string>{});
}

// In code page 932, 予 and 表 are 0x97 0x5C and 0x95 0x5C: a name can end in the
// backslash's byte without ending in a backslash, and doubling it would shift the
// arguments again. Wine takes the code page from LANG when a program starts (a test of
// its own runs this one with LANG=ja_JP.UTF-8; Wine needs no installed locale for it).
TEST_F(HookUnderWine, InCodePage932ANameEndingInTheBackslashByteReachesTheMonitorWhole) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
    UsualSettings();
    Script({"Mode=result", "Result=0"});
    EXPECT_EQ(Verdict(Harness("--escapes \\u8868 \\u4E88\\u5B9A\\u8868 16 1"), 16), 0);  // 表, 予定表
    const std::string table = "\x95\x5C";
    const std::string schedule = "\x97\x5C\x92\xE8\x95\x5C";
    const std::vector<std::string> messages = Messages(16);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0], "Handle_Print_Job, DeviceName = " + table + ",  JobType = 1,  pDocumentName = " + schedule);
    auto record = Record(16);
    EXPECT_EQ(record["Arguments"], "5");
    EXPECT_EQ(record["Argument2"], table);
    EXPECT_EQ(record["Argument3"], schedule);
    EXPECT_EQ(record["Argument4"], "16");
}

TEST_F(HookUnderWine, NullAndUnpairedSurrogateNames) {
    UsualSettings();
    Script({"Mode=result", "Result=0"});
    EXPECT_EQ(Verdict(Harness("--null-device --null-document P D 12 1"), 12), 0);
    EXPECT_EQ(Messages(12)[0], "Handle_Print_Job, DeviceName = ,  JobType = 1,  pDocumentName = ");
    auto record = Record(12);
    EXPECT_EQ(record["CommandLine"].substr(record["CommandLine"].size() - 12), "\" \"\" \"\" 12 1");
    EXPECT_EQ(record["Arguments"], "5");

    // A lone surrogate is no character of the code page: it becomes the default one.
    EXPECT_EQ(Verdict(Harness("--escapes \"A\\uD800B\" \"\\uDC00\" 13 1"), 13), 0);
    EXPECT_EQ(Messages(13)[0], "Handle_Print_Job, DeviceName = A?B,  JobType = 1,  pDocumentName = ?");
    EXPECT_EQ(Record(13)["Argument2"], "A?B");
}

TEST_F(HookUnderWine, NamesLongerThanACommandLineAreCutAndTheMonitorStarts) {
    UsualSettings();
    Script({"Mode=result", "Result=0"});
    for (const long length : {2047L, 2048L, 100000L}) {
        SCOPED_TRACE(length);
        const long job = 14000 + length % 1000;
        EXPECT_EQ(Verdict(Harness("--repeat-document " + std::to_string(length) + " P n " + std::to_string(job) + " 1"), job), 0);
        const std::vector<std::string> messages = Messages(job);
        ASSERT_EQ(messages.size(), 6u);
        EXPECT_EQ(messages[0], "Handle_Print_Job, DeviceName = P,  JobType = 1,  pDocumentName = " + std::string(2047, 'n') +
                                   (length > 2047 ? "..." : ""));
        EXPECT_EQ(messages[2], "Monitor created OK");
        auto record = Record(job);
        EXPECT_EQ(record["Arguments"], "5");
        EXPECT_EQ(record["Argument3"], std::string(2047, 'n'));
    }
}

TEST_F(HookUnderWine, AResultFileThatCannotBeReadAnswersTrueAndStays) {
    UsualSettings();
    Script({"Mode=locked", "Hold=2500"});
    EXPECT_EQ(Verdict(Harness("P D 15 1"), 15), 1);
    const std::vector<std::string> messages = Messages(15);
    const std::string jobFile = LoggedJobFile(messages);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[3], "Rslt file " + jobFile + ".rslt found");
    EXPECT_TRUE(Exists(jobFile + ".rslt"));  // held by the monitor: the delete failed quietly
}

TEST_F(HookUnderWine, SettingsValuesAreCutAndAMissingFolderLosesOnlyTheLines) {
    // A folder that does not exist: no folder can be made, the lines are lost, no monitor.
    Settings({"ProgDir=C:\\th_no_such_folder\\" + std::string(3000, 'x'), "Tallyhorn ServerIP=" + std::string(5000, '1')});
    const ProgramRun run = Harness("P D 16 1");
    EXPECT_EQ(Verdict(run, 16), 1);
    EXPECT_FALSE(Exists("C:\\th_no_such_folder"));
}

TEST_F(HookUnderWine, AnotherWriterHoldingTheLogLosesTheLineCtrlZCutsTheTail) {
    Settings({"ProgDir=" + progDir});
    ASSERT_TRUE(CreateDirectoryA((progDir + "Debug").c_str(), nullptr));
    const std::string earlier = "10:00:00  [1]\tearlier\r\n";
    WriteBytes(LogPath(), earlier + "\x1A" + "junk after the end mark");
    {
        HANDLE held = CreateFileA(LogPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Verdict(Harness("P D 17 1"), 17), 1);
        CloseHandle(held);
    }
    EXPECT_EQ(ReadBytes(LogPath()), earlier + "\x1A" + "junk after the end mark");  // lost while held
    EXPECT_EQ(Verdict(Harness("P D 18 1"), 18), 1);
    const std::string bytes = ReadBytes(LogPath());
    EXPECT_EQ(bytes.substr(0, earlier.size()), earlier);
    EXPECT_EQ(bytes.find('\x1A'), std::string::npos);
    EXPECT_EQ(Messages(18), std::vector<std::string>{"Server IP is empty"});
}

// The time separator is the thread locale's when the library is loaded: Finnish has ".".
TEST_F(HookUnderWine, TimeSeparatorOfTheThreadLocaleAtLoad) {
    Settings({"ProgDir=" + progDir});
    EXPECT_EQ(Verdict(Harness("--thread-locale 040B P D 21 1"), 21), 1);
    EXPECT_EQ(Verdict(Harness("--thread-locale 0409 P D 22 1"), 22), 1);
    std::map<std::string, char> separators;
    for (const auto& line : SplitLines(ReadBytes(LogPath())))
        if (const auto parsed = ParseLogLine(line)) separators[parsed->jobId] = parsed->separator;
    EXPECT_EQ(separators["21"], '.');
    EXPECT_EQ(separators["22"], ':');
}

// The harness's installation check reads what the hook reads and says what is wrong; it
// calls no export, starts no monitor and leaves nothing in the hook's folders.
TEST_F(HookUnderWine, InstallationCheckNamesEachFaultAndPassesAGoodInstall) {
    const auto check = [&](const std::string& dll) {
        return wine_test::Run(Quoted(binaries.harness) + " --check --dll " + Quoted(dll));
    };
    const auto linesOf = [](const ProgramRun& run, const std::string& status) {
        std::vector<std::string> lines;
        for (const auto& line : SplitLines(run.output))
            if (line.rfind(status, 0) == 0) lines.push_back(line.substr(status.size()));
        return lines;
    };
    // The first of the lines that starts so, whole, or empty.
    const auto starting = [](const std::vector<std::string>& lines, const std::string& start) {
        for (const auto& line : lines)
            if (line.rfind(start, 0) == 0) return line;
        return std::string();
    };
    // The library's machine, and the other one that a 32-bit and a 64-bit build have.
    const std::string library = ReadBytes(binaries.dll);
    ASSERT_GT(library.size(), 0x40u);
    std::uint32_t header = 0;
    std::memcpy(&header, library.data() + 0x3C, sizeof header);
    std::uint16_t machine = 0;
    ASSERT_LT(header + 6, library.size());
    std::memcpy(&machine, library.data() + header + 4, sizeof machine);
    const std::map<std::uint16_t, std::string> kinds = {{0x14C, "x86 (32-bit)"}, {0x8664, "x64 (64-bit)"}};
    ASSERT_EQ(kinds.count(machine), 1u);
    const std::uint16_t otherMachine = machine == 0x14C ? 0x8664 : 0x14C;

    Settings({"ProgDir=" + progDir, "Tallyhorn ServerIP=127.0.0.1", "WriteToLog=1"});
    Script({"Mode=result", "Result=0"});
    {
        // A port 5052 that takes connections, as the server's does.
        const win::WsaSession sockets(MAKEWORD(1, 1));
        const win::UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(5052);
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        ASSERT_EQ(bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(listener.get(), 4), 0);
        const ProgramRun good = check(binaries.dll);
        EXPECT_EQ(good.exitCode, 0u) << good.output;
        const std::vector<std::string> expected = {
            "settings file " + settingsFile,
            "ProgDir " + progDir,
            "Tallyhorn ServerIP 127.0.0.1",
            "logging on (WriteToLog=1)",
            "installation folder " + progDir,
            "monitor " + progDir + "Tallyhorn_Mon.exe",
            "log folder " + progDir + "Debug\\ writable",
            "job folder " + progDir + "Temp\\ writable",
            "library " + binaries.dll + ": " + kinds.at(machine) + ", version " TALLYHORN_VERSION_TEXT
                ", export Handle_Print_Job@16 at ordinal 1",
            "server 127.0.0.1 port 5052 reachable"};
        EXPECT_EQ(linesOf(good, "OK    "), expected) << good.output;
    }
    EXPECT_TRUE(IsFolder(progDir + "Debug"));
    EXPECT_TRUE(IsFolder(progDir + "Temp"));
    for (const std::string folder : {"Debug", "Temp"}) {
        WIN32_FIND_DATAA found{};
        const win::UniqueFind search(FindFirstFileA((progDir + folder + "\\*.*").c_str(), &found));
        int entries = 0;
        if (search) do ++entries; while (FindNextFileA(search.get(), &found));
        EXPECT_EQ(entries, 2) << folder << " holds more than . and ..";
    }
    Sleep(300);
    EXPECT_FALSE(Exists(progDir + "rec_0.txt"));

    // No monitor, a WriteToLog that is no number and nothing on port 5052: a line each.
    DeleteFileA((progDir + "Tallyhorn_Mon.exe").c_str());
    Settings({"ProgDir=" + progDir, "Tallyhorn ServerIP=127.0.0.1", "WriteToLog=false"});
    const ProgramRun broken = check(binaries.dll);
    EXPECT_EQ(broken.exitCode, 4u);
    const std::vector<std::string> faults = linesOf(broken, "FAIL  ");
    ASSERT_EQ(faults.size(), 3u) << broken.output;
    EXPECT_EQ(faults[0], "logging on (WriteToLog=false), since that is no number: write 0 to switch the log off, "
                         "or 1 to keep it on");
    EXPECT_NE(starting(faults, "monitor " + progDir + "Tallyhorn_Mon.exe not found: install"), "") << broken.output;
    EXPECT_NE(starting(faults, "server 127.0.0.1 port 5052 not reachable (error 10061:"), "") << broken.output;

    // Without the settings file the hook is switched off and uses drive C.
    const bool hadDebug = Exists("C:\\Debug");
    const bool hadTemp = Exists("C:\\Temp");
    DeleteFileA(settingsFile.c_str());
    const ProgramRun noSettings = check(binaries.dll);
    EXPECT_EQ(noSettings.exitCode, 4u);
    const std::vector<std::string> missing = linesOf(noSettings, "FAIL  ");
    EXPECT_NE(starting(missing, "settings file " + settingsFile + " not found: create it"), "") << noSettings.output;
    EXPECT_NE(starting(missing, "Tallyhorn ServerIP is empty, so the hook is switched off"), "") << noSettings.output;
    EXPECT_NE(noSettings.output.find("OK    ProgDir c:\\\r\n"), std::string::npos) << noSettings.output;
    EXPECT_EQ(noSettings.output.find("port 5052"), std::string::npos) << noSettings.output;
    if (!hadDebug) RemoveTree("C:\\Debug");
    if (!hadTemp) RemoveTree("C:\\Temp");

    // A library of the other kind (its header says so) is not loaded.
    std::string other = library;
    std::memcpy(other.data() + header + 4, &otherMachine, sizeof otherMachine);
    WriteBytes(progDir + "Tallyhorn.dll", other);
    const ProgramRun wrongKind = check(progDir + "Tallyhorn.dll");
    EXPECT_NE(starting(linesOf(wrongKind, "FAIL  "), "library " + progDir + "Tallyhorn.dll is " + kinds.at(otherMachine) +
                                                         ", this check " + kinds.at(machine) + ": a print host loads only"),
              "")
        << wrongKind.output;
}

// Real time: a monitor that writes no result makes the call wait its whole 120 s.
TEST_F(HookUnderWine, FullWaitWithoutResult) {
    UsualSettings();
    // Job 31's monitor makes a folder where the result file belongs, job 32's writes nothing.
    Script({"Mode.31=folder", "Mode.32=none"});
    const DWORD began = GetTickCount();
    const ProgramRun run = Harness("--threads 2 P D 31 1");
    std::printf("two calls without a result returned after %lu ms\n", GetTickCount() - began);
    for (long job : {31L, 32L}) {
        SCOPED_TRACE(job);
        EXPECT_EQ(Verdict(run, job), 1);
        const std::vector<std::string> messages = Messages(job);
        ASSERT_EQ(messages.size(), 6u);
        EXPECT_EQ(messages[3], "Rslt file " + LoggedJobFile(messages) + ".rslt not found");
        EXPECT_EQ(messages[5], "Result = 1");
    }
    EXPECT_TRUE(IsFolder(LoggedJobFile(Messages(31)) + ".rslt"));
}

}  // namespace
}  // namespace tallyhorn::wine_test

// Arguments after GoogleTest's own: the harness, the library and the monitor, as paths
// of the build tree.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: hook_wine_tests HARNESS DLL MONITOR\n");
        return 2;
    }
    tallyhorn::wine_test::binaries = {tallyhorn::wine_test::WindowsPath(argv[1]),
                                      tallyhorn::wine_test::WindowsPath(argv[2]),
                                      tallyhorn::wine_test::WindowsPath(argv[3])};
    return RUN_ALL_TESTS();
}
