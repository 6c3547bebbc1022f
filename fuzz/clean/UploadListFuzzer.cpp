// Module paths are whatever other processes loaded: the upload list's text rules must hold for
// any text. Checks that no formatting writes past its buffer, that the list's "name" value is
// plain ASCII, that the candidate list stays unique, and that MD5 in pieces equals MD5 at once.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "clean/Md5.h"
#include "clean/UploadFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const char* text = path.c_str();  // stops at the first NUL

    const std::size_t guard = 16;
    char buffer[kUploadBufferSize + guard];
    std::memset(buffer, 0x5A, sizeof(buffer));
    const bool formatted =
        FormatExtValue("Vormak", text, buffer, kUploadBufferSize);
    for (std::size_t i = kUploadBufferSize; i < sizeof(buffer); ++i) {
        if (buffer[i] != 0x5A)
            std::abort();
    }
    if (formatted && std::strlen(buffer) >= kUploadBufferSize)
        std::abort();
    FormatPathInDirectory(text, "tarnrpt.exe", buffer, kUploadBufferSize);
    FormatReporterParameters(text, buffer, kUploadBufferSize);
    for (std::size_t i = kUploadBufferSize; i < sizeof(buffer); ++i) {
        if (buffer[i] != 0x5A)
            std::abort();
    }

    // The same bytes as UTF-16 units, up to the first zero unit, as a mapped name would end.
    WidePath wide;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        wide += unit;
    }
    std::string name;
    if (FormatListName(wide, name)) {
        for (const char c : name) {
            if (c < '!' || c > '~' || c == '"')
                std::abort();
        }
    }
    IsUploadablePath(wide);
    UploadCandidateList list;
    const bool added = list.Add(wide);
    if (added == wide.empty())
        std::abort();
    if (list.Add(wide))
        std::abort();

    std::uint8_t whole[Md5::kDigestSize];
    std::uint8_t pieces[Md5::kDigestSize];
    Md5 md5;
    md5.Update(data, size);
    md5.Finish(whole);
    md5.Reset();
    const std::size_t step = size == 0 ? 1 : 1 + data[0] % 67;
    for (std::size_t offset = 0; offset < size; offset += step) {
        md5.Update(data + offset, step < size - offset ? step : size - offset);
    }
    md5.Finish(pieces);
    if (std::memcmp(whole, pieces, sizeof(whole)) != 0)
        std::abort();
    return 0;
}
