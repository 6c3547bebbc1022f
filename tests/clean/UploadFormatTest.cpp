#include "clean/UploadFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(UploadSizeLimitTest, LimitItselfIsExcludedOneByteLessIsKept) {
    EXPECT_TRUE(IsWithinUploadSizeLimit(0, 4231167));
    EXPECT_FALSE(IsWithinUploadSizeLimit(0, 4231168));
    EXPECT_FALSE(IsWithinUploadSizeLimit(0, 0xFFFFFFFFu));
    EXPECT_TRUE(IsWithinUploadSizeLimit(0, 0));
    // A file of 4 GiB and more is out whatever its low part says.
    EXPECT_FALSE(IsWithinUploadSizeLimit(1, 10));
}

TEST(UploadablePathTest, ControlCharactersNetworkAndDevicePathsNeverBecomeItems) {
    EXPECT_TRUE(IsUploadablePath(u"C:\\dir\\x.dll"));
    // Letters of any script, in or outside the ANSI code page.
    EXPECT_TRUE(IsUploadablePath(u"C:\\\u8868\\\uD55C.dll"));
    EXPECT_TRUE(IsUploadablePath(u"C:\\a?b\\x.dll"));
    // CR or LF would start a line of the list of its own.
    EXPECT_FALSE(IsUploadablePath(u"C:\\x.dll\r\n[ITEM9]"));
    EXPECT_FALSE(IsUploadablePath(u"C:\\x\ty.dll"));
    EXPECT_FALSE(IsUploadablePath(u"C:\\x\x1F.dll"));
    int index = 0;
    for (const char16_t* path :
         {u"\\\\server\\share\\x.dll", u"//server/share/x.dll", u"\\\\?\\UNC\\server\\share\\x.dll",
          u"\\\\.\\PhysicalDrive0", u"\\\\?\\C:\\x.dll", u"\\??\\C:\\x.dll", u"/\?\?/C:/x.dll", u""}) {
        EXPECT_FALSE(IsUploadablePath(path)) << "path " << index;
        ++index;
    }
}

TEST(UploadCandidateListTest, PathsTheFileSystemCallsTheSameAreListedOnce) {
    UploadCandidateList list;
    EXPECT_FALSE(list.Add(u""));
    EXPECT_TRUE(list.Add(u"C:\\Windows\\System32\\Foo.dll"));
    EXPECT_FALSE(list.Add(u"c:\\windows\\system32\\FOO.DLL"));
    EXPECT_TRUE(list.Add(u"C:\\Windows\\System32\\Foo2.dll"));
    // Other letters stay other paths, whatever an ANSI code page would make of them.
    EXPECT_TRUE(list.Add(u"C:\\\uD55C.dll"));
    EXPECT_TRUE(list.Add(u"C:\\\uD55D.dll"));
    ASSERT_EQ(list.Count(), 4u);
    EXPECT_TRUE(list.At(0) == u"C:\\Windows\\System32\\Foo.dll");
    EXPECT_TRUE(list.At(2) == u"C:\\\uD55C.dll");
}

TEST(UploadListFormatTest, SectionNames) {
    char buffer[kUploadBufferSize];
    ASSERT_TRUE(FormatSectionName(0, buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "ITEM0");
    ASSERT_TRUE(FormatSectionName(12, buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "ITEM12");
    char tiny[5];
    EXPECT_FALSE(FormatSectionName(1, tiny, sizeof(tiny)));
}

TEST(UploadListFormatTest, ExtValueCarriesTagAndBaseName) {
    char buffer[kUploadBufferSize];
    ASSERT_TRUE(FormatExtValue("Vormak", "gdx.dll", buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "type=thVormak|name=gdx.dll|");
}

// "type=thVormak|name=" and "|" take 20 bytes; with the NUL, 239 bytes of name fit in 260.
TEST(UploadListFormatTest, OverlongExtValueIsRefusedNeverCut) {
    char buffer[kUploadBufferSize + 16];
    std::memset(buffer, 'Z', sizeof(buffer));
    const std::string fits(239, 'n');
    ASSERT_TRUE(FormatExtValue("Vormak", fits.c_str(), buffer, kUploadBufferSize));
    EXPECT_EQ(std::strlen(buffer), kUploadBufferSize - 1);
    const std::string tooLong(240, 'n');
    std::memset(buffer, 'Z', sizeof(buffer));
    EXPECT_FALSE(FormatExtValue("Vormak", tooLong.c_str(), buffer, kUploadBufferSize));
    EXPECT_STREQ(buffer, "");
    // Nothing beyond the buffer was written.
    for (std::size_t i = kUploadBufferSize; i < sizeof(buffer); ++i)
        EXPECT_EQ(buffer[i], 'Z');
}

TEST(UploadListFormatTest, ReporterPathsAndParameters) {
    char buffer[kUploadBufferSize];
    ASSERT_TRUE(FormatPathInDirectory("C:\\Temp\\", "tarnrpt.exe", buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "C:\\Temp\\\\tarnrpt.exe");
    ASSERT_TRUE(FormatReporterParameters("C:\\Temp\\vex7275.tmp", buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "/files:C:\\Temp\\vex7275.tmp");
    const std::string longDirectory(255, 'd');
    EXPECT_FALSE(
        FormatPathInDirectory(longDirectory.c_str(), "tarnrpt.exe", buffer, sizeof(buffer)));
    EXPECT_FALSE(FormatReporterParameters(longDirectory.c_str(), buffer, sizeof(buffer)));
}

TEST(UploadListFormatTest, UnscrambleIsItsOwnInverse) {
    std::uint8_t bytes[] = {'M', 'Z', 0x00, 0x6B, 0xFF};
    UnscrambleBytes(bytes, sizeof(bytes), kReporterScrambleKey);
    EXPECT_EQ(bytes[0], 'M' ^ 0x6B);
    EXPECT_EQ(bytes[2], 0x6B);
    EXPECT_EQ(bytes[3], 0x00);
    UnscrambleBytes(bytes, sizeof(bytes), kReporterScrambleKey);
    EXPECT_EQ(bytes[0], 'M');
    EXPECT_EQ(bytes[4], 0xFF);
}

// The name must come back exactly in the reporter whatever the code page: plain ASCII stays,
// everything else is escaped UTF-8, and a name without a UTF-8 form is refused.
TEST(ListNameTest, NonAsciiPercentQuoteAndBlanksAreEscapedUtf8) {
    std::string value;
    ASSERT_TRUE(FormatListName(u"a-b_c.dll", value));
    EXPECT_EQ(value, "a-b_c.dll");
    // é (2 bytes), 中 (3 bytes), U+1F600 (a surrogate pair, 4 bytes), space, '%', '"'.
    ASSERT_TRUE(FormatListName(u"\u00E9\u4E2D\U0001F600 %\".dll", value));
    EXPECT_EQ(value, "%C3%A9%E4%B8%AD%F0%9F%98%80%20%25%22.dll");
    EXPECT_FALSE(FormatListName(u"", value));
    EXPECT_FALSE(FormatListName(std::u16string(1, char16_t(0xD800)) + u".dll", value));
    EXPECT_FALSE(FormatListName(u"x" + std::u16string(1, char16_t(0xDC00)), value));
}

namespace {

// The reporter gets the system's own directories and what the program passes on, nothing else.
TEST(ReporterEnvironmentTest, BlockHoldsOnlyTheSystemDirectoriesAndThePassedEntries) {
    const WidePath block = FormatReporterEnvironment(u"C:\\Windows\\system32", u"C:\\Windows",
                                                     {u"TARNUP_ENDPOINT=http://127.0.0.1:1"});
    const char16_t expected[] =
        u"PATH=C:\\Windows\\system32;C:\\Windows\0SystemDrive=C:\0SystemRoot=C:\\Windows\0"
        u"TARNUP_ENDPOINT=http://127.0.0.1:1\0windir=C:\\Windows\0";
    EXPECT_EQ(block, WidePath(expected, sizeof(expected) / sizeof(char16_t)));
    const WidePath bare = FormatReporterEnvironment(u"D:\\W\\system32", u"D:\\W", {});
    EXPECT_EQ(bare.find(u"TARNUP"), WidePath::npos);
    EXPECT_EQ(bare.substr(bare.size() - 2), WidePath(2, u'\0'));
}

}  // namespace
