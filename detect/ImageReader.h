#pragma once
#include <cstdint>
#include <cstring>

#include "detect/ByteView.h"

// Random access to the bytes of an image: a file on disk, a module in another process, or a
// buffer in tests. Read copies up to length bytes from offset into out and returns how many
// arrived; 0 means nothing could be read there.
class ImageReader {
  public:
    virtual ~ImageReader() = default;
    virtual std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) = 0;
};

// An image held in memory.
class ByteViewReader : public ImageReader {
  public:
    explicit ByteViewReader(ByteView bytes) : bytes_(bytes) {}
    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        if (offset >= bytes_.size)
            return 0;
        std::uint64_t available = bytes_.size - offset;
        const std::uint32_t count =
            available < length ? static_cast<std::uint32_t>(available) : length;
        std::memcpy(out, bytes_.At(offset), count);
        return count;
    }

  private:
    ByteView bytes_;
};
