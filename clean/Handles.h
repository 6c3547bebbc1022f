#pragma once
#include <windows.h>

// In a namespace of their own: the scan has owners of the same names with another shape.
namespace clean {

// An owned handle: closed on destruction, movable, not copyable. Close() may be called twice.
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

// CreateFile and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// LocalAlloc'd memory.
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type memory) { LocalFree(memory); }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

}  // namespace clean
