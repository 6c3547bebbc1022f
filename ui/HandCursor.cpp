#include "ui/HandCursor.h"

// Rows 22 to 31 are transparent (AND all ones, XOR zero).
const uint32_t kHandCursorAndRows[kHandCursorSize] = {
    0xF9FFFFFF, 0xF0FFFFFF, 0xF0FFFFFF, 0xF0FFFFFF, 0xF0FFFFFF, 0xF03FFFFF, 0xF007FFFF, 0xF001FFFF,
    0xF000FFFF, 0x10007FFF, 0x00007FFF, 0x00007FFF, 0x80007FFF, 0xC0007FFF, 0xC0007FFF, 0xE0007FFF,
    0xE000FFFF, 0xF000FFFF, 0xF000FFFF, 0xF801FFFF, 0xF801FFFF, 0xF801FFFF, 0xFFFFFFFF, 0xFFFFFFFF,
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
};

const uint32_t kHandCursorXorRows[kHandCursorSize] = {
    0x00000000, 0x06000000, 0x06000000, 0x06000000, 0x06000000, 0x06000000, 0x06C00000, 0x06D80000,
    0x06DA0000, 0x06DB0000, 0x67FB0000, 0x77FF0000, 0x37FF0000, 0x17FF0000, 0x1FFF0000, 0x0FFF0000,
    0x0FFE0000, 0x07FE0000, 0x07FE0000, 0x03FC0000, 0x03FC0000, 0x00000000, 0x00000000, 0x00000000,
    0x00000000, 0x00000000, 0x00000000, 0x00000000, 0x00000000, 0x00000000, 0x00000000, 0x00000000,
};

namespace {
void RowsToBytes(const uint32_t* rows, uint8_t* bytes) {
    for (int row = 0; row < kHandCursorSize; ++row) {
        for (int byte = 0; byte < 4; ++byte) {
            bytes[row * 4 + byte] = static_cast<uint8_t>(rows[row] >> (24 - 8 * byte));
        }
    }
}
}  // namespace

void HandCursorMasks(uint8_t andMask[kHandCursorMaskBytes], uint8_t xorMask[kHandCursorMaskBytes]) {
    RowsToBytes(kHandCursorAndRows, andMask);
    RowsToBytes(kHandCursorXorRows, xorMask);
}
