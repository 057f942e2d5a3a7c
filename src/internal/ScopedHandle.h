// One owner for every kind of platform handle, in the library, the platform layer, the stand-ins
// and the tests alike. Traits name the handle type, the value that means "none" and how to close
// it; each owner closes its handle exactly once and is move-only. Only <windows.h> is needed, so
// the platform layer can use it beneath the library's redirections.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <utility>

namespace kx {

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept : handle_(Traits::None()) {}
    explicit ScopedHandle(Handle h) noexcept : handle_(h) {}
    ~ScopedHandle() { Close(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    bool IsValid() const noexcept { return handle_ != Traits::None(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // For out-parameters of platform calls: closes what is held and hands out the slot.
    Handle* Receive() noexcept {
        Close();
        return &handle_;
    }

    Handle Release() noexcept { return std::exchange(handle_, Traits::None()); }
    void Reset(Handle h = Traits::None()) noexcept {
        if (handle_ != h) {
            Close();
            handle_ = h;
        }
    }

private:
    void Close() noexcept {
        if (IsValid()) Traits::Close(std::exchange(handle_, Traits::None()));
    }

    Handle handle_;
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle None() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

struct KernelHandleTraits {  // processes, threads, events, mutexes
    using Handle = HANDLE;
    static Handle None() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle None() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

using UniqueKey = ScopedHandle<RegKeyTraits>;
using UniqueHandle = ScopedHandle<KernelHandleTraits>;
using UniqueFile = ScopedHandle<FileHandleTraits>;
using UniqueFind = ScopedHandle<FindHandleTraits>;
// Toolhelp snapshots are kernel handles whose "none" is INVALID_HANDLE_VALUE, as files are.
using UniqueSnapshot = ScopedHandle<FileHandleTraits>;
using UniqueModule = ScopedHandle<ModuleTraits>;

}  // namespace kx
