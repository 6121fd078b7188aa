// The dialog's connection on Win32: Windows Sockets 1.1, with each socket's notifications
// posted to the dialog's window.
#include "client/windows/win32_sockets.h"

#include <winsock.h>

#include "client/windows/dialog_window.h"
#include "common/windows/basics.h"

namespace tallyhorn::client::win {

namespace {

CallResult LastSocketError() { return Failure(static_cast<std::uint32_t>(WSAGetLastError())); }

}  // namespace

std::uint32_t Win32Sockets::WouldBlockCode() { return WSAEWOULDBLOCK; }

SocketId Win32Sockets::OpenSocket() {
    ::tallyhorn::win::UniqueSocket created(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    // The notifications make the socket non-blocking.
    constexpr long kEvents = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;
    if (!created || WSAAsyncSelect(created.get(), window_, kSocketMessage, kEvents) != 0) return kNoSocket;
    const SocketId id = static_cast<SocketId>(created.get());
    open_[id] = std::move(created);
    return id;
}

std::uint32_t Win32Sockets::ParseAddress(const std::string& text) { return inet_addr(text.c_str()); }

CallResult Win32Sockets::StartConnecting(SocketId socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
        return LastSocketError();
    }
    return {};
}

CallResult Win32Sockets::HandOver(SocketId socket, const std::string& bytes) {
    const int sent = send(static_cast<SOCKET>(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent == SOCKET_ERROR) return LastSocketError();
    return {true, 0, static_cast<std::size_t>(sent)};
}

CallResult Win32Sockets::BytesWaiting(SocketId socket) {
    u_long waiting = 0;
    if (ioctlsocket(static_cast<SOCKET>(socket), FIONREAD, &waiting) == SOCKET_ERROR) return LastSocketError();
    return {true, 0, waiting};
}

CallResult Win32Sockets::ReadWaiting(SocketId socket, std::size_t count, std::string& bytes) {
    bytes.assign(count, '\0');
    const int got = recv(static_cast<SOCKET>(socket), bytes.data(), static_cast<int>(count), 0);
    if (got == SOCKET_ERROR) return LastSocketError();
    bytes.resize(static_cast<std::size_t>(got));
    return {true, 0, bytes.size()};
}

CallResult Win32Sockets::CloseConnection(SocketId socket) noexcept {
    const auto held = open_.find(socket);
    if (held == open_.end()) return Failure(WSAENOTSOCK);  // closed already: what closesocket would say
    const CallResult closed = held->second.reset() ? CallResult{} : LastSocketError();
    open_.erase(held);
    return closed;
}

std::string Win32Sockets::SocketErrorText(std::uint32_t code) { return ::tallyhorn::win::SystemErrorText(code); }

}  // namespace tallyhorn::client::win
