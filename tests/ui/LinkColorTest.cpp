#include "ui/LinkColor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

const uint32_t kUntouched = 0x00ABCDEF;

// Parses the text as it lands in the zero-filled registry buffer.
bool ParseValue(const std::string& text, uint32_t* color) {
    char buffer[kLinkColorValueSize] = {};
    std::memcpy(buffer, text.data(), std::min(text.size(), sizeof(buffer)));
    return ParseLinkColor(buffer, sizeof(buffer), color);
}

uint32_t Parsed(const std::string& text) {
    uint32_t color = kUntouched;
    EXPECT_TRUE(ParseValue(text, &color)) << text;
    return color;
}

void ExpectRejected(const std::string& text) {
    uint32_t color = kUntouched;
    EXPECT_FALSE(ParseValue(text, &color)) << text;
    EXPECT_EQ(color, kUntouched) << text;
}

// A copy on the heap with nothing after it, so that AddressSanitizer sees any read past the end.
std::unique_ptr<char[]> Exact(const std::string& text) {
    std::unique_ptr<char[]> copy(new char[text.size()]);
    std::memcpy(copy.get(), text.data(), text.size());
    return copy;
}

}  // namespace

TEST(ParseLinkColor, ReadsRedGreenBlueIntoColorrefLayout) {
    EXPECT_EQ(Parsed("0,0,255"), 0x00FF0000u);
    EXPECT_EQ(Parsed("128,0,128"), 0x00800080u);
    EXPECT_EQ(Parsed("255,0,0"), 0x000000FFu);
    EXPECT_EQ(Parsed("1,2,3"), 0x00030201u);
}

TEST(ParseLinkColor, KeepsTheLowEightBitsOfEachNumber) {
    EXPECT_EQ(Parsed("300,0,0"), 44u);
    EXPECT_EQ(Parsed("0,256,0"), 0u);
    // A third number of -1 is not refused; its low byte is 255.
    EXPECT_EQ(Parsed("0,0,-1"), 0x00FF0000u);
    EXPECT_EQ(Parsed("-2,0,0"), 0xFEu);
}

TEST(ParseLinkColor, NumbersAreReadAsAtoiReadsThem) {
    EXPECT_EQ(Parsed(" 1, +2,\t3"), 0x00030201u);
    // No digits gives 0, and text after the number is ignored.
    EXPECT_EQ(Parsed(",,7"), 0x00070000u);
    EXPECT_EQ(Parsed("x,5y,9 blue"), 0x00090500u);
}

TEST(ParseLinkColor, OverflowClampsAsTheRuntimeAtoiDoes) {
    // Longer than the registry buffer, so only reachable by direct calls: INT_MAX keeps 0xFF,
    // INT_MIN keeps 0.
    const std::string text = "99999999999,-99999999999,99999999999";
    uint32_t color = kUntouched;
    ASSERT_TRUE(ParseLinkColor(text.data(), text.size(), &color));
    EXPECT_EQ(color, 0x00FF00FFu);
}

TEST(ParseLinkColor, TextAfterTheThirdNumberIsIgnored) {
    EXPECT_EQ(Parsed("0,0,255,9"), 0x00FF0000u);
    EXPECT_EQ(Parsed("1,2,3 abc"), 0x00030201u);
}

TEST(ParseLinkColor, RefusesMissingCommasAndEmptyRemainders) {
    ExpectRejected("");
    ExpectRejected("255");
    ExpectRejected("255,0");
    ExpectRejected("12, 34");
    ExpectRejected("1,2,");
    ExpectRejected("1,");
}

TEST(ParseLinkColor, RefusesMinusOneInTheFirstTwoNumbers) {
    ExpectRejected("-1,0,0");
    ExpectRejected("0,-1,0");
    ExpectRejected(" -1,0,0");
}

TEST(ParseLinkColor, FullBufferWithoutTerminatorIsReadToItsEnd) {
    // Twelve bytes, no NUL: the last number ends with the buffer.
    const std::string text = "000,000,1234";
    ASSERT_EQ(text.size(), kLinkColorValueSize);
    auto exact = Exact(text);
    uint32_t color = kUntouched;
    ASSERT_TRUE(ParseLinkColor(exact.get(), text.size(), &color));
    EXPECT_EQ(color, (1234u & 0xFF) << 16);

    // 99999999 is 0x05F5E0FF.
    const std::string digits = "1,2,99999999";
    auto exactDigits = Exact(digits);
    ASSERT_TRUE(ParseLinkColor(exactDigits.get(), digits.size(), &color));
    EXPECT_EQ(color, 0x00FF0201u);

    // Nothing past the end is read even when the text never closes its second number.
    const std::string open = "123456789,12";
    auto exactOpen = Exact(open);
    color = kUntouched;
    EXPECT_FALSE(ParseLinkColor(exactOpen.get(), open.size(), &color));
    EXPECT_EQ(color, kUntouched);
}

TEST(ParseLinkColor, StopsAtTheFirstNul) {
    const char buffer[kLinkColorValueSize] = {'1', ',', '2', '\0', ',', '3'};
    uint32_t color = kUntouched;
    EXPECT_FALSE(ParseLinkColor(buffer, sizeof(buffer), &color));
    EXPECT_EQ(color, kUntouched);
}

TEST(ParseLinkColor, StepsOverTwoByteCharactersAsCharNextDoes) {
    // 0x81 is a GBK lead byte: the comma after it is its second byte, not a separator.
    ExpectRejected("\x81,1,2");
    EXPECT_EQ(Parsed("\x81,,1,2"), 0x00020100u);
    // A lead byte as the last character takes nothing with it.
    const std::string text = "1,2,3\x81";
    auto exact = Exact(text);
    uint32_t color = kUntouched;
    EXPECT_TRUE(ParseLinkColor(exact.get(), text.size(), &color));
    EXPECT_EQ(color, 0x00030201u);
    // A single-byte code page sees the comma.
    const auto singleByte = [](unsigned char) { return false; };
    color = kUntouched;
    EXPECT_TRUE(ParseLinkColor("\x81,1,2", 6, &color, singleByte));
    EXPECT_EQ(color, 0x00020100u);
}

TEST(IsCp936LeadByte, CoversGbkLeadRange) {
    EXPECT_FALSE(IsCp936LeadByte(0x80));
    EXPECT_TRUE(IsCp936LeadByte(0x81));
    EXPECT_TRUE(IsCp936LeadByte(0xFE));
    EXPECT_FALSE(IsCp936LeadByte(0xFF));
    EXPECT_FALSE(IsCp936LeadByte(','));
}
