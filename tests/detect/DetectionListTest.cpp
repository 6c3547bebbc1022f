#include "detect/DetectionList.h"

#include <gtest/gtest.h>

TEST(DetectionList, StartsEmpty) {
    DetectionList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.Count(), 0u);
}

TEST(DetectionList, KeepsOrderOfFirstAddition) {
    DetectionList list;
    EXPECT_TRUE(list.Add(u"C:\\b.dll"));
    EXPECT_TRUE(list.Add(u"C:\\a.dll"));
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_TRUE(list.At(0) == u"C:\\b.dll");
    EXPECT_TRUE(list.At(1) == u"C:\\a.dll");
}

TEST(DetectionList, SamePathInAnotherCaseIsListedOnce) {
    DetectionList list;
    list.Add(u"C:\\Windows\\System32\\gdx.dll");
    list.Add(u"c:\\windows\\system32\\GDX.DLL");
    list.Add(u"C:\\Windows\\System32\\gdx.dll");
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list.At(0) == u"C:\\Windows\\System32\\gdx.dll");
}

TEST(DetectionList, NamesOutsideTheCodePageAreKeptApart) {
    // Both would read back as "gd?.dll" through the ANSI code page.
    DetectionList list;
    list.Add(u"C:\\gd\uD55C.dll");
    list.Add(u"C:\\gd\u00DF.dll");
    list.Add(u"C:\\gdss.dll");  // ordinal: no "ß" = "ss"
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_TRUE(list.At(0) == u"C:\\gd\uD55C.dll");
    EXPECT_TRUE(list.At(1) == u"C:\\gd\u00DF.dll");
}

TEST(DetectionList, ClearEmptiesTheList) {
    DetectionList list;
    list.Add(u"C:\\a.dll");
    list.Add(u"C:\\b.dll");
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(list.Add(u"C:\\a.dll"));
    EXPECT_EQ(list.Count(), 1u);
}

TEST(DetectionList, RejectsAnEmptyPath) {
    DetectionList list;
    EXPECT_FALSE(list.Add(u""));
    EXPECT_TRUE(list.IsEmpty());
}
