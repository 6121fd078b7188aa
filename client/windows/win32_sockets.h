// The dialog's connection on Win32: Windows Sockets 1.1, with each socket's notifications
// posted to the dialog's window.
#pragma once

#include <windows.h>

#include <map>

#include "client/socket_platform.h"
#include "common/windows/sockets.h"

namespace tallyhorn::client::win {

class Win32Sockets final : public SocketPlatform {
public:
    // Notifications go to `window` as kSocketMessage; the sockets still open close with this.
    explicit Win32Sockets(HWND window) : window_(window) {}

    std::uint32_t WouldBlockCode() override;
    SocketId OpenSocket() override;
    std::uint32_t ParseAddress(const std::string& text) override;
    CallResult StartConnecting(SocketId socket, std::uint32_t address, std::uint16_t port) override;
    CallResult HandOver(SocketId socket, const std::string& bytes) override;
    CallResult BytesWaiting(SocketId socket) override;
    CallResult ReadWaiting(SocketId socket, std::size_t count, std::string& bytes) override;
    CallResult CloseConnection(SocketId socket) noexcept override;
    std::string SocketErrorText(std::uint32_t code) override;

private:
    HWND window_;
    std::map<SocketId, ::tallyhorn::win::UniqueSocket> open_;
};

}  // namespace tallyhorn::client::win
