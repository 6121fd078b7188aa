// What the dialog's connection asks of the platform: the Windows Sockets 1.1 calls on
// one non-blocking socket at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tallyhorn::client {

// What the connection's notification window reports for the dialog's socket.
enum class NetworkEvent { Connect, Read, Write, Close };

// A socket of the platform, as an opaque number; kNoSocket means none.
using SocketId = std::uintptr_t;
inline constexpr SocketId kNoSocket = ~SocketId{0};

// Results of the socket calls: the count or 0, and the platform's error code when the
// call failed (0 otherwise).
struct SocketCall {
    int result = 0;
    int error = 0;
};

class SocketPlatform {
public:
    // The platform's would-block code.
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

protected:
    ~SocketPlatform() = default;
};

}  // namespace tallyhorn::client
