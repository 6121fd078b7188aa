// The hook's platform seam on Win32.
#pragma once

#include "hook/hook_platform.h"

namespace tallyhorn::hook::win {

// Called once from DllMain: the thread locale's time separator, for every later line.
void NoteLocaleTimeSeparator();

class WinHookPlatform final : public HookPlatform {
public:
    std::string ReadProfileValue(const std::string& file, std::string_view section, std::string_view key,
                                 const std::string& defaultValue) override;
    std::uint32_t Ticks() override;
    void Pause(std::uint32_t milliseconds) override;
    LocalDateTime LocalNow() override;
    char TimeSeparator() override;
    void CreateFolder(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    void RemoveFile(const std::string& path) override;
    bool IsReparsePoint(const std::string& path) override;
    std::vector<std::string> FilesIn(const std::string& folder) override;
    std::unique_ptr<HeldFile> HoldFile(const std::string& path, CallResult& opened) override;
    bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) override;
    std::unique_ptr<StartedProcess> StartProcess(const std::string& commandLine, CallResult& started) override;
    void RecordEvent(const events::Event& event) override;
    std::string NarrowName(const char16_t* text) override;
    contract::LeadBytes AnsiLeadBytes() override;
};

}  // namespace tallyhorn::hook::win
