#include "clean/PrivateFolderName.h"

#include <gtest/gtest.h>

namespace {

TEST(PrivateFolderNameTest, PrivateFolderNamesHaveOneForm) {
    std::uint8_t random[kPrivateFolderRandomBytes];
    for (std::size_t i = 0; i < sizeof(random); ++i)
        random[i] = std::uint8_t(i * 17);
    const WidePath name = FormatPrivateFolderName(random);
    EXPECT_EQ(name, u"vormak-00112233445566778899aabbccddeeff");
    EXPECT_TRUE(IsPrivateFolderName(name));
    EXPECT_FALSE(IsPrivateFolderName(name.substr(1)));
    EXPECT_FALSE(IsPrivateFolderName(name + u"0"));
    EXPECT_FALSE(IsPrivateFolderName(u"vormak-00112233445566778899AABBCCDDEEFF"));
}

}  // namespace
