#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "reporter/core/Hex.h"
#include "reporter/core/Sha256.h"

namespace reporter {
namespace {

template <typename Hash>
std::string Digest(const std::string& text, size_t piece = 0) {
    Hash hash;
    if (piece == 0) {
        hash.Update(text.data(), text.size());
    } else {
        for (size_t i = 0; i < text.size(); i += piece) {
            hash.Update(text.data() + i, text.size() - i < piece ? text.size() - i : piece);
        }
    }
    uint8_t digest[Hash::kDigestSize];
    hash.Finish(digest);
    return ToHex(digest, sizeof(digest));
}

TEST(DigestTest, Sha256MatchesTheStandardVectors) {
    EXPECT_EQ(Digest<Sha256>(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Digest<Sha256>("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Digest<Sha256>("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(DigestTest, FeedingInPiecesAcrossBlockEdgesGivesTheSameDigest) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text.push_back(char(i * 7));
    for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 999u}) {
        EXPECT_EQ(Digest<Sha256>(text, piece), Digest<Sha256>(text)) << piece;
    }
    // Lengths around the padding edge (55/56/64 bytes) are where a padding bug shows.
    EXPECT_EQ(Digest<Sha256>(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(DigestTest, Md5HexIsExactlyThirtyTwoHexDigits) {
    EXPECT_TRUE(IsMd5Hex("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_TRUE(IsMd5Hex("D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_FALSE(IsMd5Hex("d41d8cd98f00b204e9800998ecf8427"));
    EXPECT_FALSE(IsMd5Hex("d41d8cd98f00b204e9800998ecf8427e0"));
    EXPECT_FALSE(IsMd5Hex("g41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_FALSE(IsMd5Hex(""));
}

}  // namespace
}  // namespace reporter
