#include "clean/PrivateFolderName.h"

#include <gtest/gtest.h>

namespace {

TEST(PrivateFolderNameTest, PrivateFolderNamesHaveOneFormPerKind) {
    std::uint8_t random[kPrivateFolderRandomBytes];
    for (std::size_t i = 0; i < sizeof(random); ++i)
        random[i] = std::uint8_t(i * 17);
    const WidePath upload = FormatPrivateFolderName(PrivateFolderKind::Upload, random);
    const WidePath restart = FormatPrivateFolderName(PrivateFolderKind::Restart, random);
    EXPECT_EQ(upload, u"vormak-00112233445566778899aabbccddeeff");
    EXPECT_EQ(restart, u"vormak-restart-00112233445566778899aabbccddeeff");
    EXPECT_TRUE(IsPrivateFolderName(PrivateFolderKind::Upload, upload));
    EXPECT_TRUE(IsPrivateFolderName(PrivateFolderKind::Restart, restart));
    // The upload's clean-up must never take a restart folder, nor the other way round.
    EXPECT_FALSE(IsPrivateFolderName(PrivateFolderKind::Upload, restart));
    EXPECT_FALSE(IsPrivateFolderName(PrivateFolderKind::Restart, upload));
    EXPECT_FALSE(IsPrivateFolderName(PrivateFolderKind::Upload, upload.substr(1)));
    EXPECT_FALSE(IsPrivateFolderName(PrivateFolderKind::Upload, upload + u"0"));
    EXPECT_FALSE(
        IsPrivateFolderName(PrivateFolderKind::Upload, u"vormak-00112233445566778899AABBCCDDEEFF"));
}

}  // namespace
