// Under Wine with code page 936: the portable colour parse agrees with CharNextA.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/LinkColor.h"

namespace {
bool IsAnsiLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}
}  // namespace

TEST(LinkColorCodePage, Cp936LeadBytesAreTheSystemLeadBytes) {
    ASSERT_EQ(GetACP(), 936u) << "the Wine prefix runs with LANG=zh_CN.UTF-8";
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(IsCp936LeadByte(static_cast<unsigned char>(byte)),
                  IsAnsiLeadByte(static_cast<unsigned char>(byte)))
            << byte;
    }
}

TEST(LinkColorCodePage, CommaAfterALeadByteIsHiddenFromBothParsers) {
    ASSERT_EQ(GetACP(), 936u) << "the Wine prefix runs with LANG=zh_CN.UTF-8";
    // What CharNextA does with a lead byte followed by a comma.
    const char text[] = "\x81,1,2";
    EXPECT_EQ(CharNextA(text), text + 2);
    uint32_t color = 7;
    EXPECT_FALSE(ParseLinkColor(text, sizeof(text) - 1, &color, IsAnsiLeadByte));
    EXPECT_FALSE(ParseLinkColor(text, sizeof(text) - 1, &color));
    EXPECT_EQ(color, 7u);
}
