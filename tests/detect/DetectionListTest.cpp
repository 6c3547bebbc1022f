#include "detect/DetectionList.h"

#include <gtest/gtest.h>

TEST(DetectionList, StartsEmpty) {
    DetectionList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.Count(), 0u);
}

TEST(DetectionList, KeepsOrderOfFirstAddition) {
    DetectionList list;
    EXPECT_TRUE(list.Add("C:\\b.dll"));
    EXPECT_TRUE(list.Add("C:\\a.dll"));
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_STREQ(list.At(0), "C:\\b.dll");
    EXPECT_STREQ(list.At(1), "C:\\a.dll");
}

TEST(DetectionList, SamePathInAnotherCaseIsListedOnce) {
    DetectionList list;
    list.Add("C:\\Windows\\System32\\gdx.dll");
    list.Add("c:\\windows\\system32\\GDX.DLL");
    list.Add("C:\\Windows\\System32\\gdx.dll");
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_STREQ(list.At(0), "C:\\Windows\\System32\\gdx.dll");
}

TEST(DetectionList, KeepsAPrivateCopy) {
    DetectionList list;
    char path[] = "C:\\x.dll";
    list.Add(path);
    path[3] = 'y';
    EXPECT_STREQ(list.At(0), "C:\\x.dll");
}

TEST(DetectionList, ClearEmptiesTheList) {
    DetectionList list;
    list.Add("C:\\a.dll");
    list.Add("C:\\b.dll");
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(list.Add("C:\\a.dll"));
    EXPECT_EQ(list.Count(), 1u);
}

TEST(DetectionList, RejectsNull) {
    DetectionList list;
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_TRUE(list.IsEmpty());
}
