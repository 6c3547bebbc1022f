#include "ui/HandCursor.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The pointing hand, rows 0 to 21 as AND and XOR words.
const char* const kExpectedRows[22][2] = {
    {"F9FFFFFF", "00000000"}, {"F0FFFFFF", "06000000"}, {"F0FFFFFF", "06000000"},
    {"F0FFFFFF", "06000000"}, {"F0FFFFFF", "06000000"}, {"F03FFFFF", "06000000"},
    {"F007FFFF", "06C00000"}, {"F001FFFF", "06D80000"}, {"F000FFFF", "06DA0000"},
    {"10007FFF", "06DB0000"}, {"00007FFF", "67FB0000"}, {"00007FFF", "77FF0000"},
    {"80007FFF", "37FF0000"}, {"C0007FFF", "17FF0000"}, {"C0007FFF", "1FFF0000"},
    {"E0007FFF", "0FFF0000"}, {"E000FFFF", "0FFE0000"}, {"F000FFFF", "07FE0000"},
    {"F000FFFF", "07FE0000"}, {"F801FFFF", "03FC0000"}, {"F801FFFF", "03FC0000"},
    {"F801FFFF", "00000000"},
};

std::string Hex(uint32_t word) {
    char text[9];
    std::snprintf(text, sizeof(text), "%08X", word);
    return text;
}

bool Bit(const uint32_t* rows, int x, int y) {
    return (rows[y] >> (31 - x)) & 1u;
}

}  // namespace

TEST(HandCursor, MasksMatchTheHandRowByRow) {
    for (int row = 0; row < 22; ++row) {
        EXPECT_EQ(Hex(kHandCursorAndRows[row]), kExpectedRows[row][0]) << "AND row " << row;
        EXPECT_EQ(Hex(kHandCursorXorRows[row]), kExpectedRows[row][1]) << "XOR row " << row;
    }
    for (int row = 22; row < kHandCursorSize; ++row) {
        EXPECT_EQ(kHandCursorAndRows[row], 0xFFFFFFFFu) << "AND row " << row;
        EXPECT_EQ(kHandCursorXorRows[row], 0u) << "XOR row " << row;
    }
}

TEST(HandCursor, DrawsOnlyInsideTheTopLeft17By22Pixels) {
    for (int y = 0; y < kHandCursorSize; ++y) {
        for (int x = 0; x < kHandCursorSize; ++x) {
            if (x < 17 && y < 22)
                continue;
            EXPECT_TRUE(Bit(kHandCursorAndRows, x, y)) << x << "," << y;
            EXPECT_FALSE(Bit(kHandCursorXorRows, x, y)) << x << "," << y;
        }
    }
}

TEST(HandCursor, IsBlackAndWhiteWithTheHotSpotOnTheOutline) {
    // AND 1 with XOR 1 would invert the screen: the hand only uses black, white and clear.
    for (int y = 0; y < kHandCursorSize; ++y) {
        EXPECT_EQ(kHandCursorAndRows[y] & kHandCursorXorRows[y], 0u) << "row " << y;
    }
    EXPECT_FALSE(Bit(kHandCursorAndRows, kHandCursorHotSpotX, kHandCursorHotSpotY));
    EXPECT_FALSE(Bit(kHandCursorXorRows, kHandCursorHotSpotX, kHandCursorHotSpotY));
    EXPECT_TRUE(Bit(kHandCursorAndRows, kHandCursorHotSpotX - 1, kHandCursorHotSpotY));
}

TEST(HandCursor, ByteLayoutIsRowMajorMostSignificantByteFirst) {
    uint8_t andMask[kHandCursorMaskBytes];
    uint8_t xorMask[kHandCursorMaskBytes];
    HandCursorMasks(andMask, xorMask);
    // Row 9: AND 10007FFF, XOR 06DB0000.
    EXPECT_EQ(andMask[36], 0x10);
    EXPECT_EQ(andMask[37], 0x00);
    EXPECT_EQ(andMask[38], 0x7F);
    EXPECT_EQ(andMask[39], 0xFF);
    EXPECT_EQ(xorMask[36], 0x06);
    EXPECT_EQ(xorMask[37], 0xDB);
    EXPECT_EQ(xorMask[127], 0x00);
    EXPECT_EQ(andMask[127], 0xFF);
}
