#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <string>

#include "win/PathCompare.h"

namespace {

// Code page 1252 agrees with Latin-1 on these bytes: each byte is its own code point.
WidePath FromCodePage1252(const std::string& bytes) {
    WidePath wide;
    for (unsigned char byte : bytes)
        wide += char16_t(byte);
    return wide;
}

// "dé\j" in code page 1252: 'é' is 0xE9, a lead byte in code page 936, where the '\' after it
// would be taken for its trail byte. Converted first, the name splits where Windows splits it.
TEST(WidePathTest, Cp1252NameEndingInCp936LeadByteKeepsItsSeparator) {
    const std::string bytes = "C:\\d\xE9\\j";
    ASSERT_TRUE(IsCp936LeadByte(0xE9));
    DrivePathParts parts;
    ASSERT_TRUE(SplitDrivePath(FromCodePage1252(bytes), parts));
    ASSERT_EQ(parts.folders.size(), 1u);
    EXPECT_EQ(parts.folders[0], u"d\u00e9");
    EXPECT_EQ(parts.name, u"j");
    EXPECT_EQ(parts.drive, u'C');
}

TEST(WidePathTest, OnlyPlainDrivePathsSplit) {
    DrivePathParts parts;
    EXPECT_TRUE(SplitDrivePath(u"c:\\a\\b\\x.dll", parts));
    EXPECT_EQ(parts.folders.size(), 2u);
    int index = 0;
    for (const char16_t* path :
         {u"", u"C:", u"C:\\", u"C:x.dll", u"\\\\server\\share\\x.dll", u"\\\\?\\C:\\x.dll",
          u"C:\\a\\\\x.dll", u"C:\\a\\", u"C:\\..\\x.dll", u"C:\\.\\x.dll", u"C:\\a/b\\x.dll",
          u"C:\\x.dll:stream", u"C:\\a\tb\\x.dll", u"1:\\x.dll"}) {
        EXPECT_FALSE(SplitDrivePath(path, parts)) << "case " << index;
        ++index;
    }
}

TEST(WidePathTest, AsciiLettersFoldAndNothingElseDoes) {
    EXPECT_TRUE(EqualsAsciiNoCase(u"Drivers", "drivers"));
    EXPECT_FALSE(EqualsAsciiNoCase(u"driver", "drivers"));
}

}  // namespace
