#pragma once
#include <cstddef>
#include <cstdint>

// MD5 message digest (RFC 1321), fed in pieces of any size.
class Md5 {
  public:
    static const std::size_t kDigestSize = 16;

    Md5() { Reset(); }
    void Reset();
    void Update(const void* data, std::size_t size);
    // Writes the 16-byte digest. The object must be Reset before it is fed again.
    void Finish(std::uint8_t digest[kDigestSize]);

  private:
    void Transform(const std::uint8_t block[64]);

    std::uint32_t state_[4];
    std::uint64_t byteCount_;
    std::uint8_t buffer_[64];
};

// Feeds blocks from read(buffer, size, &delivered) until it delivers 0 bytes. False when a
// read fails, at the first block or any later one (a digest of part of the data is not the
// data's), or when nothing was read at all.
template <typename ReadBlock>
bool Md5OfBlocks(ReadBlock read, std::uint8_t* block, std::size_t blockSize,
                 std::uint8_t digest[Md5::kDigestSize]) {
    Md5 md5;
    std::uint64_t total = 0;
    for (;;) {
        std::size_t delivered = 0;
        if (!read(block, blockSize, &delivered) || delivered > blockSize)
            return false;
        if (delivered == 0)
            break;
        md5.Update(block, delivered);
        total += delivered;
    }
    if (total == 0)
        return false;
    md5.Finish(digest);
    return true;
}

// Writes the digest as 32 lower-case hexadecimal characters, high nibble first, and a
// terminating NUL (33 bytes in all).
void FormatMd5Hex(const std::uint8_t digest[Md5::kDigestSize], char text[33]);
