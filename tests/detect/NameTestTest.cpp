// The name test of the directory walk, on the UTF-16 names the walk reads.
#include <gtest/gtest.h>

#include "detect/NameTest.h"

namespace {

TEST(NameTest, NamesBeginningWithAPrefixAndMoreTextPass) {
    EXPECT_TRUE(PassesNameTest(u"gdi32.dll"));
    EXPECT_TRUE(PassesNameTest(u"bj.dll"));
    EXPECT_TRUE(PassesNameTest(u"addr.dll"));
    EXPECT_TRUE(PassesNameTest(u"addrxhelp.dll"));
    EXPECT_TRUE(PassesNameTest(u"gdx.dll"));
}

TEST(NameTest, PrefixIsCaseSensitive) {
    EXPECT_FALSE(PassesNameTest(u"GDXI32.DLL"));
    EXPECT_FALSE(PassesNameTest(u"Bj1rl.dll"));
    EXPECT_FALSE(PassesNameTest(u"ADDR1help.dll"));
}

TEST(NameTest, PrefixMustStandAtTheStart) {
    EXPECT_FALSE(PassesNameTest(u"xgd1i32.dll"));
    EXPECT_FALSE(PassesNameTest(u" gdi32.dll"));
    EXPECT_FALSE(PassesNameTest(u"kernel32.dll"));
}

TEST(NameTest, SomethingNotBlankMustFollowThePrefix) {
    EXPECT_FALSE(PassesNameTest(u"gd"));
    EXPECT_FALSE(PassesNameTest(u"bj   "));
    EXPECT_FALSE(PassesNameTest(u"addr"));
    EXPECT_TRUE(PassesNameTest(u"gd   x"));  // blanks after the prefix are skipped
    EXPECT_FALSE(PassesNameTest(u"gd\t\r\n\v\f"));
    EXPECT_FALSE(PassesNameTest(u""));
}

TEST(NameTest, TemplatesAreTriedInOrder) {
    // "add" is not "addr", but no other template fits either.
    EXPECT_FALSE(PassesNameTest(u"add.dll"));
    EXPECT_TRUE(PassesNameTest(u"bjaddr.dll"));
}

TEST(NameTest, AnyCharacterAfterThePrefixCounts) {
    // Letters no ANSI code page of the system may hold: the name is read as it is.
    EXPECT_TRUE(PassesNameTest(u"gd\uD55C.dll"));
    EXPECT_TRUE(PassesNameTest(u"bj\u00DF"));
    EXPECT_TRUE(PassesNameTest(u"addr\u3000"));     // an ideographic space is no blank
    EXPECT_FALSE(PassesNameTest(u"g\uFF44x.dll"));  // a fullwidth "d" is not "d"
    EXPECT_TRUE(PassesNameTest(u"gd" + WidePath(300, u'x')));
}

TEST(NameTest, WalkedFoldersEndInDllAndDoNotStartWithADot) {
    EXPECT_TRUE(IsWalkedFolderName(u"sub.dll"));
    EXPECT_TRUE(IsWalkedFolderName(u"SUB.DLL"));
    EXPECT_FALSE(IsWalkedFolderName(u".x.dll"));
    EXPECT_FALSE(IsWalkedFolderName(u"drivers"));
    EXPECT_FALSE(IsWalkedFolderName(u"x.dllx"));
}

}  // namespace
