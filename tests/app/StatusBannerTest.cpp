#include "app/StatusBanner.h"

#include <gtest/gtest.h>

TEST(StatusBanner, IsTheFixedHeading) {
    EXPECT_EQ(
        StatusBanner(),
        "Vormak 盗号木马专杀 v1.0\r\n简介：\r\n使用驱动保护\r\n盗号各种网游和IM用户信息。\r\n");
}

TEST(StatusBanner, IsBuiltOnce) {
    EXPECT_EQ(&StatusBanner(), &StatusBanner());
}
