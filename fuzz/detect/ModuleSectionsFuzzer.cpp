// The module inspection's section walk over a fuzzed header and fuzzed memory. The first four
// bytes give the module size; the rest is the module's memory from its base, with every third
// piece unreadable and every fifth read cut short. The walk must stay within its bound: the
// module's pages for each section the header copy can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "detect/PeImage.h"

namespace {

class FuzzedMemory : public ImageReader {
  public:
    FuzzedMemory(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        ++reads;
        if (length != kInspectionBufferSize)
            std::abort();
        if (offset >= size_ || (offset / kInspectionBufferSize) % 3 == 2)
            return 0;
        std::uint64_t count = size_ - offset < length ? size_ - offset : length;
        if (reads % 5 == 0 && count > 7)
            count -= 7;
        std::memcpy(out, data_ + offset, count);
        return static_cast<std::uint32_t>(count);
    }
    std::uint64_t reads = 0;

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    std::uint32_t moduleSize;
    std::memcpy(&moduleSize, data, 4);
    moduleSize &= 0xFFFFF;  // up to 1 MiB keeps each run short
    FuzzedMemory memory(data + 4, size - 4);
    static unsigned char header[kInspectionBufferSize];
    static unsigned char chunk[kInspectionBufferSize];
    InspectModuleSections(header, chunk, memory, moduleSize);
    // The header page, then the module's pages for each section; a section table lies within
    // the header copy, after at least the 24 bytes of the PE signature and file header.
    const std::uint64_t mostSections = (kInspectionBufferSize - 24) / 40;
    const std::uint64_t modulePages =
        (std::uint64_t{moduleSize} + kInspectionBufferSize - 1) / kInspectionBufferSize;
    if (memory.reads > 1 + mostSections * modulePages)
        std::abort();
    return 0;
}
