#include "reporter/core/CommandLine.h"

#include <gtest/gtest.h>

namespace reporter {
namespace {

std::string Parse(const std::string& line) {
    std::string path;
    return ParseFilesArgument(line, path) ? path : std::string("<none>");
}

TEST(CommandLineTest, PathIsEverythingAfterTheColonSpacesIncluded) {
    EXPECT_EQ(
        Parse("\"C:\\Users\\A B\\Temp\\tarnrpt.exe\" /files:C:\\Users\\A B\\Temp\\vex7275.tmp"),
        "C:\\Users\\A B\\Temp\\vex7275.tmp");
    EXPECT_EQ(Parse("tarnrpt.exe /files:C:\\My Files\\ list .tmp"), "C:\\My Files\\ list .tmp");
}

TEST(CommandLineTest, SwitchIsCaseInsensitiveAndBlanksBeforeItAreSkipped) {
    EXPECT_EQ(Parse("tarnrpt.exe \t  /FILES:C:\\a.tmp"), "C:\\a.tmp");
    EXPECT_EQ(Parse("\"tarnrpt.exe\"/Files:C:\\a.tmp"), "C:\\a.tmp");
}

TEST(CommandLineTest, TrailingBlanksAndOnePairOfQuotesAreDropped) {
    EXPECT_EQ(Parse("t.exe /files:C:\\a b.tmp  \r\n"), "C:\\a b.tmp");
    EXPECT_EQ(Parse("t.exe /files:\"C:\\a b.tmp\""), "C:\\a b.tmp");
}

TEST(CommandLineTest, MissingSwitchOrPathIsRejected) {
    EXPECT_EQ(Parse("tarnrpt.exe"), "<none>");
    EXPECT_EQ(Parse("tarnrpt.exe /files:"), "<none>");
    EXPECT_EQ(Parse("tarnrpt.exe /files:   "), "<none>");
    EXPECT_EQ(Parse("tarnrpt.exe /file:C:\\a.tmp"), "<none>");
    EXPECT_EQ(Parse("tarnrpt.exe other /files:C:\\a.tmp"), "<none>");
    EXPECT_EQ(Parse(""), "<none>");
    // The program name holds the switch text, but it is not an argument.
    EXPECT_EQ(Parse("\"C:\\x /files:C:\\a.tmp\""), "<none>");
}

TEST(CommandLineTest, PathLongerThanMaxPathOrWithStrayQuotesIsRejected) {
    const std::string longest(kMaxListPath, 'a');
    EXPECT_EQ(Parse("t.exe /files:" + longest), longest);
    EXPECT_EQ(Parse("t.exe /files:" + longest + "a"), "<none>");
    EXPECT_EQ(Parse("t.exe /files:C:\\a\"b.tmp"), "<none>");
}

}  // namespace
}  // namespace reporter
