// The library-file header checks and the name test over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "detect/NameTest.h"
#include "detect/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteViewReader reader(ByteView{data, size});
    CheckUpackHeaders(reader);
    const std::string name(reinterpret_cast<const char*>(data), size < 300 ? size : 300);
    PassesNameTest(name.c_str());
    return 0;
}
