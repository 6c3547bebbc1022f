#pragma once
// SHA-256 (FIPS 180-4): the reporter checks its upload library against a digest fixed at build
// time. MD5 would not do here: the check must hold against a file made to collide.
#include <cstddef>
#include <cstdint>

namespace reporter {

class Sha256 {
  public:
    static constexpr size_t kDigestSize = 32;

    Sha256();
    void Update(const void* data, size_t size);
    void Finish(uint8_t digest[kDigestSize]);

  private:
    void Transform(const uint8_t block[64]);

    uint32_t state_[8];
    uint64_t byteCount_ = 0;
    uint8_t buffer_[64];
};

}  // namespace reporter
