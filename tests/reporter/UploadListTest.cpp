#include "reporter/core/UploadList.h"

#include <gtest/gtest.h>

namespace reporter {
namespace {

const char kMd5A[] = "0123456789abcdef0123456789abcdef";
const char kMd5B[] = "fedcba9876543210fedcba9876543210";

std::string Section(int number, const std::string& file, const std::string& md5,
                    const std::string& ext = "type=thVormak|name=x.dll|") {
    return "[ITEM" + std::to_string(number) + "]\r\nfile=" + file + "\r\nmd5=" + md5 +
           "\r\next=" + ext + "\r\n";
}

std::vector<UploadItem> Parse(const std::string& text, UploadListStats* stats = nullptr) {
    std::vector<UploadItem> items;
    ParseUploadList(text.data(), text.size(), items, stats);
    return items;
}

TEST(UploadListTest, ListWrittenByTheMainProgramIsReadInOrder) {
    const std::string text =
        Section(0, "C:\\Program Files\\A App\\a.dll", kMd5A, "type=thVormak|name=a.dll|") +
        Section(1, "C:\\b\\b.exe", kMd5B);
    UploadListStats stats;
    const auto items = Parse(text, &stats);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].number, 0u);
    EXPECT_EQ(items[0].file, "C:\\Program Files\\A App\\a.dll");
    EXPECT_EQ(items[0].md5, kMd5A);
    EXPECT_EQ(items[0].ext, "type=thVormak|name=a.dll|");
    EXPECT_EQ(items[1].file, "C:\\b\\b.exe");
    EXPECT_EQ(stats.sections, 2u);
    EXPECT_EQ(stats.rejected, 0u);
}

TEST(UploadListTest, GapsAndOrderOfNumbersDoNotLoseItems) {
    const std::string text = Section(7, "C:\\c.dll", kMd5A) + Section(2, "C:\\b.dll", kMd5A) +
                             Section(0, "C:\\a.dll", kMd5B);
    const auto items = Parse(text);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].file, "C:\\a.dll");
    EXPECT_EQ(items[1].file, "C:\\b.dll");
    EXPECT_EQ(items[2].file, "C:\\c.dll");
    EXPECT_EQ(items[2].number, 7u);
}

TEST(UploadListTest, ItemsWithoutUsableFileOrMd5AreLeftOutButExtIsOptional) {
    const std::string text = "[ITEM0]\nmd5=" + std::string(kMd5A) + "\n" +  // no file
                             "[ITEM1]\nfile=C:\\b.dll\n" +                  // no md5
                             "[ITEM2]\nfile=C:\\c.dll\nmd5=123\n" +         // short md5
                             "[ITEM3]\nfile=relative\\d.dll\nmd5=" + kMd5A + "\n" +
                             "[ITEM4]\nfile=\\\\.\\PhysicalDrive0\nmd5=" + kMd5A + "\n" +
                             "[ITEM5]\nfile=\nmd5=" + kMd5A + "\n" +
                             "[ITEM6]\nfile=C:\\f.dll\nmd5=" + kMd5B + "\n" +  // no ext: fine
                             "[ITEM7]\nfile=\\\\server\\share\\g.dll\nmd5=" + kMd5A + "\n" +
                             "[ITEM8]\nfile=//server/share/h.dll\nmd5=" + kMd5A + "\n" +
                             "[ITEM9]\nfile=\\??\\C:\\i.dll\nmd5=" + kMd5A + "\n";
    UploadListStats stats;
    const auto items = Parse(text, &stats);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].file, "C:\\f.dll");
    EXPECT_EQ(items[0].ext, "");
    EXPECT_EQ(stats.sections, 10u);
    EXPECT_EQ(stats.rejected, 9u);
}

TEST(UploadListTest, NamesIgnoreCaseAndBlanksQuotesCommentsAreHandled) {
    const std::string text =
        "\xEF\xBB\xBF; written by hand\n[global]\nfile=C:\\not-an-item.dll\n"
        " [ item3 ] \n  FILE =  \"C:\\with space\\a.dll\"  \n"
        "MD5=ABCDEF0123456789ABCDEF0123456789\nExt=x\nfile=C:\\second.dll\n";
    const auto items = Parse(text);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].number, 3u);
    EXPECT_EQ(items[0].file, "C:\\with space\\a.dll");  // the first "file" wins
    EXPECT_EQ(items[0].md5, "abcdef0123456789abcdef0123456789");
    EXPECT_EQ(items[0].ext, "x");
}

TEST(UploadListTest, SameFileTwiceIsKeptOnceIgnoringAsciiCase) {
    const auto items = Parse(Section(0, "C:\\A.dll", kMd5A) + Section(1, "c:\\a.DLL", kMd5A));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].number, 0u);
}

TEST(UploadListTest, SectionNamesThatAreNotItemNumbersAreIgnored) {
    const std::string text = Section(0, "C:\\a.dll", kMd5A);
    for (const char* name : {"[ITEM]", "[ITEMx]", "[ITEM-1]", "[ITEM1234567890]", "[XITEM1]"}) {
        std::string other = text;
        other.replace(0, 7, name);
        EXPECT_TRUE(Parse(other).empty()) << name;
    }
}

TEST(UploadListTest, EmptyBinaryOrOversizedInputGivesNoItems) {
    std::vector<UploadItem> items;
    EXPECT_FALSE(ParseUploadList("", 0, items));
    EXPECT_FALSE(ParseUploadList(nullptr, 0, items));
    const std::string binary("\x00\xff[ITEM0\x00]\nfile", 14);
    EXPECT_FALSE(ParseUploadList(binary.data(), binary.size(), items));
    std::string huge = Section(0, "C:\\a.dll", kMd5A);
    huge.resize(kMaxUploadListBytes + 1, ' ');
    EXPECT_FALSE(ParseUploadList(huge.data(), huge.size(), items));
    // A path with a line end or a value with control bytes cannot come from the writer.
    EXPECT_TRUE(Parse(Section(0, "C:\\a\tb.dll", kMd5A)).empty());
    EXPECT_TRUE(Parse(Section(0, "C:\\" + std::string(300, 'a'), kMd5A)).empty());
}

TEST(UploadListTest, SectionsBeyondTheLimitAreCountedAndLeftOut) {
    std::string text;
    for (size_t i = 0; i < kMaxUploadItems + 3; ++i) {
        text += Section(int(i), "C:\\f" + std::to_string(i) + ".dll", kMd5A, "e");
    }
    UploadListStats stats;
    const auto items = Parse(text, &stats);
    EXPECT_EQ(items.size(), kMaxUploadItems);
    EXPECT_EQ(stats.sections, kMaxUploadItems + 3);
    EXPECT_EQ(stats.rejected, 3u);
}

// "name" comes back exactly as the main program wrote it, and a value that is no file name is
// not shown or sent under a made-up one: the item is left out.
TEST(UploadListTest, NameIsDecodedFromEscapedUtf8OrTheItemIsLeftOut) {
    const std::string text = Section(0, "C:\\t\\1", kMd5A) + "name=%E4%B8%ADa%c3%a9.dll\r\n" +
                             Section(1, "C:\\t\\2", kMd5A) + Section(2, "C:\\t\\3", kMd5A) +
                             "name=a%2Fb\r\n" + Section(3, "C:\\t\\4", kMd5A) + "name=%C0%AF\r\n" +
                             Section(4, "C:\\t\\5", kMd5A) + "name=%ED%A0%80\r\n" +
                             Section(5, "C:\\t\\6", kMd5A) + "name=a%4\r\n";
    UploadListStats stats;
    const auto items = Parse(text, &stats);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].name, "%E4%B8%ADa%c3%a9.dll");
    EXPECT_EQ(items[0].nameUtf8,
              "\xE4\xB8\xAD"
              "a\xC3\xA9.dll");
    EXPECT_EQ(items[1].name, "");
    EXPECT_EQ(stats.rejected, 4u);
}

TEST(UploadListTest, OnlyFilesDirectlyInTheListsFolderAreKept) {
    const std::string text = Section(0, "C:\\Windows\\Temp\\p\\1", kMd5A) +
                             Section(1, "c:\\windows\\temp\\P\\2", kMd5A) +
                             Section(2, "C:\\Windows\\Temp\\p\\sub\\3", kMd5A) +
                             Section(3, "C:\\Users\\u\\a.dll", kMd5A) +
                             Section(4, "C:\\Windows\\Temp\\p2\\4", kMd5A) +
                             Section(5, "C:\\Windows\\Temp\\p\\..", kMd5A);
    auto items = Parse(text);
    EXPECT_EQ(KeepItemsInFolder(items, "C:\\Windows\\Temp\\p"), 4u);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].file, "C:\\Windows\\Temp\\p\\1");
    EXPECT_EQ(items[1].file, "c:\\windows\\temp\\P\\2");
    EXPECT_EQ(KeepItemsInFolder(items, ""), 2u);
    EXPECT_TRUE(items.empty());
}

}  // namespace
}  // namespace reporter
