#pragma once
#include <cstddef>
#include <cstdint>

// A read-only window over bytes that came from outside (a file, another process). Every field
// is read through Fits first, so a damaged offset or count reads nothing instead of past the end.
struct ByteView {
    const unsigned char* data = nullptr;
    std::size_t size = 0;

    // The size test comes first so that offset + length can never wrap.
    bool Fits(std::uint64_t offset, std::uint64_t length) const {
        return length <= size && offset <= size - length;
    }
    bool Read16(std::uint64_t offset, std::uint16_t* value) const {
        if (!Fits(offset, 2))
            return false;
        const unsigned char* p = data + offset;
        *value = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
        return true;
    }
    bool Read32(std::uint64_t offset, std::uint32_t* value) const {
        if (!Fits(offset, 4))
            return false;
        const unsigned char* p = data + offset;
        *value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                 (static_cast<std::uint32_t>(p[2]) << 16) |
                 (static_cast<std::uint32_t>(p[3]) << 24);
        return true;
    }
    const unsigned char* At(std::uint64_t offset) const { return data + offset; }
};
