#pragma once
#include <windows.h>

// An owned handle: released on destruction, movable, not copyable; Close() may be called twice.
// The traits give the "no handle" value and the release function, which differ by API.
template <typename Traits>
class UniqueHandle {
  public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Close(); }

    bool IsValid() const { return handle_ != Traits::Invalid(); }
    Type Get() const { return handle_; }
    void Reset(Type handle) {
        Close();
        handle_ = handle;
    }
    Type Release() {
        Type handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void Close() {
        if (IsValid())
            Traits::Close(handle_);
        handle_ = Traits::Invalid();
    }

  private:
    Type handle_ = Traits::Invalid();
};

// OpenProcess and other kernel objects: NULL on failure.
struct KernelObjectTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};
// CreateFileA and CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};
// FindFirstFileA: INVALID_HANDLE_VALUE on failure, released with FindClose.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { FindClose(handle); }
};
// LocalAlloc'd memory.
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type memory) { LocalFree(memory); }
};

// RegOpenKeyExA: released with RegCloseKey.
struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type key) { RegCloseKey(key); }
};
// CreateCursor: released with DestroyCursor.
struct CursorTraits {
    using Type = HCURSOR;
    static Type Invalid() { return nullptr; }
    static void Close(Type cursor) { DestroyCursor(cursor); }
};
// A font this program created (CreateFontIndirectA); a font it was given is held as a plain HFONT.
struct OwnedFontTraits {
    using Type = HFONT;
    static Type Invalid() { return nullptr; }
    static void Close(Type font) { DeleteObject(font); }
};

using ProcessHandle = UniqueHandle<KernelObjectTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using SnapshotHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;
using RegistryKey = UniqueHandle<RegistryKeyTraits>;
using CursorHandle = UniqueHandle<CursorTraits>;
using OwnedFont = UniqueHandle<OwnedFontTraits>;
