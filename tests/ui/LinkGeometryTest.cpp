#include "ui/LinkGeometry.h"

#include <gtest/gtest.h>

TEST(LinkAlignmentFromStyle, CenterBitWinsOverRightBit) {
    EXPECT_EQ(LinkAlignmentFromStyle(0x0), LinkAlignment::Left);
    EXPECT_EQ(LinkAlignmentFromStyle(0x1), LinkAlignment::Center);
    EXPECT_EQ(LinkAlignmentFromStyle(0x2), LinkAlignment::Right);
    EXPECT_EQ(LinkAlignmentFromStyle(0x3), LinkAlignment::Center);
    // Other style bits (SS_NOTIFY, WS_VISIBLE, WS_GROUP) leave it alone.
    EXPECT_EQ(LinkAlignmentFromStyle(0x50020100), LinkAlignment::Left);
    EXPECT_EQ(LinkAlignmentFromStyle(0x50020102), LinkAlignment::Right);
}

TEST(LinkRectShift, LeftAlignedTextStaysAtTheOrigin) {
    EXPECT_EQ(LinkRectShift(LinkAlignment::Left, 100, 40), 0);
    EXPECT_EQ(LinkRectShift(LinkAlignment::Left, 100, 140), 0);
}

TEST(LinkRectShift, RightAlignedTextMovesToTheRightEdge) {
    EXPECT_EQ(LinkRectShift(LinkAlignment::Right, 100, 40), 60);
    EXPECT_EQ(LinkRectShift(LinkAlignment::Right, 100, 100), 0);
    EXPECT_EQ(LinkRectShift(LinkAlignment::Right, 100, 130), -30);
}

TEST(LinkRectShift, CentredTextHalvesTheFreeSpaceRoundingTowardZero) {
    EXPECT_EQ(LinkRectShift(LinkAlignment::Center, 100, 40), 30);
    EXPECT_EQ(LinkRectShift(LinkAlignment::Center, 100, 41), 29);
    EXPECT_EQ(LinkRectShift(LinkAlignment::Center, 100, 99), 0);
    // Wider than the client: -3 / 2 is -1, not -2.
    EXPECT_EQ(LinkRectShift(LinkAlignment::Center, 100, 103), -1);
}

TEST(StaticStyleShowsPicture, PictureAndFrameTypesKeepTheirOwnPainting) {
    for (uint32_t type = 0; type <= 0xFF; ++type) {
        const bool picture = (type >= 3 && type <= 9) || (type >= 13 && type <= 15);
        EXPECT_EQ(StaticStyleShowsPicture(type), picture) << "type " << type;
    }
}

TEST(StaticStyleShowsPicture, OnlyTheLowByteCounts) {
    // The etched types are not among the picture types.
    EXPECT_FALSE(StaticStyleShowsPicture(0x10));
    EXPECT_FALSE(StaticStyleShowsPicture(0x12));
    // Bits above the low byte do not change the answer.
    EXPECT_TRUE(StaticStyleShowsPicture(0x50000103));
    // SS_LEFT with SS_NOTIFY and SS_NOPREFIX is text.
    EXPECT_FALSE(StaticStyleShowsPicture(0x180));
    EXPECT_FALSE(StaticStyleShowsPicture(0x50020000));
}
