#pragma once
// The sample service's address: "http[s]://host[:port][/base]". Requests go to
// <base>/samples/<md5> (is it known?) and <base>/samples (upload).
#include <cstdint>
#include <string>

namespace reporter {

struct Endpoint {
    bool secure = false;
    std::string host;
    uint16_t port = 0;
    std::string basePath;  // "" or "/a/b", never ending in '/'
};

// Accepts only http and https URLs with a host name or IPv4 address made of letters, digits,
// '-' and '.', an optional port 1-65535 and a plain path; no user name, query or fragment.
bool ParseEndpoint(const std::string& url, Endpoint& endpoint);

// True for "localhost" and for dotted IPv4 addresses 127.x.x.x; a name that merely starts with
// "127." is not one.
bool IsLoopbackHost(const std::string& host);

std::string KnownCheckPath(const Endpoint& endpoint, const std::string& md5);
std::string UploadPath(const Endpoint& endpoint);

}  // namespace reporter
