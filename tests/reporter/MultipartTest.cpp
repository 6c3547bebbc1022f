#include "reporter/core/Multipart.h"

#include <gtest/gtest.h>

namespace reporter {
namespace {

TEST(MultipartTest, BodyHasTheThreeFieldsInOrderAroundTheFileBytes) {
    MultipartBody body;
    ASSERT_TRUE(BuildSampleBody("BOUND", "0123456789abcdef0123456789abcdef",
                                "type=thVormak|name=a.dll|", "0123.bin", body));
    EXPECT_EQ(body.contentType, "multipart/form-data; boundary=BOUND");
    EXPECT_EQ(body.head,
              "--BOUND\r\nContent-Disposition: form-data; name=\"md5\"\r\n\r\n"
              "0123456789abcdef0123456789abcdef\r\n"
              "--BOUND\r\nContent-Disposition: form-data; name=\"ext\"\r\n\r\n"
              "type=thVormak|name=a.dll|\r\n"
              "--BOUND\r\nContent-Disposition: form-data; name=\"file\"; filename=\"0123.bin\"\r\n"
              "Content-Type: application/octet-stream\r\n\r\n");
    EXPECT_EQ(body.tail, "\r\n--BOUND--\r\n");
    EXPECT_EQ(body.Size(10), body.head.size() + 10 + body.tail.size());
}

TEST(MultipartTest, ValuesThatCouldBreakThePartHeadersAreRefused) {
    MultipartBody body;
    EXPECT_FALSE(BuildSampleBody("B", "md5", "a\r\nContent-Type: x", "f.bin", body));
    EXPECT_FALSE(BuildSampleBody("B", "md5\n", "e", "f.bin", body));
    EXPECT_FALSE(BuildSampleBody("B", "md5", "e", "f\".bin", body));
    EXPECT_FALSE(BuildSampleBody("B", "md5", "e", "\xD5\xFD.bin", body));
    EXPECT_FALSE(BuildSampleBody("B", "md5", "e", "", body));
    EXPECT_FALSE(BuildSampleBody("", "md5", "e", "f.bin", body));
    EXPECT_FALSE(BuildSampleBody(std::string(71, 'b'), "md5", "e", "f.bin", body));
    // Code page 936 text in a field value is sent as its bytes.
    EXPECT_TRUE(BuildSampleBody("B", "md5", "name=\xD5\xFD.dll|", "f.bin", body));
}

TEST(MultipartTest, BoundaryNeverOccursInTheFileOrTheExtField) {
    std::string boundary;
    ASSERT_TRUE(ChooseBoundary("seed", nullptr, 0, "", boundary));
    EXPECT_EQ(boundary.compare(0, 18, "----TarnUpBoundary"), 0);
    // A file that holds the first candidate gets another one.
    const std::string first = boundary;
    const std::string file = "xx" + first + "yy";
    std::string second;
    ASSERT_TRUE(ChooseBoundary("seed", reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                               "", second));
    EXPECT_NE(second, first);
    std::string third;
    ASSERT_TRUE(ChooseBoundary("seed", reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                               "--" + second, third));
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
    EXPECT_EQ(file.find(third), std::string::npos);
}

}  // namespace
}  // namespace reporter
