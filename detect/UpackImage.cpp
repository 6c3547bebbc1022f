#include "detect/UpackImage.h"

#include <windows.h>

#include "detect/PeImage.h"
#include "win/NtFiles.h"
#include "win/UniqueHandle.h"

namespace {

class FileReader : public ImageReader {
  public:
    explicit FileReader(HANDLE file) : file_(file) {}
    // A positional read: no separate seek, which costs a server round trip per call under Wine.
    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        OVERLAPPED position = {};
        position.Offset = static_cast<DWORD>(offset);
        position.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(file_, out, length, &read, &position))
            return 0;
        return read;
    }

  private:
    HANDLE file_;
};

}  // namespace

int IsUpackImage(const wchar_t* path, FileIdentity& identity) {
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid())
        return 0;
    FileReader reader(file.Get());
    return CheckUpackHeaders(reader) && GetFileIdentity(file.Get(), identity) ? 1 : 0;
}

int IsTrojanLibraryFile(const wchar_t* path, FileIdentity& identity) {
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid())
        return 0;
    FileReader reader(file.Get());
    return (CheckUpackHeaders(reader) || FileHoldsCodePattern(reader)) &&
                   GetFileIdentity(file.Get(), identity)
               ? 1
               : 0;
}
