#include "win/PathCompare.h"

#include <gtest/gtest.h>

// Both the platform comparison and the portable one must agree on these.
class PathCompareTest : public testing::TestWithParam<int (*)(const char*, const char*)> {};

TEST_P(PathCompareTest, FoldsAsciiLetters) {
    auto compare = GetParam();
    EXPECT_EQ(compare("C:\\ABC.dll", "c:\\abc.DLL"), 0);
    EXPECT_NE(compare("C:\\abc.dll", "C:\\abd.dll"), 0);
}

TEST_P(PathCompareTest, LongerStringIsGreater) {
    auto compare = GetParam();
    EXPECT_LT(compare("abc", "abcd"), 0);
    EXPECT_GT(compare("abcd", "abc"), 0);
    EXPECT_EQ(compare("", ""), 0);
}

TEST_P(PathCompareTest, TrailByteIsNotFoldedAsALetter) {
    auto compare = GetParam();
    // 0x81 0x41 and 0x81 0x61 are two different double-byte characters: 'A' and 'a' are trail
    // bytes here and must not be folded.
    EXPECT_NE(compare("\x81\x41", "\x81\x61"), 0);
    // The same characters followed by letters in different case still compare equal.
    EXPECT_EQ(compare("\xB5\xC1X", "\xB5\xC1x"), 0);
}

TEST_P(PathCompareTest, TrailByteBackslashIsPartOfTheCharacter) {
    auto compare = GetParam();
    // 0x95 0x5C is one character whose trail byte is the backslash value.
    EXPECT_EQ(compare("\x95\x5C"
                      "a",
                      "\x95\x5C"
                      "A"),
              0);
    EXPECT_NE(compare("\x95\x5C", "\x96\x5C"), 0);
}

INSTANTIATE_TEST_SUITE_P(Implementations, PathCompareTest,
                         testing::Values(&ComparePathsNoCase, &CompareCp936NoCase));
