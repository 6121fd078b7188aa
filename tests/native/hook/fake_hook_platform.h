// A scripted stand-in for the hook's platform: profile files in memory, a clock that
// only moves when the hook pauses, the events written, and a trace of every operation in
// order.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "hook/hook_platform.h"
#include "tests/native/common/event_printer.h"

namespace tallyhorn::hook::testing {

class FakeHookPlatform : public HookPlatform {
public:
    // file -> "section/key" -> value; a value longer than 2047 characters is cut as the
    // profile API's 2048-byte buffer cuts it.
    std::map<std::string, std::map<std::string, std::string>> profiles;
    std::uint32_t tick = 1000;
    // Readings of the local clock, one per call; the last one repeats.
    std::vector<LocalDateTime> clock{{2026, 12, 7, 14, 3, 27}};
    char separator = ':';
    std::set<std::string> files;                 // files a directory search finds
    std::set<std::string> reparsePoints;         // folders that lead elsewhere
    std::map<std::string, HeldFileFacts> facts;  // of files held; a trusted file's by default
    std::map<std::string, std::uint32_t> holdErrors;  // files that cannot be held, and why
    int holding = 0;                             // files held open at the moment
    std::vector<bool> readsWhileHeld;            // for each read of a file other than the settings
    std::map<std::string, std::string> logs;     // log path -> bytes appended
    std::vector<std::string> trace;              // every operation, in order

    bool startSucceeds = true;
    std::uint32_t startError = 2;
    bool processCloseSucceeds = true;
    std::uint32_t closeError = 6;
    std::string commandLine;                     // of the last start
    std::size_t closedHandles = 0;               // the monitor's process and thread handles
    std::vector<events::Event> events;           // written to the Application log
    contract::LeadBytes leadBytes;               // of the ANSI code page: none by default

    // Runs after every pause: the monitor's side of the wait.
    std::function<void(FakeHookPlatform&)> afterPause;
    // How long one directory search takes on this clock.
    std::uint32_t lookCostMs = 0;
    // An operation whose trace entry starts with this text throws instead.
    std::string throwAt;

    void SetSetting(const std::string& key, const std::string& value) {
        profiles["Tallyhorn.ini"]["Tallyhorn/" + key] = value;
    }
    // The bytes appended to one log file.
    std::string Log(const std::string& path) const {
        const auto found = logs.find(path);
        return found == logs.end() ? std::string() : found->second;
    }
    int Count(const std::string& prefix) const {
        int count = 0;
        for (const auto& entry : trace) count += entry.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    std::string ReadProfileValue(const std::string& file, std::string_view section, std::string_view key,
                                 const std::string& defaultValue) override {
        Note("read " + file + " " + std::string(section) + "/" + std::string(key));
        if (file != "Tallyhorn.ini") readsWhileHeld.push_back(holding > 0);
        const auto inFile = profiles.find(file);
        if (inFile == profiles.end()) return defaultValue;
        const auto value = inFile->second.find(std::string(section) + "/" + std::string(key));
        if (value == inFile->second.end()) return defaultValue;
        return value->second.substr(0, 2047);
    }
    std::uint32_t Ticks() override {
        Note("tick");
        return tick;
    }
    void Pause(std::uint32_t milliseconds) override {
        Note("pause " + std::to_string(milliseconds));
        tick += milliseconds;
        if (afterPause) afterPause(*this);
    }
    LocalDateTime LocalNow() override {
        Note("time");
        const LocalDateTime now = clock.front();
        if (clock.size() > 1) clock.erase(clock.begin());
        return now;
    }
    char TimeSeparator() override { return separator; }
    void CreateFolder(const std::string& path) override { Note("mkdir " + path); }
    bool FileExists(const std::string& path) override {
        Note("exists " + path);
        tick += lookCostMs;
        return files.count(path) != 0;
    }
    void RemoveFile(const std::string& path) override {
        Note("remove " + path);
        files.erase(path);
    }
    bool IsReparsePoint(const std::string& path) override { return reparsePoints.count(path) != 0; }
    std::vector<std::string> FilesIn(const std::string& folder) override {
        Note("list " + folder);
        std::vector<std::string> names;
        for (const std::string& file : files)
            if (file.rfind(folder, 0) == 0 && file.find('\\', folder.size()) == std::string::npos)
                names.push_back(file.substr(folder.size()));
        return names;
    }
    std::unique_ptr<HeldFile> HoldFile(const std::string& path, CallResult& opened) override {
        Note("hold " + path);
        if (holdErrors.count(path)) {
            opened = {false, holdErrors[path]};
            return nullptr;
        }
        const auto found = facts.find(path);
        return std::make_unique<Held>(*this, found == facts.end() ? HeldFileFacts{false, 1, FileOwner::System, "SYSTEM"}
                                                                  : found->second);
    }
    bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) override {
        Note("append " + path);
        created = files.insert(path).second;
        logs[path] += bytes;
        return true;
    }
    std::unique_ptr<StartedProcess> StartProcess(const std::string& line, CallResult& started) override {
        Note("start");
        commandLine = line;
        if (!startSucceeds) {
            started = {false, startError};
            return nullptr;
        }
        return std::make_unique<Started>(*this);
    }
    void RecordEvent(const events::Event& event) override {
        Note("event " + std::to_string(events::ShownId(event.id)));
        events.push_back(event);
    }
    std::string NarrowName(const char16_t* text) override {
        Note("narrow");
        std::string narrow;
        for (; *text != 0; ++text) narrow += *text < 0x100 ? static_cast<char>(*text) : '?';  // Latin-1 as bytes
        return narrow;
    }

    contract::LeadBytes AnsiLeadBytes() override { return leadBytes; }

private:
    // Closes both handles once, by Close or at the latest when it goes.
    struct Started : StartedProcess {
        explicit Started(FakeHookPlatform& platform) : platform(platform) {}
        ~Started() override { Close(); }
        CallResult Close() noexcept override {
            if (std::exchange(closed, true)) return {};
            platform.trace.push_back("close");
            platform.closedHandles += 2;
            return {platform.processCloseSucceeds, platform.processCloseSucceeds ? 0 : platform.closeError};
        }
        FakeHookPlatform& platform;
        bool closed = false;
    };

    class Held : public HeldFile {
    public:
        Held(FakeHookPlatform& platform, HeldFileFacts facts) : platform_(platform), facts_(std::move(facts)) {
            ++platform_.holding;
        }
        ~Held() override { --platform_.holding; }
        const HeldFileFacts& Facts() const override { return facts_; }

    private:
        FakeHookPlatform& platform_;
        HeldFileFacts facts_;
    };

    void Note(const std::string& entry) {
        trace.push_back(entry);
        if (!throwAt.empty() && entry.rfind(throwAt, 0) == 0) throw std::runtime_error("injected: " + entry);
    }
};

}  // namespace tallyhorn::hook::testing
