#include "reporter/core/Endpoint.h"

#include <gtest/gtest.h>

#include "reporter/core/RetryPolicy.h"

namespace reporter {
namespace {

TEST(EndpointTest, SchemeHostPortAndBasePathAreTakenApart) {
    Endpoint endpoint;
    ASSERT_TRUE(ParseEndpoint("http://127.0.0.1:8123", endpoint));
    EXPECT_FALSE(endpoint.secure);
    EXPECT_EQ(endpoint.host, "127.0.0.1");
    EXPECT_EQ(endpoint.port, 8123);
    EXPECT_EQ(endpoint.basePath, "");
    EXPECT_EQ(KnownCheckPath(endpoint, "abc"), "/samples/abc");
    EXPECT_EQ(UploadPath(endpoint), "/samples");

    ASSERT_TRUE(ParseEndpoint("HTTPS://Samples.Example/Api/V1/", endpoint));
    EXPECT_TRUE(endpoint.secure);
    EXPECT_EQ(endpoint.host, "samples.example");
    EXPECT_EQ(endpoint.port, 443);
    EXPECT_EQ(endpoint.basePath, "/Api/V1");
    EXPECT_EQ(UploadPath(endpoint), "/Api/V1/samples");
}

TEST(EndpointTest, AnythingButAPlainHttpUrlIsRefused) {
    Endpoint endpoint;
    for (const char* url : {"", "ftp://a.example", "http://", "http://:80", "http://a.example:0",
                            "http://a.example:65536", "http://a.example:", "http://user@a.example/",
                            "http://a.example/x?y=1", "http://a.example/x#y", "http://a_b.example",
                            "http://a.example/../x", "http://a.example//x", "http://a.example/x y",
                            "http://a.example:80x", "a.example"}) {
        EXPECT_FALSE(ParseEndpoint(url, endpoint)) << url;
    }
    EXPECT_TRUE(ParseEndpoint("http://a.example:65535/x", endpoint));
}

TEST(EndpointTest, OnlyLocalhostAndDotted127AddressesAreLoopback) {
    for (const char* host : {"localhost", "127.0.0.1", "127.255.0.9"})
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    for (const char* host : {"127.attacker.example", "127.0.0.1.example", "127.0.0", "127.0.0.1.",
                             "127.0.0.256", "1127.0.0.1", "128.0.0.1", "localhost.example", ""}) {
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    }
}

TEST(RetryPolicyTest, OnlyPassingServerTroubleIsRepeatedWithGrowingPauses) {
    EXPECT_TRUE(IsTransientStatus(500));
    EXPECT_TRUE(IsTransientStatus(503));
    EXPECT_TRUE(IsTransientStatus(429));
    EXPECT_TRUE(IsTransientStatus(408));
    EXPECT_FALSE(IsTransientStatus(200));
    EXPECT_FALSE(IsTransientStatus(404));
    EXPECT_FALSE(IsTransientStatus(400));
    EXPECT_FALSE(IsTransientStatus(600));
    EXPECT_EQ(BackoffDelayMs(1), 250u);
    EXPECT_EQ(BackoffDelayMs(2), 500u);
    EXPECT_EQ(BackoffDelayMs(3), 1000u);
    EXPECT_EQ(BackoffDelayMs(100), 2000u);
}

}  // namespace
}  // namespace reporter
