// The library-file header checks and the name test over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "detect/NameTest.h"
#include "detect/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteViewReader reader(ByteView{data, size});
    CheckUpackHeaders(reader);
    // The name as UTF-16 units, two bytes each.
    WidePath name;
    for (std::size_t i = 0; i + 1 < size && name.size() < 300; i += 2)
        name += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    PassesNameTest(name);
    return 0;
}
