// The dialog's one seam to the platform: its controls, timers, message boxes, files,
// clock and connection. The Win32 layer implements it; tests use a fake.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/daily_log.h"

namespace tallyhorn::client {

// Every window of the dialog that its handlers touch, named as in the designer.
enum class Control {
    Form,
    Label1,
    Label2,
    Label3,
    Label4,
    DocumentName,
    Pages,
    PrinterName,
    Reason,
    Comments_ComboBox,
    OKBtn,
    CancelBtn,
    Stop_Image,
    Confirm_Image,
    Comment_Image,
};

// The designed timers, and the one that hands a large comment history to the drop-down
// step by step while the dialog goes on answering.
enum class Timer { WatchDog_Timer, Quota_Timer, History_Timer };

// What the connection's notification window reports for the dialog's socket.
enum class NetworkEvent { Connect, Read, Write, Close };

// A socket of the platform, as an opaque number; kNoSocket means none.
using SocketId = std::uintptr_t;
inline constexpr SocketId kNoSocket = ~SocketId{0};

// Held while a save reads, merges and replaces a file; destroying it lets the next in.
class FileLock {
public:
    virtual ~FileLock() = default;
};

// Results of the socket calls: the count or 0, and the platform's error code when the
// call failed (0 otherwise). kWouldBlock is the platform's would-block code.
struct SocketCall {
    int result = 0;
    int error = 0;
};

class DialogPlatform {
public:
    virtual ~DialogPlatform() = default;

    // ---- program ----
    // Folder of the program's own file, ending in a backslash.
    virtual std::string ProgramFolder() = 0;
    // The program's file name without its folder (for the general error box's caption).
    virtual std::string ProgramFileName() = 0;
    // The first command-line argument without its quotes; empty when there is none.
    virtual std::string FirstArgument() = 0;
    // Asks the program to end: the window message loop stops when control next returns
    // to it. The caller goes on running until then.
    virtual void RequestQuit() = 0;

    // ---- controls (positions in designed pixels at 96 DPI; the platform scales) ----
    virtual void SetCaption(Control control, const std::string& text) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetLeft(Control control, int left) = 0;
    virtual void SetTop(Control control, int top) = 0;
    // Whether OKBtn is the dialog's default button (pressed by Enter on key press).
    virtual void SetOkIsDefault(bool isDefault) = 0;
    // Always on top, or an ordinary window, keeping position, size and contents.
    virtual void SetAlwaysOnTop(bool onTop) = 0;

    // The comment field (the edit text) of Comments_ComboBox.
    virtual std::string CommentText() = 0;
    // Empties the drop-down list and makes room for `count` entries of `bytes` bytes in
    // all; the comment field keeps its text.
    virtual void ClearHistoryItems(std::size_t count, std::size_t bytes) = 0;
    // Inserts one entry at this index of the drop-down list (its size appends); false
    // when the list refused it (out of memory).
    virtual bool InsertHistoryItem(std::size_t index, const std::string& entry) = 0;
    // The order of the sorted drop-down list: case-insensitive and locale-aware.
    // Negative, zero or positive, as strcmp.
    virtual int CompareIgnoringCase(const std::string& a, const std::string& b) = 0;
    // Bytes whose order (byte by byte, then the shorter first) is the order of
    // CompareIgnoringCase, and equal exactly where it finds the texts equal: sorting
    // many texts by their keys costs one platform call per text, not per comparison.
    virtual std::string SortKey(const std::string& text) = 0;

    // ---- timers: Start when stopped begins a full interval; the core never starts a
    // running timer or stops a stopped one ----
    virtual void StartTimer(Timer timer, unsigned intervalMs) = 0;
    virtual void StopTimer(Timer timer) = 0;

    // ---- message boxes: modal, they run a message loop of their own, so handlers
    // (ticks, socket notifications, nested close checks) can run before they return ----
    // "Confirm" box with Yes and No; true only for Yes.
    virtual bool Confirm(const std::string& text) = 0;
    // "Error" box with a stop sign.
    virtual void ShowError(const std::string& text) = 0;
    // "Information" box.
    virtual void ShowInformation(const std::string& text) = 0;
    // The general error box: the given caption, a stop sign, one OK button.
    virtual void ShowGeneralError(const std::string& caption, const std::string& text) = 0;

    // ---- files ----
    virtual bool FileExists(const std::string& path) = 0;
    // GetPrivateProfileStringA with an empty default and a 2048-byte buffer.
    virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                          const std::string& key) = 0;
    // WritePrivateProfileStringA; false when it failed.
    virtual bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // The whole file, opened for reading while denying writers; nothing when it cannot
    // be opened or read.
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // Writes the bytes to a temporary file beside `path` and puts it in place of `path`
    // in one step. False (and `path` untouched) on any failure.
    virtual bool ReplaceFile(const std::string& path, const std::string& bytes) = 0;
    // The lock that every dialog on the machine, in any session and account, takes
    // before it saves the file at `path`; waits at most `waitMs` for it and gives
    // nothing when it could not be had in that time (the save then goes ahead).
    virtual std::unique_ptr<FileLock> LockFile(const std::string& path, unsigned waitMs) = 0;
    // Appends the bytes to a daily log file (never creating its folder); false when lost.
    virtual bool AppendToLog(const std::string& path, const std::string& bytes) = 0;

    // ---- clock and locale ----
    virtual LocalDateTime Now() = 0;
    // The locale's time separator as the platform gives it (may be empty or longer).
    virtual std::string LocaleTimeSeparator() = 0;

    // ---- sockets (Windows Sockets 1.1 semantics; one socket at a time) ----
    virtual int WouldBlockCode() = 0;
    // A non-blocking IPv4 stream socket whose connect, read, write and close
    // notifications will reach the dialog; kNoSocket with `error` set on failure.
    virtual SocketId CreateSocket(int& error) = 0;
    // inet_addr on the text, in network byte order (0xFFFFFFFF when unreadable).
    virtual std::uint32_t InetAddr(const std::string& address) = 0;
    // connect to the address and the port (host byte order; the platform applies htons).
    virtual SocketCall Connect(SocketId socket, std::uint32_t address, std::uint16_t port) = 0;
    virtual SocketCall Send(SocketId socket, const std::string& bytes) = 0;
    // ioctlsocket FIONREAD: the number of bytes waiting.
    virtual SocketCall BytesWaiting(SocketId socket) = 0;
    // recv of at most `count` bytes into `bytes`.
    virtual SocketCall Receive(SocketId socket, std::size_t count, std::string& bytes) = 0;
    // closesocket; the error code, 0 when it succeeded.
    virtual int CloseSocket(SocketId socket) = 0;
    // The platform's text for a socket error code.
    virtual std::string SocketErrorText(int code) = 0;
};

}  // namespace tallyhorn::client
