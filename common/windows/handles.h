// Scoped owners for Win32 handles: each closes what it holds exactly once.
#pragma once

#include <windows.h>

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

// Most handle kinds are empty when null; each kind's traits add only its closer.
template <typename H>
struct NullIsEmpty {
    using Handle = H;
    static Handle Empty() { return nullptr; }
    static bool IsEmpty(Handle h) { return h == nullptr; }
};

// Kernel handles: some APIs give NULL for "none", others INVALID_HANDLE_VALUE.
struct NullOrInvalidIsEmpty : NullIsEmpty<HANDLE> {
    static bool IsEmpty(Handle h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
};

struct KernelHandleTraits : NullOrInvalidIsEmpty {
    static bool Close(Handle h) { return CloseHandle(h) != 0; }
};
using UniqueHandle = Unique<KernelHandleTraits>;

// A file from CreateFileA, which reports failure as INVALID_HANDLE_VALUE.
using UniqueFile = UniqueHandle;

struct FindHandleTraits : NullOrInvalidIsEmpty {
    static bool Close(Handle h) { return FindClose(h) != 0; }
};
using UniqueFind = Unique<FindHandleTraits>;

// Memory that an API allocated for its caller with LocalAlloc (a security descriptor, a
// SID or its text).
struct LocalMemoryTraits : NullIsEmpty<HLOCAL> {
    static bool Close(Handle h) { return LocalFree(h) == nullptr; }
};
using UniqueLocalMemory = Unique<LocalMemoryTraits>;

// A handle of an event source, from RegisterEventSourceA.
struct EventSourceTraits : NullIsEmpty<HANDLE> {
    static bool Close(Handle h) { return DeregisterEventSource(h) != 0; }
};
using UniqueEventSource = Unique<EventSourceTraits>;

struct GdiObjectTraits : NullIsEmpty<HGDIOBJ> {
    static bool Close(Handle h) { return DeleteObject(h) != 0; }
};
using UniqueGdiObject = Unique<GdiObjectTraits>;

// A device context of one's own, from CreateCompatibleDC.
struct MemoryDcTraits : NullIsEmpty<HDC> {
    static bool Close(Handle h) { return DeleteDC(h) != 0; }
};
using UniqueMemoryDc = Unique<MemoryDcTraits>;

// A window's device context from GetDC (null: the screen's), given back to the same
// window with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context for the life of this owner; then the object
// it replaced is selected again, so that the context never goes with ours in it.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), replaced_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (replaced_ && replaced_ != HGDI_ERROR) SelectObject(dc_, replaced_);
    }

private:
    HDC dc_;
    HGDIOBJ replaced_;
};

// A hook procedure of the window manager, from SetWindowsHookExA.
struct WindowsHookTraits : NullIsEmpty<HHOOK> {
    static bool Close(Handle h) { return UnhookWindowsHookEx(h) != 0; }
};
using UniqueWindowsHook = Unique<WindowsHookTraits>;

}  // namespace tallyhorn::win
