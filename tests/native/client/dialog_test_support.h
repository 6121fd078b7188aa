// The fixture for TForm1's tests: a fake platform, a job file, and helpers that play
// time, keys and the server the way the window's message loop would deliver them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "client/uTallyhornClient.h"
#include "tests/native/client/fake_platform.h"

namespace tallyhorn::client::testing {

inline constexpr const char* kJobFile = "C:\\Apps\\Temp\\17_42.txt";
inline constexpr const char* kResponseFile = "C:\\Apps\\Temp\\17_42.txt.response";

class DialogTest : public ::testing::Test {
protected:
    FakePlatform platform;
    FakeDialog parts{platform, kJobFile};
    TForm1& form = parts.form;

    // Starts the dialog with a job file holding these values (and the usual ones).
    void StartWith(const std::string& action, std::map<std::string, std::string> values = {}) {
        values.emplace("Action", action);
        values.emplace("Printer", "HP 4");
        values.emplace("DocumentName", "report.doc");
        values.emplace("Pages", "3");
        values.emplace("ErrorMsg", "Over the limit");
        values.emplace("ServerIP", "127.0.0.1");
        values.emplace("JobID", "1234");
        values.emplace("UserIP", "10.0.0.9");
        platform.PutJobFile(kJobFile, values);
        form.FormActivate();
    }

    // Lets `ms` milliseconds pass, firing the timers that fall due.
    void Advance(long long ms) {
        const long long until = platform.nowMs + ms;
        while (const auto timer = platform.NextDueTimer(until)) {
            form.TimerFired(*timer);
        }
        platform.nowMs = until;
    }

    // One key stroke, press then release, as a person makes it where the focus is.
    void Stroke(int key) {
        form.KeyDown(key, false, platform.focus, false);
        form.KeyUp(key, platform.focus);
    }

    // Answers the next box with `answer`, after running `nested` inside its loop.
    void Answer(bool answer, std::function<void()> nested = {}) {
        platform.script.push_back([answer, nested](const Box&) {
            if (nested) {
                nested();
            }
            return answer;
        });
    }

    // Clicks the button, answering the box that it opens.
    void ClickAnswering(Control button, bool answer) {
        Answer(answer);
        form.ButtonClicked(button);
    }

    std::vector<std::string> Log() const { return platform.LogMessages(); }
    const ControlView& View(Control control) { return platform.controls[control]; }
    bool Running(Timer timer) { return platform.timers[timer].running; }
    std::string Response() { return platform.ReadProfileValue(kResponseFile, "PrintJob", "Response"); }
    bool ResponseWritten() { return platform.profiles.count(kResponseFile) > 0; }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : platform.boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    void TearDown() override { EXPECT_EQ(platform.timerMisuse, 0) << "a timer started while running or stopped twice"; }
};

}  // namespace tallyhorn::client::testing
