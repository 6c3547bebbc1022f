#pragma once
#include <cstddef>
#include <cstdint>

// The link's pointer: a 32 x 32 monochrome hand pointing up, black outline and white fill in
// the top-left 17 x 22 pixels, hot spot on the tip of the index finger.
constexpr int kHandCursorSize = 32;
constexpr int kHandCursorHotSpotX = 5;
constexpr int kHandCursorHotSpotY = 0;
constexpr size_t kHandCursorMaskBytes = kHandCursorSize * kHandCursorSize / 8;

// One 32-bit word per row, the most significant bit being the leftmost pixel.
extern const uint32_t kHandCursorAndRows[kHandCursorSize];
extern const uint32_t kHandCursorXorRows[kHandCursorSize];

// The masks laid out as CreateCursor takes them: 4 bytes per row, top row first.
void HandCursorMasks(uint8_t andMask[kHandCursorMaskBytes], uint8_t xorMask[kHandCursorMaskBytes]);
