#pragma once
#include <windows.h>

// Owners for the handles of the scan: each closes its handle when it goes out of scope, so every
// path out of a function releases what it acquired. Traits give the "no handle" value and the
// release function. They live in a namespace of their own, apart from other owners of the same
// names elsewhere in the program.
namespace detect {

template <typename Traits>
class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE handle = Traits::Invalid()) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Close(); }

    bool IsValid() const { return handle_ != Traits::Invalid(); }
    HANDLE Get() const { return handle_; }
    void Close() {
        if (IsValid())
            Traits::Release(handle_);
        handle_ = Traits::Invalid();
    }

  private:
    HANDLE handle_;
};

// OpenProcess: NULL on failure.
struct KernelObjectTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Release(HANDLE handle) { CloseHandle(handle); }
};
// CreateFileA, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(HANDLE handle) { CloseHandle(handle); }
};
// FindFirstFileA: INVALID_HANDLE_VALUE on failure, released with FindClose.
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(HANDLE handle) { FindClose(handle); }
};

using ProcessHandle = UniqueHandle<KernelObjectTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using SnapshotHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;

}  // namespace detect
