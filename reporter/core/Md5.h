#pragma once
// MD5 (RFC 1321): the digest the upload list and the sample service use to name a file.
#include <cstddef>
#include <cstdint>

namespace reporter {

class Md5 {
  public:
    static constexpr size_t kDigestSize = 16;

    Md5();
    void Update(const void* data, size_t size);
    // Writes the 16-byte digest; the object must not be updated afterwards.
    void Finish(uint8_t digest[kDigestSize]);

  private:
    void Transform(const uint8_t block[64]);

    uint32_t state_[4];
    uint64_t byteCount_ = 0;
    uint8_t buffer_[64];
};

}  // namespace reporter
