#include "detect/UpackImage.h"

#include <windows.h>

#include <cstdint>

#include "detect/ImageReader.h"
#include "detect/PeImage.h"
#include "win/NtFiles.h"
#include "win/UniqueHandle.h"

namespace {

// Reads an open file for the header checks, which look at a few small pieces near its start
// and then, for the code patterns, at the whole file in order. The first page is read once and
// the pieces inside it served from memory; other pieces are read from the handle's own position
// when they start there. Under Wine a read given an OVERLAPPED position costs a server round
// trip (it posts a completion), a read from the handle's position none; a positional read on
// a synchronous handle leaves the position after the bytes read, on Windows as under Wine.
class FileReader : public ImageReader {
  public:
    explicit FileReader(HANDLE file) : file_(file) {}

    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        if (!headTried_) {
            headTried_ = true;
            headValid_ = ReadAt(0, head_, sizeof(head_), &headLength_);
        }
        // A head shorter than the page is the whole file.
        const ByteView head{head_, headLength_};
        if (headValid_ && (headLength_ < sizeof(head_) || head.Fits(offset, length)))
            return ByteViewReader(head).Read(offset, out, length);
        std::uint32_t read = 0;
        return ReadAt(offset, out, length, &read) ? read : 0;
    }

  private:
    bool ReadAt(std::uint64_t offset, unsigned char* out, std::uint32_t length,
                std::uint32_t* read) {
        DWORD count = 0;
        BOOL done;
        if (offset == position_) {
            done = ReadFile(file_, out, length, &count, nullptr);
        } else {
            OVERLAPPED position = {};
            position.Offset = static_cast<DWORD>(offset);
            position.OffsetHigh = static_cast<DWORD>(offset >> 32);
            done = ReadFile(file_, out, length, &count, &position);
        }
        if (!done) {
            position_ = kUnknownPosition;
            return false;
        }
        position_ = offset + count;
        *read = count;
        return true;
    }

    static const std::uint64_t kUnknownPosition = ~std::uint64_t{0};
    HANDLE file_;
    std::uint64_t position_ = 0;  // a handle just opened stands at the start
    bool headTried_ = false;
    bool headValid_ = false;
    std::uint32_t headLength_ = 0;
    unsigned char head_[kInspectionBufferSize];
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
