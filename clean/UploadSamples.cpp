#include "clean/UploadSamples.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "clean/PrivateFolder.h"
#include "clean/UploadFormat.h"
#include "clean/UploadList.h"
#include "res/resource.h"
#include "win/FinalPath.h"
#include "win/WideText.h"

namespace {

const char kLibraryName[] = "tarnup.dll";
const char kReporterName[] = "tarnrpt.exe";

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
bool WriteAndHold(const char* ansiPath, const std::vector<std::uint8_t>& bytes, FileHandle& hold) {
    hold.Close();
    WidePath path;
    if (!AnsiToWideExact(ansiPath, path))
        return false;
    // Removing first and then creating a new file: an existing name could be a link to a file
    // elsewhere, which an overwrite in place would change with the program's rights.
    if (!DeleteFileW(WideChars(path)) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    {
        FileHandle file(CreateFileW(WideChars(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
    hold.Reset(CreateFileW(WideChars(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hold.IsValid())
        return false;
    if (!FileHolds(hold.Get(), bytes)) {
        hold.Close();
        return false;
    }
    return true;
}

std::vector<WidePath> g_passedToReporter;

// The reporter's environment: the system's directories and what test builds pass on.
bool ReporterEnvironment(WidePath& block) {
    wchar_t system[MAX_PATH];
    wchar_t windows[MAX_PATH];
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
    const UINT windowsLength = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (systemLength == 0 || systemLength >= MAX_PATH || windowsLength < 2 ||
        windowsLength >= MAX_PATH) {
        return false;
    }
    WidePath windowsPath(reinterpret_cast<const char16_t*>(windows), windowsLength);
    if (windowsPath.back() == u'\\')
        windowsPath.pop_back();
    block =
        FormatReporterEnvironment(WidePath(reinterpret_cast<const char16_t*>(system), systemLength),
                                  windowsPath, g_passedToReporter);
    return true;
}

// The program name quoted, then exactly the parameters "/files:" and the list's path.
WidePath ReporterCommandLine(const WidePath& reporter, const WidePath& list) {
    return u"\"" + reporter + u"\" /files:" + list;
}

bool StartUpload(const char* tag) {
    // The files of an earlier upload are let go: their folder is about to be removed.
    g_hold.Release();
    OpenFolder temp;
    if (!OpenWindowsTemp(temp))
        return false;
    RemoveEarlierPrivateFolders(temp);
    OpenFolder folder;
    std::string folderPath;
    if (!CreatePrivateFolder(temp, PrivateFolderKind::Upload, folder) ||
        !WideToAnsiExact(WideChars(folder.path), folderPath))
        return false;
    char exePath[kUploadBufferSize];
    char listPath[kUploadBufferSize];
    // The list is complete, every file hashed and the profile cache flushed, once this returns.
    if (!ExtractReporter(folderPath.c_str(), exePath, g_hold) ||
        !WriteUploadList(folder, tag, listPath)) {
        g_hold.Release();
        return false;
    }
    // The reporter is started by the name its held file has now, taken in UTF-16: the
    // application name is given, so no search and no per-user association chooses the program.
    WidePath reporter;
    WidePath list;
    if (!GetHeldFilePath(g_hold.reporter.Get(), reporter) || !AnsiToWideExact(listPath, list)) {
        g_hold.Release();
        return false;
    }
    WidePath commandLine = ReporterCommandLine(reporter, list);
    WidePath environment;
    if (!ReporterEnvironment(environment)) {
        g_hold.Release();
        return false;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION started = {};
    // Started in its own folder, so that nothing it opens by a relative name comes from the
    // user's current directory.
    if (!CreateProcessW(WideChars(reporter), reinterpret_cast<wchar_t*>(&commandLine[0]), nullptr,
                        nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, &environment[0],
                        WideChars(folder.path), &startup, &started)) {
        return false;
    }
    // Not waited for: the reporter runs on its own and removes the list when done.
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
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
        WidePath library;
        if (AnsiToWideExact(exePath, library))
            DeleteFileW(WideChars(library));
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

void PassToReporter(const char* name) {
    wchar_t value[kUploadBufferSize];
    WidePath wideName;
    if (!AnsiToWideExact(name, wideName))
        return;
    const DWORD length = GetEnvironmentVariableW(WideChars(wideName), value, kUploadBufferSize);
    if (length == 0 || length >= kUploadBufferSize)
        return;
    g_passedToReporter.push_back(wideName + u"=" +
                                 WidePath(reinterpret_cast<const char16_t*>(value), length));
}

bool UploadSamples(const char* tag) {
    try {
        return StartUpload(tag);
    } catch (const std::bad_alloc&) {
        g_hold.Release();
        return false;
    }
}
