// The hand pointer as CreateCursor receives it: rows of 4 bytes, top row first, the most
// significant bit of each byte its leftmost pixel. AND 1 with XOR 0 leaves the screen as it is.
#include "ui/HandCursor.h"

#include <gtest/gtest.h>

namespace {

enum class Pixel { Clear, Black, White, Inverted };

class HandCursor : public testing::Test {
  protected:
    void SetUp() override { HandCursorMasks(andMask, xorMask); }

    Pixel At(int x, int y) const {
        if (x < 0 || y < 0 || x >= kHandCursorSize || y >= kHandCursorSize)
            return Pixel::Clear;
        const int shift = 7 - x % 8;
        const bool andBit = (andMask[y * 4 + x / 8] >> shift) & 1;
        const bool xorBit = (xorMask[y * 4 + x / 8] >> shift) & 1;
        if (andBit)
            return xorBit ? Pixel::Inverted : Pixel::Clear;
        return xorBit ? Pixel::White : Pixel::Black;
    }

    uint8_t andMask[kHandCursorMaskBytes];
    uint8_t xorMask[kHandCursorMaskBytes];
};

TEST_F(HandCursor, DrawsExactlyTheTopLeft17By22Pixels) {
    bool reachesRight = false;
    bool reachesBottom = false;
    for (int y = 0; y < kHandCursorSize; ++y) {
        for (int x = 0; x < kHandCursorSize; ++x) {
            const bool drawn = At(x, y) != Pixel::Clear;
            EXPECT_FALSE(drawn && (x >= 17 || y >= 22)) << x << "," << y;
            reachesRight |= drawn && x == 16;
            reachesBottom |= drawn && y == 21;
        }
    }
    EXPECT_TRUE(reachesRight);
    EXPECT_TRUE(reachesBottom);
}

TEST_F(HandCursor, WhiteFillIsClosedInByTheBlackOutline) {
    int white = 0;
    for (int y = 0; y < kHandCursorSize; ++y) {
        for (int x = 0; x < kHandCursorSize; ++x) {
            EXPECT_NE(At(x, y), Pixel::Inverted) << x << "," << y;
            if (At(x, y) != Pixel::White)
                continue;
            ++white;
            for (const Pixel next : {At(x - 1, y), At(x + 1, y), At(x, y - 1), At(x, y + 1)})
                EXPECT_NE(next, Pixel::Clear) << "white pixel at " << x << "," << y;
        }
    }
    EXPECT_GT(white, 0);
}

TEST_F(HandCursor, HotSpotIsTheTipOfTheFinger) {
    const int x = kHandCursorHotSpotX;
    const int y = kHandCursorHotSpotY;
    EXPECT_EQ(At(x, y), Pixel::Black);
    EXPECT_EQ(At(x - 1, y), Pixel::Clear);
    for (int above = 0; above < y; ++above) {
        for (int column = 0; column < kHandCursorSize; ++column)
            EXPECT_EQ(At(column, above), Pixel::Clear) << column << "," << above;
    }
}

}  // namespace
