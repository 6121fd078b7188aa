// Every role of the dialog's platform in one object, for real: Win32 controls, window
// timers, message boxes, profile and file calls, the clock and Windows Sockets 1.1.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "client/dialog_platform.h"
#include "client/windows/dialog_window.h"
#include "common/windows/sockets.h"

namespace tallyhorn::client::win {

// The program's file name without its folder.
std::string ProgramFileName();

class Win32DialogPlatform final : public DialogPlatform {
public:
    explicit Win32DialogPlatform(DialogWindow& window);
    Win32DialogPlatform(const Win32DialogPlatform&) = delete;
    Win32DialogPlatform& operator=(const Win32DialogPlatform&) = delete;
    // Stops the timers; the sockets still open close with it.
    ~Win32DialogPlatform() override;

    std::string ProgramFolder() override;
    std::string ProgramFileName() override;
    std::string FirstArgument() override;
    void RequestQuit() override;

    void SetCaption(Control control, const std::string& text) override { window_.SetCaption(control, text); }
    void SetVisible(Control control, bool visible) override { window_.SetVisible(control, visible); }
    void SetEnabled(Control control, bool enabled) override { window_.SetEnabled(control, enabled); }
    void SetLeft(Control control, int left) override { window_.SetLeft(control, left); }
    void SetTop(Control control, int top) override { window_.SetTop(control, top); }
    void SetOkIsDefault(bool isDefault) override { window_.SetOkIsDefault(isDefault); }
    void SetAlwaysOnTop(bool onTop) override { window_.SetAlwaysOnTop(onTop); }
    void GiveFocus(Control control) override { window_.GiveFocus(control); }
    std::string CommentText() override { return window_.CommentText(); }
    void ClearHistoryItems(std::size_t count, std::size_t bytes) override { window_.ClearHistoryItems(count, bytes); }
    bool InsertHistoryItem(std::size_t index, const std::string& entry) override {
        return window_.InsertHistoryItem(index, entry);
    }
    int CompareIgnoringCase(const std::string& a, const std::string& b) override;
    std::string SortKey(const std::string& text) override;

    void StartTimer(Timer timer, unsigned intervalMs) override;
    void StopTimer(Timer timer) override;

    bool Confirm(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ShowGeneralError(const std::string& caption, const std::string& text) override;

    bool FileExists(const std::string& path) override;
    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override;
    bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& value) override;
    bool RemoveFile(const std::string& path) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    std::unique_ptr<FileLock> LockFile(const std::string& path, unsigned waitMs) override;
    std::string RoamingAppData() override;
    std::string LocalAppData() override;
    bool FolderExists(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    std::vector<std::string> FilesIn(const std::string& folder) override;
    bool AppendToLog(const std::string& path, const std::string& bytes, bool& created) override;

    LocalDateTime LocalTime() override;
    std::string TimeSeparator() override;

    void RecordEvent(const events::Event& event) override;

    int WouldBlockCode() override;
    SocketId CreateSocket(int& error) override;
    std::uint32_t InetAddr(const std::string& address) override;
    SocketCall Connect(SocketId socket, std::uint32_t address, std::uint16_t port) override;
    SocketCall Send(SocketId socket, const std::string& bytes) override;
    SocketCall BytesWaiting(SocketId socket) override;
    SocketCall Receive(SocketId socket, std::size_t count, std::string& bytes) override;
    int CloseSocket(SocketId socket) override;
    std::string SocketErrorText(int code) override;

private:
    // A message box owned by the newest open box (or the dialog), centred on the
    // screen; Escape and closing the box answer No in a Yes/No box.
    int ShowBox(const std::string& text, const std::string& caption, UINT style);

    DialogWindow& window_;
    std::map<SocketId, ::tallyhorn::win::UniqueSocket> openSockets_;
    std::vector<HWND> openBoxes_;
};

}  // namespace tallyhorn::client::win
