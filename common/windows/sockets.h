// The owner of a Windows Sockets socket and the guard that starts Windows Sockets, for
// programs of either version: one that uses Windows Sockets 2 includes <winsock2.h>
// before this header, which then adds no declarations of its own.
#pragma once

#include <windows.h>
#include <winsock.h>

#include "common/windows/handles.h"

namespace tallyhorn::win {

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Empty() { return INVALID_SOCKET; }
    static bool IsEmpty(Handle s) { return s == INVALID_SOCKET; }
    static bool Close(Handle s) { return closesocket(s) == 0; }
};
using UniqueSocket = Unique<SocketTraits>;

// Windows Sockets started for the life of this object; error() is 0 when it started.
class WsaSession {
public:
    explicit WsaSession(WORD version) { error_ = WSAStartup(version, &data_); }
    WsaSession(const WsaSession&) = delete;
    WsaSession& operator=(const WsaSession&) = delete;
    ~WsaSession() {
        if (error_ == 0) WSACleanup();
    }
    int error() const { return error_; }

private:
    WSADATA data_{};
    int error_ = 0;
};

}  // namespace tallyhorn::win
