// ClientSocket: the dialog's non-blocking TCP client over the socket role, turning the
// platform's notifications into the dialog's connect, read and error events.
#include "client/client_socket.h"

#include "client/dialog_error.h"
#include "client/dialog_texts.h"

namespace tallyhorn::client {

ClientSocket::ClientSocket(SocketPlatform& platform, ClientSocketEvents& events)
    : platform_(platform), events_(events) {}

ClientSocket::~ClientSocket() { Close(); }

void ClientSocket::SetAddress(const std::string& address) { address_ = address; }

void ClientSocket::SetPort(std::uint16_t port) { port_ = port; }

void ClientSocket::Open() {
    if (state_ != State::Idle) {
        return;
    }
    // Without an address no socket is needed, and none is asked for.
    if (address_.empty()) {
        throw DialogError(std::string(texts::kNoAddress));
    }
    const SocketId socket = platform_.OpenSocket();
    if (socket == kNoSocket) {
        throw DialogError(std::string(texts::kNoSocket));
    }
    const CallResult call = platform_.StartConnecting(socket, platform_.ParseAddress(address_), port_);
    if (!call.succeeded && call.error != platform_.WouldBlockCode()) {
        const std::string text = platform_.SocketErrorText(call.error);
        platform_.CloseConnection(socket);
        throw DialogError(WindowsSocketErrorText(text, static_cast<int>(call.error), "connect"));
    }
    // Even a connect that succeeds at once is announced by its notification.
    socket_ = socket;
    state_ = State::Connecting;
}

CallResult ClientSocket::Close() noexcept {
    if (socket_ == kNoSocket) {
        return {};
    }
    const SocketId socket = socket_;
    socket_ = kNoSocket;
    state_ = State::Idle;
    unsent_.clear();
    return platform_.CloseConnection(socket);
}

bool ClientSocket::Failed(const CallResult& call, const char* api) {
    if (call.succeeded) {
        return false;
    }
    if (call.error == platform_.WouldBlockCode()) {
        return true;
    }
    unsent_.clear();  // nothing more goes out on this connection, also while a box is open
    int errorCode = static_cast<int>(call.error);
    events_.ClientSocketError(*this, errorCode);
    Close();
    if (errorCode != 0) {
        throw DialogError(WindowsSocketErrorText(platform_.SocketErrorText(static_cast<std::uint32_t>(errorCode)),
                                                 errorCode, api));
    }
    return true;
}

void ClientSocket::SendText(const std::string& text) {
    if (socket_ == kNoSocket) {
        return;
    }
    unsent_ += text;
    SendWaiting();
}

void ClientSocket::SendWaiting() {
    while (!unsent_.empty() && socket_ != kNoSocket) {
        const CallResult call = platform_.HandOver(socket_, unsent_);
        if (Failed(call, "send") || call.count == 0) {
            return;  // taken nothing: the next writability notification tries again
        }
        unsent_.erase(0, call.count);
    }
}

std::string ClientSocket::ReceiveText() {
    if (socket_ == kNoSocket) {
        return {};
    }
    const CallResult waiting = platform_.BytesWaiting(socket_);
    if (Failed(waiting, "recv") || waiting.count == 0) {
        return {};
    }
    std::string bytes;
    const CallResult call = platform_.ReadWaiting(socket_, waiting.count, bytes);
    return Failed(call, "recv") ? std::string() : bytes;
}

void ClientSocket::Notify(SocketId socket, NetworkEvent event, int error) {
    if (socket == kNoSocket || socket != socket_) {
        return;
    }
    if (error != 0) {
        int errorCode = error;
        events_.ClientSocketError(*this, errorCode);
        if (errorCode != 0) {
            throw DialogError(AsynchronousSocketErrorText(errorCode));
        }
        if (event != NetworkEvent::Close || socket != socket_) {
            return;
        }
        // A reset the dialog has handled but left open: the peer is gone all the same.
    }
    switch (event) {
        case NetworkEvent::Connect:
            state_ = State::Connected;
            events_.ClientSocketConnect(*this);
            break;
        case NetworkEvent::Read:
            events_.ClientSocketRead(*this);
            break;
        case NetworkEvent::Write:
            SendWaiting();
            break;
        case NetworkEvent::Close: {
            // The peer closed: idle without telling the dialog, unless closing fails.
            const CallResult closed = Close();
            if (!closed.succeeded) {
                throw DialogError(WindowsSocketErrorText(platform_.SocketErrorText(closed.error),
                                                         static_cast<int>(closed.error), "closesocket"));
            }
            break;
        }
    }
}

}  // namespace tallyhorn::client
