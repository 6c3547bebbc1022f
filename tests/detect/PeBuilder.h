#pragma once
// Builds small PE images for tests: a DOS header, the PE header with a 224-byte optional header
// (or another size), a section table, and each section's bytes either at its file offset (file
// layout) or at its virtual address (the layout of a loaded module).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testpe {

struct Section {
    std::string name;  // up to 8 bytes; 8 bytes leave no terminating zero
    std::uint32_t virtualSize = 0x1000;
    std::uint32_t virtualAddress = 0x1000;
    std::uint32_t rawSize = 0x200;
    std::uint32_t rawOffset = 0x400;
    std::vector<unsigned char> content;  // placed at rawOffset / virtualAddress
};

class PeBuilder {
  public:
    std::uint32_t lfanew = 0x80;
    std::uint16_t optionalHeaderSize = 224;
    std::uint16_t dosMagic = 0x5A4D;
    std::uint32_t signature = 0x00004550;
    int sectionCountOverride = -1;  // NumberOfSections written, when not the real count
    std::vector<Section> sections;

    PeBuilder& Add(const Section& section) {
        sections.push_back(section);
        return *this;
    }
    PeBuilder& Add(const std::string& name, std::vector<unsigned char> content = {}) {
        Section section;
        section.name = name;
        section.virtualAddress = 0x1000 * static_cast<std::uint32_t>(sections.size() + 1);
        section.rawOffset = 0x400 + 0x200 * static_cast<std::uint32_t>(sections.size());
        section.content = std::move(content);
        sections.push_back(section);
        return *this;
    }

    std::uint32_t SectionTableOffset() const { return lfanew + 24 + optionalHeaderSize; }
    std::uint32_t HeadersEnd() const {
        return SectionTableOffset() + 40 * static_cast<std::uint32_t>(sections.size());
    }

    // The image as a file on disk.
    std::vector<unsigned char> BuildFile() const {
        std::vector<unsigned char> bytes(HeadersEnd());
        for (const Section& s : sections)
            Grow(bytes, s.rawOffset + s.content.size());
        WriteHeaders(bytes);
        for (const Section& s : sections)
            Place(bytes, s.rawOffset, s.content);
        return bytes;
    }

    // The image as mapped in memory, sizeOfImage bytes.
    std::vector<unsigned char> BuildMemory(std::uint32_t sizeOfImage) const {
        std::vector<unsigned char> bytes(sizeOfImage);
        Grow(bytes, HeadersEnd());
        WriteHeaders(bytes);
        for (const Section& s : sections) {
            if (s.virtualAddress < bytes.size())
                Place(bytes, s.virtualAddress, s.content);
        }
        bytes.resize(sizeOfImage);
        return bytes;
    }

  private:
    static void Grow(std::vector<unsigned char>& bytes, std::size_t size) {
        if (bytes.size() < size)
            bytes.resize(size);
    }
    static void Put16(std::vector<unsigned char>& b, std::size_t at, std::uint16_t v) {
        b[at] = v & 0xFF;
        b[at + 1] = v >> 8;
    }
    static void Put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = (v >> (8 * i)) & 0xFF;
    }
    static void Place(std::vector<unsigned char>& b, std::size_t at,
                      const std::vector<unsigned char>& content) {
        Grow(b, at + content.size());
        if (!content.empty())
            std::memcpy(b.data() + at, content.data(), content.size());
    }
    void WriteHeaders(std::vector<unsigned char>& b) const {
        Grow(b, 64);
        Put16(b, 0, dosMagic);
        Put32(b, 0x3C, lfanew);
        if (lfanew + 248 > b.size())
            return;  // e_lfanew past the end: nothing more to write
        Put32(b, lfanew, signature);
        Put16(b, lfanew + 4, 0x014C);
        Put16(b, lfanew + 6,
              static_cast<std::uint16_t>(sectionCountOverride >= 0 ? sectionCountOverride
                                                                   : sections.size()));
        Put16(b, lfanew + 20, optionalHeaderSize);
        Put16(b, lfanew + 24, 0x010B);
        std::size_t entry = SectionTableOffset();
        for (const Section& s : sections) {
            std::memset(b.data() + entry, 0, 40);
            std::memcpy(b.data() + entry, s.name.data(), s.name.size() < 8 ? s.name.size() : 8);
            Put32(b, entry + 8, s.virtualSize);
            Put32(b, entry + 12, s.virtualAddress);
            Put32(b, entry + 16, s.rawSize);
            Put32(b, entry + 20, s.rawOffset);
            entry += 40;
        }
    }
};

// Bytes of upper-case hexadecimal text, for placing a pattern into a test image.
inline std::vector<unsigned char> FromHex(const char* hex) {
    std::vector<unsigned char> bytes;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    for (; hex[0] != '\0' && hex[1] != '\0'; hex += 2)
        bytes.push_back(static_cast<unsigned char>(nibble(hex[0]) * 16 + nibble(hex[1])));
    return bytes;
}

}  // namespace testpe
