#pragma once
// The multipart/form-data body of one sample upload: the fields "md5" and "ext", then the file
// itself as the field "file". The body is head + file bytes + tail, so the file need not be
// copied into one buffer with the rest.
#include <cstddef>
#include <cstdint>
#include <string>

namespace reporter {

struct MultipartBody {
    std::string contentType;  // the request's Content-Type header value
    std::string head;         // up to and including the blank line before the file bytes
    std::string tail;         // from the line end after the file bytes to the closing boundary
    uint64_t Size(uint64_t fileSize) const { return head.size() + fileSize + tail.size(); }
};

// A boundary that occurs in none of the given texts: derived from the seed and a counter so that
// it is reproducible. Returns false only when no candidate was free (never in practice).
bool ChooseBoundary(const std::string& seed, const uint8_t* file, size_t fileSize,
                    const std::string& ext, std::string& boundary);

// Builds the parts around the file. The field values must not contain line ends; the file name
// in the part header must be plain printable ASCII without quotes. Returns false otherwise.
bool BuildSampleBody(const std::string& boundary, const std::string& md5, const std::string& ext,
                     const std::string& fileName, MultipartBody& body);

}  // namespace reporter
