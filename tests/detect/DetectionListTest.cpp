#include "detect/DetectionList.h"

#include <gtest/gtest.h>

namespace {

const FileIdentity kFile{7, 0, 42};

TEST(DetectionList, StartsEmpty) {
    DetectionList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.Count(), 0u);
}

TEST(DetectionList, KeepsOrderOfFirstAddition) {
    DetectionList list;
    EXPECT_TRUE(list.Add(u"C:\\b.dll", kFile));
    EXPECT_TRUE(list.Add(u"C:\\a.dll", FileIdentity{7, 1, 42}));
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_TRUE(list.At(0) == u"C:\\b.dll");
    EXPECT_TRUE(list.At(1) == u"C:\\a.dll");
    // Each path keeps the identity of the file the scan read there.
    EXPECT_TRUE(list.IdentityAt(0) == kFile);
    EXPECT_TRUE(list.IdentityAt(1) == (FileIdentity{7, 1, 42}));
}

TEST(DetectionList, SamePathInAnotherCaseIsListedOnce) {
    DetectionList list;
    list.Add(u"C:\\Windows\\System32\\gdx.dll", kFile);
    list.Add(u"c:\\windows\\system32\\GDX.DLL", kFile);
    list.Add(u"C:\\Windows\\System32\\gdx.dll", kFile);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list.At(0) == u"C:\\Windows\\System32\\gdx.dll");
}

TEST(DetectionList, NamesOutsideTheCodePageAreKeptApart) {
    // Both would read back as "gd?.dll" through the ANSI code page.
    DetectionList list;
    list.Add(u"C:\\gd\uD55C.dll", kFile);
    list.Add(u"C:\\gd\u00DF.dll", kFile);
    list.Add(u"C:\\gdss.dll", kFile);  // ordinal: no "ß" = "ss"
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_TRUE(list.At(0) == u"C:\\gd\uD55C.dll");
    EXPECT_TRUE(list.At(1) == u"C:\\gd\u00DF.dll");
}

TEST(DetectionList, ClearEmptiesTheList) {
    DetectionList list;
    list.Add(u"C:\\a.dll", kFile);
    list.Add(u"C:\\b.dll", kFile);
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(list.Add(u"C:\\a.dll", kFile));
    EXPECT_EQ(list.Count(), 1u);
}

TEST(DetectionList, RejectsAnEmptyPath) {
    DetectionList list;
    EXPECT_FALSE(list.Add(u"", kFile));
    EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
