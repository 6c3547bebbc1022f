#include "reporter/core/Endpoint.h"

#include "reporter/core/Hex.h"

namespace reporter {

namespace {

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool IsPathChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

bool ParseEndpoint(const std::string& url, Endpoint& endpoint) {
    Endpoint parsed;
    const std::string lower = ToLowerAscii(url);
    size_t pos = 0;
    if (lower.compare(0, 7, "http://") == 0) {
        pos = 7;
        parsed.port = 80;
    } else if (lower.compare(0, 8, "https://") == 0) {
        pos = 8;
        parsed.secure = true;
        parsed.port = 443;
    } else {
        return false;
    }
    const size_t hostEnd = lower.find_first_of(":/", pos);
    parsed.host =
        lower.substr(pos, hostEnd == std::string::npos ? std::string::npos : hostEnd - pos);
    if (parsed.host.empty() || parsed.host.size() > 253)
        return false;
    for (char c : parsed.host) {
        if (!IsHostChar(c))
            return false;
    }
    pos = hostEnd == std::string::npos ? lower.size() : hostEnd;
    if (pos < lower.size() && lower[pos] == ':') {
        ++pos;
        unsigned long port = 0;
        size_t digits = 0;
        while (pos < lower.size() && lower[pos] >= '0' && lower[pos] <= '9' && digits < 6) {
            port = port * 10 + unsigned(lower[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || port == 0 || port > 65535)
            return false;
        parsed.port = static_cast<uint16_t>(port);
    }
    // The path keeps its case: servers may tell it apart.
    std::string path = url.substr(pos);
    if (!path.empty() && path[0] != '/')
        return false;
    for (char c : path) {
        if (!IsPathChar(c))
            return false;
    }
    if (path.find("//") != std::string::npos || path.find("/../") != std::string::npos) {
        return false;
    }
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    parsed.basePath = path;
    endpoint = parsed;
    return true;
}

bool IsLoopbackHost(const std::string& host) {
    if (host == "localhost")
        return true;
    unsigned octets[4] = {};
    size_t count = 0, pos = 0;
    while (count < 4) {
        size_t digits = 0;
        unsigned value = 0;
        while (pos < host.size() && host[pos] >= '0' && host[pos] <= '9' && digits < 3) {
            value = value * 10 + unsigned(host[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return false;
        octets[count++] = value;
        if (count < 4) {
            if (pos >= host.size() || host[pos] != '.')
                return false;
            ++pos;
        }
    }
    return pos == host.size() && octets[0] == 127;
}

std::string KnownCheckPath(const Endpoint& endpoint, const std::string& md5) {
    return endpoint.basePath + "/samples/" + md5;
}

std::string UploadPath(const Endpoint& endpoint) {
    return endpoint.basePath + "/samples";
}

}  // namespace reporter
