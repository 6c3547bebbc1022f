#include "reporter/core/PathParts.h"

#include <gtest/gtest.h>

namespace reporter {
namespace {

TEST(PathPartsTest, SplitsAtTheLastSeparator) {
    std::string folder, name;
    SplitPath("C:\\Windows\\System32\\a.dll", folder, name);
    EXPECT_EQ(folder, "C:\\Windows\\System32");
    EXPECT_EQ(name, "a.dll");
    SplitPath("C:\\a.dll", folder, name);
    EXPECT_EQ(folder, "C:\\");
    EXPECT_EQ(name, "a.dll");
    SplitPath("a.dll", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "a.dll");
    SplitPath("C:/x/y.dll", folder, name);
    EXPECT_EQ(folder, "C:/x");
    EXPECT_EQ(name, "y.dll");
}

TEST(PathPartsTest, TrailByteThatLooksLikeABackslashIsNotASeparator) {
    // "\xD5\x5C" is one code page 936 character whose second byte is '\'.
    std::string folder, name;
    SplitPath("C:\\dir\\a\xD5\x5C.dll", folder, name);
    EXPECT_EQ(folder, "C:\\dir");
    EXPECT_EQ(name, "a\xD5\x5C.dll");
}

TEST(PathPartsTest, SizesAreShownInBinaryUnits) {
    EXPECT_EQ(FormatSize(0), "0 B");
    EXPECT_EQ(FormatSize(1023), "1023 B");
    EXPECT_EQ(FormatSize(1024), "1.0 KB");
    EXPECT_EQ(FormatSize(4231167), "4.0 MB");
    EXPECT_EQ(FormatSize(3ull << 30), "3.0 GB");
}

}  // namespace
}  // namespace reporter
