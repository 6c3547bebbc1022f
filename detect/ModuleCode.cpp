#include "detect/ModuleCode.h"

#include <cstdint>

#include "detect/PeImage.h"

namespace {

// Another process's memory at offsets from a module's base.
class ProcessMemoryReader : public ImageReader {
  public:
    ProcessMemoryReader(HANDLE process, const void* base)
        : process_(process), base_(reinterpret_cast<std::uintptr_t>(base)) {}

    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        if (offset > UINTPTR_MAX - base_)
            return 0;
        const void* address =
            reinterpret_cast<const void*>(base_ + static_cast<std::uintptr_t>(offset));
        SIZE_T read = 0;
        if (!ReadProcessMemory(process_, address, out, length, &read)) {
            // A piece that runs into uncommitted pages arrives in part; those bytes still count.
            if (GetLastError() != ERROR_PARTIAL_COPY)
                return 0;
        }
        return read > length ? length : static_cast<std::uint32_t>(read);
    }

  private:
    HANDLE process_;
    std::uintptr_t base_;
};

}  // namespace

int InspectModuleImage(unsigned char* headerBuffer, unsigned char* chunkBuffer, HANDLE process,
                       const void* moduleBase, DWORD moduleSize) {
    ProcessMemoryReader memory(process, moduleBase);
    return InspectModuleSections(headerBuffer, chunkBuffer, memory, moduleSize);
}
