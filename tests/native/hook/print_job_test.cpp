// The print-job call against the fake platform: every path with its log lines in order,
// the wait's poll, bound and tick wrap, and failures inside the call.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <latch>
#include <optional>
#include <thread>

#include "contract/contract.h"
#include "hook/Tallyhorn_DLL.h"
#include "tests/native/hook/fake_hook_platform.h"
#include "tests/native/hook/windows_arguments.h"

namespace tallyhorn::hook {
namespace {

using testing::FakeHookPlatform;
using Lines = std::vector<std::string>;

constexpr char kLog[] = "C:\\Tallyhorn\\Debug\\Tallyhorn_Hk_07_12_2026.log";
constexpr char kJobFile[] = "C:\\Tallyhorn\\Temp\\5000_42.txt";
constexpr char kResultFile[] = "C:\\Tallyhorn\\Temp\\5000_42.txt.rslt";
constexpr char kFirstLine[] = "Handle_Print_Job, DeviceName = Office Laser,  JobType = 1,  pDocumentName = Report.docx";
constexpr char kStartingLine[] = "Starting the Tallyhorn monitor, Job file is C:\\Tallyhorn\\Temp\\5000_42.txt";
constexpr char kCommandLine[] =
    "\"C:\\Tallyhorn\\Tallyhorn_Mon.exe\" \"C:\\Tallyhorn\\Temp\\5000_42.txt\" \"Office Laser\" \"Report.docx\" 42 1";

class PrintJob : public ::testing::Test {
protected:
    void SetUp() override {
        platform.SetSetting("ProgDir", "C:\\Tallyhorn");
        platform.SetSetting("Tallyhorn ServerIP", "192.0.2.7");
        platform.tick = 5000;
    }

    bool Call(const char16_t* device = u"Office Laser", const char16_t* document = u"Report.docx",
              std::int32_t jobId = 42, std::int32_t jobType = 1) {
        return Handle_Print_Job(platform, *events, device, document, jobId, jobType);
    }

    // The messages of one log file; every line must carry the time and the job's tag.
    std::vector<std::string> Messages(const std::string& path = kLog, std::int32_t jobId = 42) {
        const std::string prefix = "14:03:27  [" + std::to_string(jobId) + "]\t";
        std::vector<std::string> messages;
        const std::string log = platform.Log(path);
        for (std::size_t at = 0; at < log.size();) {
            const std::size_t end = log.find("\r\n", at);
            EXPECT_NE(end, std::string::npos) << "line without CR LF";
            if (end == std::string::npos) break;
            const std::string line = log.substr(at, end - at);
            EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
            messages.push_back(line.substr(std::min(prefix.size(), line.size())));
            at = end + 2;
        }
        return messages;
    }

    // The monitor writes the result file once the wait has run this long; no value: no key.
    void ResultAfter(std::uint32_t milliseconds, const std::optional<std::string>& value,
                     const std::string& file = kResultFile) {
        const std::uint32_t start = platform.tick;
        platform.afterPause = [=](FakeHookPlatform& p) {
            if (p.tick - start >= milliseconds && !p.files.count(file)) {
                p.files.insert(file);
                if (value) p.profiles[file]["PrintJob/Result"] = *value;
            }
        };
    }

    // Back to the first job's clock, an empty log and no events, for one more call with the
    // same names in a process of its own.
    void NextJob() {
        events.emplace();
        platform.events.clear();
        platform.tick = 5000;
        platform.logs.clear();
        platform.trace.clear();
        platform.closedHandles = 0;
        platform.files.clear();
    }

    // The event of job 42 on Office Laser, printed unchecked unless the answer was false.
    static std::vector<events::Event> EventOf(std::uint32_t id, bool answer, const std::string& detail) {
        return {{id, {"42", "Office Laser", answer ? "printed unchecked" : "held", detail, "0"}}};
    }

    FakeHookPlatform platform;
    std::optional<EventThrottle> events{std::in_place};  // the process's
};

// Each way a job goes: its lines, its answer, the looks and the handles closed, and the
// event of a job without the monitor's verdict (the reason's id, the job, the printer, the
// outcome and the detail, never the document name). FailClosed holds the job where the
// monitor failed to give a verdict, but not for an empty server address (the hook
// switched off) or a failure inside the call, which answers true with a line of its own.
TEST_F(PrintJob, EachPathsLinesAnswerAndEvent) {
    const std::string rslt = std::string("Rslt file ") + kResultFile,
                      inside = "Error in Handle_Print_Job, the job is printed: ", failed = inside + "injected: ";
    const Lines created = {kFirstLine, kStartingLine, "Monitor created OK"};
    const auto after = [](Lines lines, std::initializer_list<std::string> more) {
        lines.insert(lines.end(), more);
        return lines;
    };
    const struct {
        const char* name;
        std::function<void()> arrange;
        Lines lines;   // as logged without FailClosed
        bool printed;  // the answer without FailClosed
        std::optional<std::uint32_t> event;
        std::string detail;
        bool held;  // with FailClosed
        int pauses;
        std::size_t handlesClosed;
    } cases[] = {
        {"no server address", [this] { platform.SetSetting("Tallyhorn ServerIP", ""); }, {"Server IP is empty"},
         true, events::kServerAddressEmpty, "", false, 0, 0},
        {"the monitor cannot start", [this] { platform.startSucceeds = false; },
         {kFirstLine, kStartingLine, std::string("Error creating Monitor,   error 2, Command Line=") + kCommandLine,
          "Result = 1"},
         true, events::kMonitorNotStarted, "2", true, 0, 0},
        {"its error written unsigned", [this] { platform.startSucceeds = false, platform.startError = 0xFFFFFFFFu; },
         {kFirstLine, kStartingLine,
          std::string("Error creating Monitor,   error 4294967295, Command Line=") + kCommandLine, "Result = 1"},
         true, events::kMonitorNotStarted, "4294967295", true, 0, 0},
        {"Result 0", [this] { ResultAfter(500, "0"); },
         after(created, {rslt + " found", "Monitor Handle closed OK", "Result = 0"}), false, {}, "", false, 1, 2},
        {"logging off", [this] { platform.SetSetting("WriteToLog", "0"), ResultAfter(500, "0"); }, {}, false, {}, "",
         false, 1, 2},
        {"a handle that cannot be closed", [this] { platform.processCloseSucceeds = false, ResultAfter(1000, "0"); },
         after(created, {rslt + " found", "Warning: Monitor Handle close error 6", "Result = 0"}), false, {}, "", false,
         2, 2},
        {"no result in time", [] {}, after(created, {rslt + " not found", "Monitor Handle closed OK", "Result = 1"}),
         true, events::kNoResultInTime, "", true, 241, 2},
        // A failure inside: the event's detail is what its line says.
        {"narrowing the names", [this] { platform.throwAt = "narrow"; }, {failed + "narrow", "Result = 1"}, true, {},
         "", false, 0, 0},  // nor can the event name the printer
        {"starting the monitor", [this] { platform.throwAt = "start"; },
         {kFirstLine, kStartingLine, failed + "start", "Result = 1"}, true, events::kCallFailed, "", false, 0, 0},
        {"waiting", [this] { platform.throwAt = "pause"; }, after(created, {failed + "pause 500", "Result = 1"}), true,
         events::kCallFailed, "", false, 1, 2},
        {"looking", [this] { platform.throwAt = "exists"; },
         after(created, {failed + "exists " + kResultFile, "Result = 1"}), true, events::kCallFailed, "", false, 1, 2},
        {"reading", [this] { platform.throwAt = "read C:\\Tallyhorn\\Temp", ResultAfter(500, "0"); },
         after(created, {rslt + " found", failed + "read " + kResultFile + " PrintJob/Result", "Result = 1"}), true,
         events::kCallFailed, "", false, 1, 2},
        {"deleting", [this] { platform.throwAt = "remove", ResultAfter(500, "0"); },
         after(created, {rslt + " found", failed + "remove " + kResultFile, "Result = 1"}), true, events::kCallFailed,
         "", false, 1, 2},
    };
    for (const auto& c : cases) for (const bool failClosed : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + (failClosed ? ", FailClosed" : ""));
        platform = FakeHookPlatform();
        SetUp();
        NextJob();
        platform.SetSetting("FailClosed", failClosed ? "1" : "0");
        c.arrange();
        const bool answer = c.printed && !(failClosed && c.held);
        EXPECT_EQ(Call(), answer);
        Lines expected = c.lines;
        if (answer != c.printed) expected.back() = "Result = 0";
        EXPECT_EQ(Messages(), expected);
        const std::string detail = c.event == events::kCallFailed ? c.lines.rbegin()[1].substr(inside.size())
                                                                   : c.detail;
        EXPECT_EQ(platform.events, c.event ? EventOf(*c.event, answer, detail) : std::vector<events::Event>{});
        EXPECT_EQ(platform.Count("pause 500"), c.pauses);
        EXPECT_EQ(platform.closedHandles, c.handlesClosed);
    }
}

// Looks every 500 ms until more than 120000 ms have passed since the call began, wherever
// the tick counter stands: a result is seen at the next look, one at the last look is
// found, one after it is not.
TEST_F(PrintJob, TheWaitLooksEvery500MsUntilMoreThan120000MsHavePassed) {
    struct Case {
        std::uint32_t startTick;
        std::optional<std::uint32_t> resultAfter;
        std::uint32_t lookCostMs;
        int looks;
    };
    std::vector<Case> cases = {
        {5000, 1001, 0, 3},      // just after the second look
        {5000, {}, 0, 241},      // 240 looks leave exactly 120000 ms: not yet more
        {5000, {}, 100, 201},    // 200 looks of 600 ms leave exactly 120000 ms
        {5000, 120500, 0, 241},  // at the last look
        {5000, 121000, 0, 241},  // after it
    };
    for (const std::uint32_t tick : {0u, 1u, 2147483647u, 2147483648u, 4294967295u - 60000u, 4294967295u - 120000u,
                                     4294967295u - 499u, 4294967295u})
        cases.push_back({tick, {}, 0, 241});
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.startTick << " " << c.resultAfter.value_or(0) << " " << c.lookCostMs);
        NextJob();
        platform.tick = c.startTick;
        platform.lookCostMs = c.lookCostMs;
        platform.afterPause = {};
        if (c.resultAfter) ResultAfter(*c.resultAfter, "0");
        EXPECT_EQ(Call(), !(c.resultAfter && *c.resultAfter <= 120500));
        const std::string jobFile = "C:\\Tallyhorn\\Temp\\" + contract::TickNumber(c.startTick) + "_42.txt";
        EXPECT_EQ(Messages()[1], "Starting the Tallyhorn monitor, Job file is " + jobFile);
        EXPECT_EQ(platform.commandLine,
                  "\"C:\\Tallyhorn\\Tallyhorn_Mon.exe\" \"" + jobFile + "\" \"Office Laser\" \"Report.docx\" 42 1");
        EXPECT_EQ(platform.Count("pause 500"), c.looks);
        EXPECT_EQ(platform.Count("exists " + jobFile + ".rslt"), c.looks);
        EXPECT_EQ(platform.tick - c.startTick, static_cast<std::uint32_t>(c.looks) * (500u + c.lookCostMs));
    }
}

// The monitor gets the names mended for its command line: quotes as ', control characters
// blanked, cut to 2047 bytes of whole characters. The log shows them as given but cut with
// ... and control characters blanked, in the first line and in its copy of the command
// line, so no line is forged. A negative JobId and JobType, and null names, go as they are.
TEST_F(PrintJob, NamesAreMendedForTheCommandLineAndTheLogEachItsOwnWay) {
    platform.startSucceeds = false;
    const std::string n2046(2046, 'n');
    const std::string n2047 = n2046 + "n";
    const struct {
        std::optional<std::u16string> device, document;
        std::string loggedDevice, loggedDocument, monitorDevice, monitorDocument;
        bool shiftJis = false;  // the fake narrows code units below 0x100 to their bytes
        std::int32_t jobId = 42, jobType = 1;
    } cases[] = {
        {u"Laser \"2\"", u"a\" \"b", "Laser \"2\"", "a\" \"b", "Laser '2'", "a' 'b"},
        {std::u16string(2047, u'n'), std::u16string(100000, u'n'), n2047, n2047 + "...", n2047, n2047},
        {u"Laser\t1", u"a\r\n00:00:00  [22]\tResult = 0\x1A", "Laser 1", "a  00:00:00  [22] Result = 0 ", "Laser 1",
         "a  00:00:00  [22] Result = 0 "},
        {u"List\x95\\", std::u16string(2046, u'n') + u"\x95\\", "List\x95\\", n2046 + "...", "List\x95\\", n2046, true},
        {u"P", u"D", "P", "D", "P", "D", false, -5, -3},
        {std::nullopt, std::nullopt, "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loggedDevice);
        NextJob();
        platform.leadBytes = c.shiftJis ? windows_rules::ShiftJisLeadBytes() : contract::LeadBytes{};
        EXPECT_TRUE(Call(c.device ? c.device->c_str() : nullptr, c.document ? c.document->c_str() : nullptr, c.jobId,
                         c.jobType));
        const std::string jobFile = "C:\\Tallyhorn\\Temp\\5000_" + std::to_string(c.jobId) + ".txt";
        EXPECT_EQ(platform.commandLine, "\"C:\\Tallyhorn\\Tallyhorn_Mon.exe\" \"" + jobFile + "\" \"" +
                                            c.monitorDevice + "\" \"" + c.monitorDocument + "\" " +
                                            std::to_string(c.jobId) + " " + std::to_string(c.jobType));
        std::string logged = platform.commandLine;
        std::replace_if(logged.begin(), logged.end(), [](char b) { return b >= 0 && b < 0x20; }, ' ');
        const Lines expected = {"Handle_Print_Job, DeviceName = " + c.loggedDevice + ",  JobType = " +
                                    std::to_string(c.jobType) + ",  pDocumentName = " + c.loggedDocument,
                                "Starting the Tallyhorn monitor, Job file is " + jobFile,
                                "Error creating Monitor,   error 2, Command Line=" + logged, "Result = 1"};
        EXPECT_EQ(Messages(kLog, c.jobId), expected);
    }
}

// A result file is read, while held, only when it is the monitor's own: one name, no
// reparse point, owned by the system, the administrators, TrustedInstaller or the hook's
// process user. Any other is deleted unread and logged once, though it is back at every
// look, and the wait keeps its bound. One that cannot be opened prints, unless its writer
// still holds it (held here for three looks): then it is logged once and looked at again.
// A Result that is no number (the number rule is ProfileNumber's) or none at all prints.
// A wait that ends without a verdict writes its event and, with FailClosed, holds the job.
TEST_F(PrintJob, WhatAResultFileAnswers) {
    const HeldFileFacts trusted{false, 1, FileOwner::System, ""};
    const struct {
        HeldFileFacts facts;
        std::uint32_t holdError;
        int looks;
        std::vector<std::string> lines;  // after "Rslt file <path>", from the fourth line of the call
        std::optional<std::string> result = "0";
    } cases[] = {
        {{true, 1, FileOwner::System, ""}, 0, 241, {" ignored: reparse point", " not found"}},
        {{false, 2, FileOwner::System, ""}, 0, 241, {" ignored: 2 links", " not found"}},
        {{false, 1, FileOwner::Other, "PC\\guest"}, 0, 241, {" ignored: owner PC\\guest", " not found"}},
        {{false, 1, FileOwner::Administrators, ""}, 0, 1, {" found"}},
        {{false, 1, FileOwner::TrustedInstaller, ""}, 0, 1, {" found"}},
        {{false, 1, FileOwner::ProcessUser, ""}, 0, 1, {" found"}},
        {trusted, 5, 1, {" found", " could not be opened, error 5"}},
        {trusted, 32, 4, {" could not be opened, error 32", " found"}},
        {trusted, 33, 4, {" could not be opened, error 33", " found"}},
        {trusted, 0, 1, {" found"}, "false"},
        {trusted, 0, 1, {" found"}, std::nullopt},
    };
    for (const auto& c : cases) for (const bool failClosed : {false, true}) {
        SCOPED_TRACE("row " + std::to_string(&c - cases) + (failClosed ? ", FailClosed" : ""));
        NextJob();
        platform.SetSetting("FailClosed", failClosed ? "1" : "0");
        platform.readsWhileHeld.clear();
        platform.facts[kResultFile] = c.facts;
        platform.holdErrors.clear();
        if (c.holdError != 0) platform.holdErrors[kResultFile] = c.holdError;
        platform.profiles.erase(kResultFile);
        ResultAfter(500, c.result);
        platform.afterPause = [inner = platform.afterPause, looks = 0](FakeHookPlatform& p) mutable {
            inner(p);
            if (++looks == 4) p.holdErrors.clear();
        };
        const bool read = c.lines.back() == " found", answer = read ? c.result != "0" : !failClosed;
        EXPECT_EQ(Call(), answer);
        std::vector<std::string> expected = {kFirstLine, kStartingLine, "Monitor created OK"};
        for (const std::string& line : c.lines) expected.push_back(std::string("Rslt file ") + kResultFile + line);
        expected.insert(expected.end(), {"Monitor Handle closed OK", answer ? "Result = 1" : "Result = 0"});
        EXPECT_EQ(Messages(), expected);
        const std::string& why = c.lines.back() == " not found" ? c.lines.front() : c.lines.back();
        EXPECT_EQ(platform.events, read ? std::vector<events::Event>{}
                                        : EventOf(events::kResultFileUnusable, answer, why.substr(1)));
        EXPECT_EQ(platform.Count("pause 500"), c.looks);
        EXPECT_EQ(platform.files.count(kResultFile), 0u);  // deleted either way
        EXPECT_EQ(platform.readsWhileHeld, read ? std::vector<bool>{true} : std::vector<bool>{});
    }
}

// A reason writes one event a minute in a process, the next one counting the jobs that
// went without; another reason has its own minute. The tick counter may wrap meanwhile, and
// a tick read a moment before the last event's (on another thread) is within the minute.
TEST_F(PrintJob, AReasonWritesOneEventAMinuteAndTheNextCountsTheJobsBetween) {
    platform.startSucceeds = false;
    const std::uint32_t t0 = 4294967295u - 30000u;
    const struct {
        std::uint32_t tick;
        bool server;
        const char16_t* device;
    } jobs[] = {{t0, true, u"Office Laser"},           {t0 + 20000u, true, u"P"}, {t0 + 59998u, true, u"P"},
                {t0 + 59998u, false, u"Office Laser"}, {t0 - 2u, true, u"P"},     {t0 + 60000u, true, u"Laser\r\n1"}};
    for (const auto& job : jobs) {
        platform.tick = job.tick;
        platform.SetSetting("Tallyhorn ServerIP", job.server ? "192.0.2.7" : "");
        Call(job.device, u"Report.docx", static_cast<std::int32_t>(&job - jobs) + 1);
    }
    const std::vector<events::Event> expected = {
        {events::kMonitorNotStarted, {"1", "Office Laser", "printed unchecked", "2", "0"}},
        {events::kServerAddressEmpty, {"4", "Office Laser", "printed unchecked", "", "0"}},
        {events::kMonitorNotStarted, {"6", "Laser  1", "printed unchecked", "2", "3"}}};
    EXPECT_EQ(platform.events, expected);
}

// Calls released together, round after round: one writes the event, and the others are
// counted once each, by that event or the next.
TEST(EventThrottle, OfCallsAtOnceOneWritesTheEventAndTheOthersAreCountedOnce) {
    for (int round = 0; round < 500; ++round) {
        EventThrottle throttle;
        std::atomic<unsigned> written{0}, counted{0};
        std::latch start(8);
        std::vector<std::jthread> calls;
        for (int i = 0; i < 8; ++i)
            calls.emplace_back([&] {
                start.arrive_and_wait();
                const auto unreported = throttle.Claim(UncheckedReason::NoResultInTime, 1000);
                written += unreported.has_value(), counted += unreported.value_or(0);
            });
        calls.clear();  // joins them
        ASSERT_EQ(written, 1u) << "round " << round;
        ASSERT_EQ(counted + throttle.Claim(UncheckedReason::NoResultInTime, 61000).value_or(99), 7u) << "round " << round;
    }
}

TEST_F(PrintJob, EachCallKeepsTheSettingsItRead) {
    // A second job starts, with other settings, while the first one waits.
    bool nested = false;
    platform.afterPause = [&](FakeHookPlatform& p) {
        if (nested) return;
        nested = true;
        p.SetSetting("ProgDir", "D:\\Other");
        p.SetSetting("WriteToLog", "0");
        p.SetSetting("Tallyhorn ServerIP", "");
        EXPECT_TRUE(Handle_Print_Job(p, *events, u"X", u"Y", 7, 1));
        p.files.insert(kResultFile);
        p.profiles[kResultFile]["PrintJob/Result"] = "0";
    };
    EXPECT_FALSE(Call());
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[3], "Rslt file C:\\Tallyhorn\\Temp\\5000_42.txt.rslt found");
    EXPECT_EQ(platform.Log("D:\\Other\\Debug\\Tallyhorn_Hk_07_12_2026.log"), "");
}

}  // namespace
}  // namespace tallyhorn::hook
