#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace reporter {

// Lowercase hexadecimal, high nibble first: the form of digests in the upload list.
std::string ToHex(const uint8_t* bytes, size_t size);
// True for exactly 32 hexadecimal digits (either case).
bool IsMd5Hex(const std::string& text);
std::string ToLowerAscii(std::string text);

}  // namespace reporter
