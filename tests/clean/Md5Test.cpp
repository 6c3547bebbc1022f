#include "clean/Md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string HexOf(const void* data, std::size_t size) {
    Md5 md5;
    md5.Update(data, size);
    std::uint8_t digest[Md5::kDigestSize];
    md5.Finish(digest);
    char text[33];
    FormatMd5Hex(digest, text);
    return text;
}

std::string HexOf(const std::string& text) {
    return HexOf(text.data(), text.size());
}

}  // namespace

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Test, Rfc1321TestSuite) {
    EXPECT_EQ(HexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(HexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(HexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(HexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(HexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(HexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(HexOf("1234567890123456789012345678901234567890"
                    "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

// 55 bytes leave room for the length in the last block, 56 do not; 64 fill a block exactly.
TEST(Md5Test, LengthsAroundThePaddingEdges) {
    const struct {
        std::size_t length;
        const char* digest;
    } cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"},  {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},  {65, "c743a45e0d2e6a95cb859adae0248435"},
        {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"},
        {128, "e510683b3f5ffe4093d021808bc6ff70"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexOf(std::string(c.length, 'a')), c.digest) << c.length << " bytes";
    }
}

TEST(Md5Test, PiecesOfAnySizeGiveTheWholeDigest) {
    std::vector<std::uint8_t> data;
    for (int round = 0; round < 17; ++round) {
        for (int value = 0; value < 256; ++value)
            data.push_back(std::uint8_t(value));
    }
    const std::string whole = HexOf(data.data(), data.size());
    EXPECT_EQ(whole, "ede405912772e53bd42848197e80bb3b");
    for (std::size_t piece : {std::size_t(1), std::size_t(3), std::size_t(55), std::size_t(63),
                              std::size_t(64), std::size_t(65), std::size_t(4096)}) {
        Md5 md5;
        for (std::size_t offset = 0; offset < data.size(); offset += piece) {
            md5.Update(data.data() + offset, std::min(piece, data.size() - offset));
        }
        std::uint8_t digest[Md5::kDigestSize];
        md5.Finish(digest);
        char text[33];
        FormatMd5Hex(digest, text);
        EXPECT_EQ(whole, text) << "pieces of " << piece;
    }
}

TEST(Md5Test, ResetStartsAFreshDigest) {
    Md5 md5;
    md5.Update("garbage", 7);
    md5.Reset();
    md5.Update("abc", 3);
    std::uint8_t digest[Md5::kDigestSize];
    md5.Finish(digest);
    char text[33];
    FormatMd5Hex(digest, text);
    EXPECT_STREQ(text, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5Test, HexIsLowerCaseHighNibbleFirst) {
    std::uint8_t digest[Md5::kDigestSize] = {0x0F, 0xA0, 0xFF, 0x00, 0x12, 0x34, 0x56, 0x78,
                                             0x9A, 0xBC, 0xDE, 0xF0, 0x01, 0x23, 0x45, 0x67};
    char text[33];
    std::memset(text, 'x', sizeof(text));
    FormatMd5Hex(digest, text);
    EXPECT_STREQ(text, "0fa0ff00123456789abcdef001234567");
}

namespace {

// Hands out `blocks` full blocks of 'a', then fails at block `failAt` (or ends cleanly).
struct ScriptedReader {
    int blocks;
    int failAt;
    int calls = 0;
    bool operator()(std::uint8_t* buffer, std::size_t size, std::size_t* delivered) {
        const int index = calls++;
        if (index == failAt)
            return false;
        *delivered = index < blocks ? size : 0;
        std::memset(buffer, 'a', *delivered);
        return true;
    }
};

}  // namespace

TEST(Md5OfBlocksTest, DigestCoversEveryBlockRead) {
    std::uint8_t block[64];
    std::uint8_t digest[Md5::kDigestSize];
    ASSERT_TRUE(Md5OfBlocks(ScriptedReader{2, -1}, block, sizeof(block), digest));
    char text[33];
    FormatMd5Hex(digest, text);
    EXPECT_STREQ(text, "e510683b3f5ffe4093d021808bc6ff70");  // 128 times 'a'
}

TEST(Md5OfBlocksTest, ReadFailingAfterTheFirstBlockFailsTheDigest) {
    std::uint8_t block[64];
    std::uint8_t digest[Md5::kDigestSize];
    EXPECT_FALSE(Md5OfBlocks(ScriptedReader{3, 1}, block, sizeof(block), digest));
    EXPECT_FALSE(Md5OfBlocks(ScriptedReader{3, 2}, block, sizeof(block), digest));
    EXPECT_FALSE(Md5OfBlocks(ScriptedReader{3, 0}, block, sizeof(block), digest));
}

TEST(Md5OfBlocksTest, NothingReadIsNoDigest) {
    std::uint8_t block[64];
    std::uint8_t digest[Md5::kDigestSize];
    EXPECT_FALSE(Md5OfBlocks(ScriptedReader{0, -1}, block, sizeof(block), digest));
}

TEST(Md5OfBlocksTest, ReaderClaimingMoreThanTheBlockIsRefused) {
    std::uint8_t block[64];
    std::uint8_t digest[Md5::kDigestSize];
    auto liar = [](std::uint8_t*, std::size_t size, std::size_t* delivered) {
        *delivered = size + 1;
        return true;
    };
    EXPECT_FALSE(Md5OfBlocks(liar, block, sizeof(block), digest));
}
