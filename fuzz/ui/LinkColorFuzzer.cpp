// The link colour parse over registry bytes: any content, any length up to the buffer size, no
// terminator required. AddressSanitizer catches a read past the copy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ui/LinkColor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kLinkColorValueSize)
        size = kLinkColorValueSize;
    // An exact-size heap copy: nothing readable follows it.
    char* copy = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
    if (copy == nullptr)
        return 0;
    if (size != 0)
        std::memcpy(copy, data, size);
    uint32_t color = 0xFFFFFFFFu;
    const bool parsed = ParseLinkColor(copy, size, &color);
    if (parsed && (color >> 24) != 0)
        std::abort();
    if (!parsed && color != 0xFFFFFFFFu)
        std::abort();
    std::free(copy);
    return 0;
}
