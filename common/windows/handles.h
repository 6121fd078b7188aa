// Scoped owners for Win32 handles: each closes what it holds exactly once.
#pragma once

#include <windows.h>
#include <winsock.h>

#include <utility>

namespace tallyhorn::win {

// Owns one handle of a kind whose empty values and closer are given by Traits.
template <typename Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle handle) : handle_(handle) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return !Traits::IsEmpty(handle_); }

    Handle release() { return std::exchange(handle_, Traits::Empty()); }

    // Closes what is held now; returns false when the closer reported a failure.
    bool reset(Handle handle = Traits::Empty()) {
        Handle old = std::exchange(handle_, handle);
        return Traits::IsEmpty(old) ? true : Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Empty();
};

// Kernel handles: some APIs give NULL for "none", others INVALID_HANDLE_VALUE.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static bool IsEmpty(Handle h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return CloseHandle(h) != 0; }
};
using UniqueHandle = Unique<KernelHandleTraits>;

// A file from CreateFileA, which reports failure as INVALID_HANDLE_VALUE.
using UniqueFile = UniqueHandle;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsEmpty(Handle h) { return h == INVALID_HANDLE_VALUE || h == nullptr; }
    static bool Close(Handle h) { return FindClose(h) != 0; }
};
using UniqueFind = Unique<FindHandleTraits>;

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Empty() { return INVALID_SOCKET; }
    static bool IsEmpty(Handle s) { return s == INVALID_SOCKET; }
    static bool Close(Handle s) { return closesocket(s) == 0; }
};
using UniqueSocket = Unique<SocketTraits>;

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Empty() { return nullptr; }
    static bool IsEmpty(Handle h) { return h == nullptr; }
    static bool Close(Handle h) { return DeleteObject(h) != 0; }
};
using UniqueGdiObject = Unique<GdiObjectTraits>;

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static bool IsEmpty(Handle h) { return h == nullptr; }
    static bool Close(Handle h) { return FreeLibrary(h) != 0; }
};
using UniqueModule = Unique<ModuleTraits>;

// Both handles that CreateProcess gives back.
struct ProcessHandles {
    UniqueHandle process;
    UniqueHandle thread;

    ProcessHandles() = default;
    explicit ProcessHandles(const PROCESS_INFORMATION& info) : process(info.hProcess), thread(info.hThread) {}
};

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
