#include "reporter/core/Multipart.h"

#include <cstring>

#include "reporter/core/Hex.h"
#include "clean/Md5.h"

namespace reporter {

namespace {

bool Contains(const uint8_t* data, size_t size, const std::string& needle) {
    if (needle.empty() || needle.size() > size)
        return false;
    const uint8_t first = static_cast<uint8_t>(needle[0]);
    for (size_t i = 0; i + needle.size() <= size; ++i) {
        if (data[i] == first && std::memcmp(data + i, needle.data(), needle.size()) == 0) {
            return true;
        }
    }
    return false;
}

bool IsHeaderSafe(const std::string& text) {
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '\\')
            return false;
    }
    return true;
}

bool HasLineEnd(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

bool ChooseBoundary(const std::string& seed, const uint8_t* file, size_t fileSize,
                    const std::string& ext, std::string& boundary) {
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        Md5 md5;
        md5.Update(seed.data(), seed.size());
        md5.Update(&attempt, sizeof(attempt));
        uint8_t digest[Md5::kDigestSize];
        md5.Finish(digest);
        const std::string candidate = "----TarnUpBoundary" + ToHex(digest, sizeof(digest));
        const uint8_t* extBytes = reinterpret_cast<const uint8_t*>(ext.data());
        if (!Contains(file, fileSize, candidate) && !Contains(extBytes, ext.size(), candidate)) {
            boundary = candidate;
            return true;
        }
    }
    return false;
}

bool BuildSampleBody(const std::string& boundary, const std::string& md5, const std::string& ext,
                     const std::string& fileName, MultipartBody& body) {
    if (boundary.empty() || boundary.size() > 70 || !IsHeaderSafe(boundary))
        return false;
    if (HasLineEnd(md5) || HasLineEnd(ext) || fileName.empty() || !IsHeaderSafe(fileName)) {
        return false;
    }
    const std::string dashes = "--" + boundary;
    body.contentType = "multipart/form-data; boundary=" + boundary;
    body.head = dashes + "\r\nContent-Disposition: form-data; name=\"md5\"\r\n\r\n" + md5 + "\r\n" +
                dashes + "\r\nContent-Disposition: form-data; name=\"ext\"\r\n\r\n" + ext + "\r\n" +
                dashes + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" +
                fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    body.tail = "\r\n" + dashes + "--\r\n";
    return true;
}

}  // namespace reporter
