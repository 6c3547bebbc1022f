#include "detect/PeImage.h"

#include <cstring>
#include <memory>
#include <new>

#include "detect/CodePatterns.h"
#include "win/PathCompare.h"

namespace {

const std::uint32_t kDosHeaderSize = 64;
const std::uint32_t kNtHeadersSize = 248;  // signature, file header, 224-byte optional header
const std::uint32_t kSectionHeaderSize = 40;
const std::uint32_t kLfanewOffset = 0x3C;
const std::uint32_t kPeSignature = 0x00004550;

bool StartsWith(const unsigned char* name, const char* prefix) {
    return std::memcmp(name, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

int CheckUpackHeaders(ImageReader& file) {
    unsigned char dos[kDosHeaderSize];
    if (file.Read(0, dos, kDosHeaderSize) != kDosHeaderSize)
        return 0;
    const ByteView dosView{dos, sizeof(dos)};
    std::uint16_t magic = 0;
    std::uint32_t lfanew = 0;
    if (!dosView.Read16(0, &magic) || magic != 0x5A4D)
        return 0;
    // e_lfanew is read as an unsigned offset: a negative one lies far past any file's end.
    if (!dosView.Read32(kLfanewOffset, &lfanew))
        return 0;

    unsigned char nt[kNtHeadersSize];
    if (file.Read(lfanew, nt, kNtHeadersSize) != kNtHeadersSize)
        return 0;
    const ByteView ntView{nt, sizeof(nt)};
    std::uint32_t signature = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalHeaderSize = 0;
    if (!ntView.Read32(0, &signature) || signature != kPeSignature)
        return 0;
    if (!ntView.Read16(6, &sectionCount) || sectionCount == 0)
        return 0;
    if (!ntView.Read16(20, &optionalHeaderSize))
        return 0;

    unsigned char section[kSectionHeaderSize];
    const std::uint64_t sectionOffset = std::uint64_t{lfanew} + 24 + optionalHeaderSize;
    if (file.Read(sectionOffset, section, kSectionHeaderSize) != kSectionHeaderSize)
        return 0;
    char name[9] = {};
    std::memcpy(name, section, 8);
    return ComparePathsNoCase(name, ".Upack") == 0 ? 1 : 0;
}

int InspectModuleSections(unsigned char* headerBuffer, unsigned char* chunkBuffer,
                          ImageReader& memory, std::uint32_t moduleSize) {
    std::uint32_t headerRead = memory.Read(0, headerBuffer, kInspectionBufferSize);
    if (headerRead == 0)
        return 0;
    if (headerRead > kInspectionBufferSize)
        headerRead = kInspectionBufferSize;
    const ByteView header{headerBuffer, headerRead};

    std::uint32_t peOffset = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalHeaderSize = 0;
    if (!header.Read32(kLfanewOffset, &peOffset))
        return 0;
    if (!header.Read16(std::uint64_t{peOffset} + 6, &sectionCount))
        return 0;
    if (!header.Read16(std::uint64_t{peOffset} + 20, &optionalHeaderSize))
        return 0;
    const std::uint64_t tableOffset = std::uint64_t{peOffset} + 24 + optionalHeaderSize;

    // No budget of reads across sections: a packed module can rewrite its table so that early
    // sections use up any such budget before the one holding the code. The cost stays bounded
    // all the same: the table must lie within the header copy (about a hundred entries) and
    // each entry reads only pieces that start inside the module.
    int score = 0;
    for (std::uint32_t index = 0; index < sectionCount; ++index) {
        const std::uint64_t entry = tableOffset + std::uint64_t{index} * kSectionHeaderSize;
        if (!header.Fits(entry, kSectionHeaderSize))
            return 0;
        const unsigned char* name = header.At(entry);
        if (StartsWith(name, ".rsrc") || StartsWith(name, ".reloc"))
            continue;
        std::uint32_t virtualSize = 0;
        std::uint32_t virtualAddress = 0;
        std::uint32_t size = 0;
        header.Read32(entry + 8, &virtualSize);
        header.Read32(entry + 12, &virtualAddress);
        header.Read32(entry + 16, &size);
        if (size == 0 && !StartsWith(name, "BSS") && !StartsWith(name, ".bss"))
            size = virtualSize;

        // A 64-bit offset: with a 32-bit one a size above 0xFFFFF000 would wrap and never end.
        for (std::uint64_t offset = 0; offset < size; offset += kInspectionBufferSize) {
            const std::uint64_t where = std::uint64_t{virtualAddress} + offset;
            if (where >= moduleSize)
                break;
            std::uint32_t read = memory.Read(where, chunkBuffer, kInspectionBufferSize);
            if (read == 0)
                continue;
            if (read > kInspectionBufferSize)
                read = kInspectionBufferSize;
            score += MatchCodePatterns(chunkBuffer, read, CodePatternTable, kCodePatternCount,
                                       kCodePatternThreshold);
            if (score >= kCodePatternThreshold)
                return 1;
        }
    }
    return 0;
}

int FileHoldsCodePattern(ImageReader& file) {
    // The end of each piece carried over to the front of the next: one byte less than the
    // longest pattern, so that every straddling occurrence lies whole in one search.
    const std::size_t longest = LongestCodePattern(CodePatternTable, kCodePatternCount);
    const std::size_t carried = longest == 0 ? 0 : longest - 1;
    std::unique_ptr<unsigned char[]> buffer(
        new (std::nothrow) unsigned char[kInspectionBufferSize + carried]);
    if (!buffer)
        return 0;
    std::uint64_t offset = 0;
    std::size_t kept = 0;
    for (;;) {
        std::uint32_t read = file.Read(offset, buffer.get() + kept, kInspectionBufferSize);
        if (read == 0)
            return 0;
        if (read > kInspectionBufferSize)
            read = kInspectionBufferSize;
        const std::size_t filled = kept + read;
        if (ContainsCodePattern(buffer.get(), filled, CodePatternTable, kCodePatternCount))
            return 1;
        offset += read;
        kept = filled < carried ? filled : carried;
        std::memmove(buffer.get(), buffer.get() + filled - kept, kept);
    }
}
