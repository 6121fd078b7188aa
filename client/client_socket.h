// ClientSocket: the dialog's non-blocking TCP client over the socket role, turning the
// platform's notifications into the dialog's connect, read and error events.
#pragma once

#include <cstdint>
#include <string>

#include "client/socket_platform.h"

namespace tallyhorn::client {

class ClientSocket;

// The dialog's handlers for the connection's notifications.
class ClientSocketEvents {
public:
    virtual void ClientSocketConnect(ClientSocket& socket) = 0;
    virtual void ClientSocketRead(ClientSocket& socket) = 0;
    // Setting `errorCode` to 0 marks the error handled; otherwise the connection raises it.
    virtual void ClientSocketError(ClientSocket& socket, int& errorCode) = 0;

protected:
    ~ClientSocketEvents() = default;
};

class ClientSocket {
public:
    enum class State { Idle, Connecting, Connected };

    ClientSocket(SocketPlatform& platform, ClientSocketEvents& events);
    ClientSocket(const ClientSocket&) = delete;
    ClientSocket& operator=(const ClientSocket&) = delete;
    // An established connection is closed when the dialog goes.
    ~ClientSocket();

    void SetAddress(const std::string& address);
    void SetPort(std::uint16_t port);

    // Starts connecting when idle; does nothing otherwise. Failures the platform reports
    // at once raise a DialogError and leave the connection idle, its socket closed.
    void Open();
    // Ends the connection in whatever state; later notifications for it are ignored.
    // With nothing open it succeeds at once.
    CallResult Close() noexcept;

    // Hands all the bytes to the transport, in order: what send does not take at once
    // (part of them, or nothing when it would block) goes on each writability
    // notification until all is taken or the connection ends. A failed send is reported.
    void SendText(const std::string& text);
    // The bytes waiting, read with one receive; empty when none are waiting.
    std::string ReceiveText();

    // A notification of the platform for `socket`; stale ones (an earlier socket, or after
    // close) are ignored.
    void Notify(SocketId socket, NetworkEvent event, int error);

    State state() const { return state_; }

private:
    // Whether the call failed. A failure other than would-block goes to the dialog's
    // error handler and closes the connection; one the dialog leaves unhandled is raised.
    bool Failed(const CallResult& call, const char* api);
    // Sends what is waiting until all is taken or the transport would block; only a send
    // that would block makes Windows Sockets announce the next writability.
    void SendWaiting();

    SocketPlatform& platform_;
    ClientSocketEvents& events_;
    std::string address_;
    std::uint16_t port_ = 0;
    SocketId socket_ = kNoSocket;
    State state_ = State::Idle;
    // Bytes of SendText that the transport has not taken yet.
    std::string unsent_;
};

}  // namespace tallyhorn::client
