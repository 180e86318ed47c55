#pragma once
// One move-only owner for every kind of Win32 handle. What counts as "no
// handle" (null or INVALID_HANDLE_VALUE) and how to close it are part of the
// type, so a handle can never be closed twice or with the wrong function.
#include "platform/win32/Windows.h"

#include <utility>

namespace platform::win32 {

template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Empty(); }
    // Gives up ownership without closing.
    Handle Release() noexcept { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Handle handle = Traits::Empty()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Empty())
            Traits::Close(old);
    }
    // For functions that return a handle through a pointer.
    Handle* Put() noexcept {
        Reset();
        return &handle_;
    }

  private:
    Handle handle_ = Traits::Empty();
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::FindClose(handle); }
};

struct ChangeNotificationTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::FindCloseChangeNotification(handle); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::RegCloseKey(handle); }
};

// CreateFile results (INVALID_HANDLE_VALUE when empty).
using UniqueFile = UniqueHandle<FileHandleTraits>;
// Events, processes, threads, mappings (null when empty).
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
// FindFirstFile searches.
using UniqueFind = UniqueHandle<FindHandleTraits>;
// FindFirstChangeNotification watches.
using UniqueChangeNotification = UniqueHandle<ChangeNotificationTraits>;
using UniqueRegKey = UniqueHandle<RegistryKeyTraits>;

}  // namespace platform::win32
