// The name test of the directory walk: sscanf against the three templates.
#include <gtest/gtest.h>

#include <string>

#include "detect/NameTest.h"

namespace {

TEST(NameTest, NamesBeginningWithAPrefixAndMoreTextPass) {
    EXPECT_TRUE(PassesNameTest("gdi32.dll"));
    EXPECT_TRUE(PassesNameTest("bj.dll"));
    EXPECT_TRUE(PassesNameTest("addr.dll"));
    EXPECT_TRUE(PassesNameTest("addrxhelp.dll"));
    EXPECT_TRUE(PassesNameTest("gdx.dll"));
}

TEST(NameTest, PrefixIsCaseSensitive) {
    EXPECT_FALSE(PassesNameTest("GDXI32.DLL"));
    EXPECT_FALSE(PassesNameTest("Bj1rl.dll"));
    EXPECT_FALSE(PassesNameTest("ADDR1help.dll"));
}

TEST(NameTest, PrefixMustStandAtTheStart) {
    EXPECT_FALSE(PassesNameTest("xgd1i32.dll"));
    EXPECT_FALSE(PassesNameTest(" gdi32.dll"));
    EXPECT_FALSE(PassesNameTest("kernel32.dll"));
}

TEST(NameTest, SomethingNotBlankMustFollowThePrefix) {
    EXPECT_FALSE(PassesNameTest("gd"));
    EXPECT_FALSE(PassesNameTest("bj   "));
    EXPECT_FALSE(PassesNameTest("addr"));
    EXPECT_TRUE(PassesNameTest("gd   x"));  // blanks after the prefix are skipped
    EXPECT_FALSE(PassesNameTest(""));
    EXPECT_FALSE(PassesNameTest(nullptr));
}

TEST(NameTest, TemplatesAreTriedInOrder) {
    // "add" is not "addr", but no other template fits either.
    EXPECT_FALSE(PassesNameTest("add.dll"));
    EXPECT_TRUE(PassesNameTest("bjaddr.dll"));
}

TEST(NameTest, LongNamesAreSafe) {
    EXPECT_TRUE(PassesNameTest(("gd" + std::string(250, 'x')).c_str()));
    EXPECT_FALSE(PassesNameTest(("gd" + std::string(400, 'x')).c_str()));
}

TEST(NameTest, WalkedFoldersEndInDllAndDoNotStartWithADot) {
    EXPECT_TRUE(IsWalkedFolderName(u"sub.dll"));
    EXPECT_TRUE(IsWalkedFolderName(u"SUB.DLL"));
    EXPECT_FALSE(IsWalkedFolderName(u".x.dll"));
    EXPECT_FALSE(IsWalkedFolderName(u"drivers"));
    EXPECT_FALSE(IsWalkedFolderName(u"x.dllx"));
}

}  // namespace
