#include "detect/UpackImage.h"

#include <windows.h>

#include "detect/PeImage.h"
#include "detect/Win32Handles.h"

namespace {

class FileReader : public ImageReader {
  public:
    explicit FileReader(HANDLE file) : file_(file) {}
    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (offset > 0x7FFFFFFFFFFFFFFFull ||
            !SetFilePointerEx(file_, position, nullptr, FILE_BEGIN))
            return 0;
        DWORD read = 0;
        if (!ReadFile(file_, out, length, &read, nullptr))
            return 0;
        return read;
    }

  private:
    HANDLE file_;
};

}  // namespace

int IsUpackImage(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid())
        return 0;
    FileReader reader(file.Get());
    return CheckUpackHeaders(reader);
}
