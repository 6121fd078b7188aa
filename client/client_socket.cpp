// ClientSocket: the dialog's non-blocking TCP client over the seam's raw socket calls,
// turning the platform's notifications into the dialog's connect, read and error events.
#include "client/client_socket.h"

#include "client/dialog_error.h"
#include "client/dialog_texts.h"

namespace tallyhorn::client {

ClientSocket::ClientSocket(SocketPlatform& platform, ClientSocketEvents& events)
    : platform_(platform), events_(events) {}

ClientSocket::~ClientSocket() {
    try {
        Close();
    } catch (...) {
        // The program is ending; nothing is left to tell.
    }
}

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
    int error = 0;
    const SocketId socket = platform_.CreateSocket(error);
    if (socket == kNoSocket) {
        throw DialogError(std::string(texts::kNoSocket));
    }
    const SocketCall call = platform_.Connect(socket, platform_.InetAddr(address_), port_);
    if (call.error != 0 && call.error != platform_.WouldBlockCode()) {
        const std::string text = platform_.SocketErrorText(call.error);
        platform_.CloseSocket(socket);
        throw DialogError(WindowsSocketErrorText(text, call.error, "connect"));
    }
    // Even a connect that succeeds at once is announced by its notification.
    socket_ = socket;
    state_ = State::Connecting;
}

int ClientSocket::Close() {
    if (socket_ == kNoSocket) {
        return 0;
    }
    const SocketId socket = socket_;
    socket_ = kNoSocket;
    state_ = State::Idle;
    unsent_.clear();
    return platform_.CloseSocket(socket);
}

void ClientSocket::FailedCall(int code, const char* api) {
    unsent_.clear();  // nothing more goes out on this connection, also while a box is open
    int errorCode = code;
    events_.ClientSocketError(*this, errorCode);
    Close();
    if (errorCode != 0) {
        throw DialogError(WindowsSocketErrorText(platform_.SocketErrorText(errorCode), errorCode, api));
    }
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
        const SocketCall call = platform_.Send(socket_, unsent_);
        if (call.error != 0) {
            if (call.error != platform_.WouldBlockCode()) {
                FailedCall(call.error, "send");
            }
            return;
        }
        if (call.result <= 0) {
            return;  // nothing taken without an error: the next notification tries again
        }
        unsent_.erase(0, static_cast<std::size_t>(call.result));
    }
}

std::string ClientSocket::ReceiveText() {
    if (socket_ == kNoSocket) {
        return {};
    }
    const SocketCall waiting = platform_.BytesWaiting(socket_);
    if (waiting.error != 0) {
        if (waiting.error != platform_.WouldBlockCode()) {
            FailedCall(waiting.error, "recv");
        }
        return {};
    }
    if (waiting.result <= 0) {
        return {};
    }
    std::string bytes;
    const SocketCall call = platform_.Receive(socket_, static_cast<std::size_t>(waiting.result), bytes);
    if (call.error != 0) {
        if (call.error != platform_.WouldBlockCode()) {
            FailedCall(call.error, "recv");
        }
        return {};
    }
    bytes.resize(static_cast<std::size_t>(call.result > 0 ? call.result : 0));
    return bytes;
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
            const int code = Close();
            if (code != 0) {
                throw DialogError(WindowsSocketErrorText(platform_.SocketErrorText(code), code, "closesocket"));
            }
            break;
        }
    }
}

}  // namespace tallyhorn::client
