// What the dialog's connection asks of the platform: one non-blocking TCP socket at a
// time, whose notifications reach the dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/call_result.h"

namespace tallyhorn::client {

// What the platform reports for the dialog's socket.
enum class NetworkEvent { Connect, Read, Write, Close };

// A socket of the platform, as an opaque number; kNoSocket means none.
using SocketId = std::uintptr_t;
inline constexpr SocketId kNoSocket = ~SocketId{0};

class SocketPlatform {
public:
    // The error code of a call that would have to wait.
    virtual std::uint32_t WouldBlockCode() = 0;
    // A new non-blocking IPv4 stream socket whose connect, read, write and close
    // notifications reach the dialog; kNoSocket when none can be had.
    virtual SocketId OpenSocket() = 0;
    // A dotted IPv4 address in network byte order; 0xFFFFFFFF when the text is none.
    virtual std::uint32_t ParseAddress(const std::string& text) = 0;
    // Starts connecting to the address and port (host byte order); the connect
    // notification tells how it ended, unless this fails at once.
    virtual CallResult StartConnecting(SocketId socket, std::uint32_t address, std::uint16_t port) = 0;
    // Offers the bytes to the transport; the count is how many it took.
    virtual CallResult HandOver(SocketId socket, const std::string& bytes) = 0;
    // The count is the number of bytes that wait to be read.
    virtual CallResult BytesWaiting(SocketId socket) = 0;
    // Reads at most `count` waiting bytes into `bytes` (whose contents count only on success).
    virtual CallResult ReadWaiting(SocketId socket, std::size_t count, std::string& bytes) = 0;
    virtual CallResult CloseConnection(SocketId socket) noexcept = 0;
    // The platform's words for a socket error code.
    virtual std::string SocketErrorText(std::uint32_t code) = 0;

protected:
    ~SocketPlatform() = default;
};

}  // namespace tallyhorn::client
