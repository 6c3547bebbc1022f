#include "clean/UploadSamples.h"

#include <shellapi.h>

#include <cstring>
#include <new>
#include <vector>

#include "clean/FinalPath.h"
#include "clean/UploadFormat.h"
#include "clean/UploadList.h"
#include "res/resource.h"

namespace {

const char kLibraryName[] = "tarnup.dll";
const char kReporterName[] = "tarnrpt.exe";
// How long the program waits for a started reporter to have read its list.
const DWORD kReporterStartTimeoutMs = 30000;

// A resource found and loaded from the program's own module; freed on every path.
class ResourceHolder {
  public:
    ResourceHolder() = default;
    ResourceHolder(const ResourceHolder&) = delete;
    ResourceHolder& operator=(const ResourceHolder&) = delete;
    ~ResourceHolder() { Free(); }

    bool Load(int id) {
        Free();
        info_ = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "BIN");
        if (info_ == nullptr)
            return false;
        loaded_ = LoadResource(nullptr, info_);
        if (loaded_ == nullptr) {
            info_ = nullptr;
            return false;
        }
        return true;
    }
    const void* Bytes() const { return LockResource(loaded_); }
    DWORD Size() const { return SizeofResource(nullptr, info_); }
    void Free() {
        if (loaded_ != nullptr)
            FreeResource(loaded_);
        loaded_ = nullptr;
        info_ = nullptr;
    }

  private:
    HRSRC info_ = nullptr;
    HGLOBAL loaded_ = nullptr;
};

// The unscrambled bytes of one resource. Resource memory is read-only, so the bytes are
// copied once and kept for the rest of the process; later uploads reuse them.
struct UnscrambledResource {
    bool ready = false;
    std::vector<std::uint8_t> bytes;
};

UnscrambledResource g_library;
UnscrambledResource g_reporter;
ReporterHold g_hold;

const std::vector<std::uint8_t>* Unscramble(const ResourceHolder& resource,
                                            UnscrambledResource& kept) {
    if (kept.ready)
        return &kept.bytes;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(resource.Bytes());
    const DWORD size = resource.Size();
    if (bytes == nullptr && size != 0)
        return nullptr;
    try {
        kept.bytes.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    UnscrambleBytes(kept.bytes.data(), kept.bytes.size(), kReporterScrambleKey);
    kept.ready = true;
    return &kept.bytes;
}

bool FileHolds(HANDLE file, const std::vector<std::uint8_t>& expected) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart != LONGLONG(expected.size()))
        return false;
    std::uint8_t block[4096];
    size_t offset = 0;
    while (offset < expected.size()) {
        DWORD read = 0;
        if (!ReadFile(file, block, sizeof(block), &read, nullptr) || read == 0)
            return false;
        if (read > expected.size() - offset ||
            std::memcmp(block, expected.data() + offset, read) != 0) {
            return false;
        }
        offset += read;
    }
    return true;
}

// Writes the bytes as a new file at path and leaves it held in `hold`: opened for reading only
// and shared for reading only, after checking that the file holds exactly what was written.
bool WriteAndHold(const char* path, const std::vector<std::uint8_t>& bytes, FileHandle& hold) {
    hold.Close();
    // Removing first and then creating a new file: an existing name could be a link to a file
    // elsewhere, which an overwrite in place would change with the program's rights.
    if (!DeleteFileA(path) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    {
        FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid())
            return false;
        DWORD written = 0;
        if (!bytes.empty() &&
            (!WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
             written != bytes.size())) {
            return false;
        }
    }
    // Between the close and this open another process could have had a go: the check below
    // sees any change, and no one can change the file once this handle is open.
    hold.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hold.IsValid())
        return false;
    if (!FileHolds(hold.Get(), bytes)) {
        hold.Close();
        return false;
    }
    return true;
}

}  // namespace

int ExtractReporter(const char* tempDir, char* exePath, ReporterHold& hold) {
    ResourceHolder resource;
    if (!resource.Load(IDR_REPORTER_DLL))
        return 0;
    const std::vector<std::uint8_t>* library = Unscramble(resource, g_library);
    if (library == nullptr ||
        !FormatPathInDirectory(tempDir, kLibraryName, exePath, kUploadBufferSize) ||
        !WriteAndHold(exePath, *library, hold.library)) {
        return 0;
    }
    resource.Free();

    if (!resource.Load(IDR_REPORTER_EXE)) {
        hold.library.Close();
        DeleteFileA(exePath);
        return 0;
    }
    const std::vector<std::uint8_t>* reporter = Unscramble(resource, g_reporter);
    if (reporter == nullptr ||
        !FormatPathInDirectory(tempDir, kReporterName, exePath, kUploadBufferSize) ||
        !WriteAndHold(exePath, *reporter, hold.reporter)) {
        return 0;
    }
    return 1;
}

bool HoldUploadList(const char* listPath, FileHandle& hold) {
    // Readers are welcome (the reporter is one); writers, renames and deletions are not, so the
    // list cannot be changed or swapped for another file before the reporter has read it.
    hold.Reset(CreateFileA(listPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!hold.IsValid())
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hold.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        hold.Close();
        return false;
    }
    return true;
}

bool UploadSamples(const char* tag) {
    // The files of an earlier upload are let go: they are about to be replaced.
    g_hold.Release();
    char tempDir[kUploadBufferSize];
    char exePath[kUploadBufferSize];
    char listPath[kUploadBufferSize];
    char parameters[kUploadBufferSize + 16];
    const DWORD length = GetTempPathA(kUploadBufferSize, tempDir);
    if (length == 0 || length >= kUploadBufferSize)
        return false;
    if (!ExtractReporter(tempDir, exePath, g_hold) || !WriteUploadList(tempDir, tag, listPath) ||
        !HoldUploadList(listPath, g_hold.list)) {
        g_hold.Release();
        return false;
    }
    // The reporter is started by the names the held files have now, every link resolved: a
    // temporary folder (or one above it) re-pointed after the writing cannot make the start
    // reach other bytes. Held files keep their folders from being renamed meanwhile.
    if (!GetHeldFilePath(g_hold.reporter.Get(), exePath, sizeof(exePath)) ||
        !GetHeldFilePath(g_hold.list.Get(), listPath, sizeof(listPath)) ||
        !FormatReporterParameters(listPath, parameters, sizeof(parameters))) {
        g_hold.Release();
        return false;
    }
    SHELLEXECUTEINFOA start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS;
    start.lpVerb = "open";
    start.lpFile = exePath;
    start.lpParameters = parameters;
    start.nShow = SW_SHOW;
    if (!ShellExecuteExA(&start))
        return false;
    if (start.hProcess == nullptr)
        return true;
    ProcessHandle reporter(start.hProcess);
    // The reporter reads the list before it first waits for its user; from then on it holds the
    // list itself and removes it when done, which the program's hold would prevent. A reporter
    // that is not that far in time keeps the list held until the next upload or program end.
    if (WaitForInputIdle(reporter.Get(), kReporterStartTimeoutMs) == 0)
        g_hold.list.Close();
    return true;
}
