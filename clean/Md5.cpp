#include "clean/Md5.h"

#include <cstring>

namespace {

inline std::uint32_t RotateLeft(std::uint32_t value, int count) {
    return (value << count) | (value >> (32 - count));
}

inline std::uint32_t ReadLittleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
           (std::uint32_t(bytes[2]) << 16) | (std::uint32_t(bytes[3]) << 24);
}

inline void WriteLittleEndian32(std::uint32_t value, std::uint8_t* bytes) {
    bytes[0] = std::uint8_t(value);
    bytes[1] = std::uint8_t(value >> 8);
    bytes[2] = std::uint8_t(value >> 16);
    bytes[3] = std::uint8_t(value >> 24);
}

// Keeps the compiler from moving the constant's addition behind f, onto the dependent chain.
#if defined(__GNUC__) || defined(__clang__)
#define MD5_SETTLE(value) __asm__("" : "+r"(value))
#else
#define MD5_SETTLE(value) (void)0
#endif

// One step of a round: a = b + ((a + f(b,c,d) + x + t) <<< s). The message word and the
// constant are added first and b, the newest value, enters last, which keeps the chain of
// dependent operations per step short. G is written as the sum of its two disjoint halves for
// the same reason.
#define MD5_STEP_F(a, b, c, d, x, t, s) \
    (a) += (x) + (t);                   \
    MD5_SETTLE(a);                      \
    (a) += (((c) ^ (d)) & (b)) ^ (d);   \
    (a) = RotateLeft((a), (s)) + (b)
#define MD5_STEP_G(a, b, c, d, x, t, s) \
    (a) += (x) + (t);                   \
    MD5_SETTLE(a);                      \
    (a) += ~(d) & (c);                  \
    MD5_SETTLE(a);                      \
    (a) += (d) & (b);                   \
    (a) = RotateLeft((a), (s)) + (b)
#define MD5_STEP_H(a, b, c, d, x, t, s) \
    (a) += (x) + (t);                   \
    MD5_SETTLE(a);                      \
    (a) += ((c) ^ (d)) ^ (b);           \
    (a) = RotateLeft((a), (s)) + (b)
#define MD5_STEP_I(a, b, c, d, x, t, s) \
    (a) += (x) + (t);                   \
    MD5_SETTLE(a);                      \
    (a) += (c) ^ ((b) | ~(d));          \
    (a) = RotateLeft((a), (s)) + (b)

}  // namespace

void Md5::Reset() {
    state_[0] = 0x67452301u;
    state_[1] = 0xefcdab89u;
    state_[2] = 0x98badcfeu;
    state_[3] = 0x10325476u;
    byteCount_ = 0;
}

void Md5::Transform(const std::uint8_t block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = ReadLittleEndian32(block + 4 * i);
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

    MD5_STEP_F(a, b, c, d, x[0], 0xd76aa478u, 7);
    MD5_STEP_F(d, a, b, c, x[1], 0xe8c7b756u, 12);
    MD5_STEP_F(c, d, a, b, x[2], 0x242070dbu, 17);
    MD5_STEP_F(b, c, d, a, x[3], 0xc1bdceeeu, 22);
    MD5_STEP_F(a, b, c, d, x[4], 0xf57c0fafu, 7);
    MD5_STEP_F(d, a, b, c, x[5], 0x4787c62au, 12);
    MD5_STEP_F(c, d, a, b, x[6], 0xa8304613u, 17);
    MD5_STEP_F(b, c, d, a, x[7], 0xfd469501u, 22);
    MD5_STEP_F(a, b, c, d, x[8], 0x698098d8u, 7);
    MD5_STEP_F(d, a, b, c, x[9], 0x8b44f7afu, 12);
    MD5_STEP_F(c, d, a, b, x[10], 0xffff5bb1u, 17);
    MD5_STEP_F(b, c, d, a, x[11], 0x895cd7beu, 22);
    MD5_STEP_F(a, b, c, d, x[12], 0x6b901122u, 7);
    MD5_STEP_F(d, a, b, c, x[13], 0xfd987193u, 12);
    MD5_STEP_F(c, d, a, b, x[14], 0xa679438eu, 17);
    MD5_STEP_F(b, c, d, a, x[15], 0x49b40821u, 22);

    MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562u, 5);
    MD5_STEP_G(d, a, b, c, x[6], 0xc040b340u, 9);
    MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51u, 14);
    MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aau, 20);
    MD5_STEP_G(a, b, c, d, x[5], 0xd62f105du, 5);
    MD5_STEP_G(d, a, b, c, x[10], 0x02441453u, 9);
    MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681u, 14);
    MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8u, 20);
    MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6u, 5);
    MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6u, 9);
    MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87u, 14);
    MD5_STEP_G(b, c, d, a, x[8], 0x455a14edu, 20);
    MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905u, 5);
    MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8u, 9);
    MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9u, 14);
    MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8au, 20);

    MD5_STEP_H(a, b, c, d, x[5], 0xfffa3942u, 4);
    MD5_STEP_H(d, a, b, c, x[8], 0x8771f681u, 11);
    MD5_STEP_H(c, d, a, b, x[11], 0x6d9d6122u, 16);
    MD5_STEP_H(b, c, d, a, x[14], 0xfde5380cu, 23);
    MD5_STEP_H(a, b, c, d, x[1], 0xa4beea44u, 4);
    MD5_STEP_H(d, a, b, c, x[4], 0x4bdecfa9u, 11);
    MD5_STEP_H(c, d, a, b, x[7], 0xf6bb4b60u, 16);
    MD5_STEP_H(b, c, d, a, x[10], 0xbebfbc70u, 23);
    MD5_STEP_H(a, b, c, d, x[13], 0x289b7ec6u, 4);
    MD5_STEP_H(d, a, b, c, x[0], 0xeaa127fau, 11);
    MD5_STEP_H(c, d, a, b, x[3], 0xd4ef3085u, 16);
    MD5_STEP_H(b, c, d, a, x[6], 0x04881d05u, 23);
    MD5_STEP_H(a, b, c, d, x[9], 0xd9d4d039u, 4);
    MD5_STEP_H(d, a, b, c, x[12], 0xe6db99e5u, 11);
    MD5_STEP_H(c, d, a, b, x[15], 0x1fa27cf8u, 16);
    MD5_STEP_H(b, c, d, a, x[2], 0xc4ac5665u, 23);

    MD5_STEP_I(a, b, c, d, x[0], 0xf4292244u, 6);
    MD5_STEP_I(d, a, b, c, x[7], 0x432aff97u, 10);
    MD5_STEP_I(c, d, a, b, x[14], 0xab9423a7u, 15);
    MD5_STEP_I(b, c, d, a, x[5], 0xfc93a039u, 21);
    MD5_STEP_I(a, b, c, d, x[12], 0x655b59c3u, 6);
    MD5_STEP_I(d, a, b, c, x[3], 0x8f0ccc92u, 10);
    MD5_STEP_I(c, d, a, b, x[10], 0xffeff47du, 15);
    MD5_STEP_I(b, c, d, a, x[1], 0x85845dd1u, 21);
    MD5_STEP_I(a, b, c, d, x[8], 0x6fa87e4fu, 6);
    MD5_STEP_I(d, a, b, c, x[15], 0xfe2ce6e0u, 10);
    MD5_STEP_I(c, d, a, b, x[6], 0xa3014314u, 15);
    MD5_STEP_I(b, c, d, a, x[13], 0x4e0811a1u, 21);
    MD5_STEP_I(a, b, c, d, x[4], 0xf7537e82u, 6);
    MD5_STEP_I(d, a, b, c, x[11], 0xbd3af235u, 10);
    MD5_STEP_I(c, d, a, b, x[2], 0x2ad7d2bbu, 15);
    MD5_STEP_I(b, c, d, a, x[9], 0xeb86d391u, 21);

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::Update(const void* data, std::size_t size) {
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t buffered = std::size_t(byteCount_ & 63);
    byteCount_ += size;
    if (buffered != 0) {
        const std::size_t room = 64 - buffered;
        if (size < room) {
            std::memcpy(buffer_ + buffered, bytes, size);
            return;
        }
        std::memcpy(buffer_ + buffered, bytes, room);
        Transform(buffer_);
        bytes += room;
        size -= room;
    }
    // Whole blocks straight from the caller's memory, without a copy.
    while (size >= 64) {
        Transform(bytes);
        bytes += 64;
        size -= 64;
    }
    if (size != 0)
        std::memcpy(buffer_, bytes, size);
}

void Md5::Finish(std::uint8_t digest[kDigestSize]) {
    const std::uint64_t bitCount = byteCount_ * 8;
    // Padding: one 0x80 byte, zeros up to 56 mod 64, then the bit count (little-endian).
    static const std::uint8_t kPadding[64] = {0x80};
    const std::size_t buffered = std::size_t(byteCount_ & 63);
    const std::size_t padSize = buffered < 56 ? 56 - buffered : 120 - buffered;
    Update(kPadding, padSize);
    std::uint8_t lengthBytes[8];
    WriteLittleEndian32(std::uint32_t(bitCount), lengthBytes);
    WriteLittleEndian32(std::uint32_t(bitCount >> 32), lengthBytes + 4);
    Update(lengthBytes, 8);
    for (int i = 0; i < 4; ++i)
        WriteLittleEndian32(state_[i], digest + 4 * i);
}

void FormatMd5Hex(const std::uint8_t digest[Md5::kDigestSize], char text[33]) {
    static const char kHexDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < Md5::kDigestSize; ++i) {
        text[2 * i] = kHexDigits[digest[i] >> 4];
        text[2 * i + 1] = kHexDigits[digest[i] & 0x0F];
    }
    text[32] = '\0';
}
