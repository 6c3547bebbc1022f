#include "reporter/tarnrpt/LibraryGuard.h"

#include <cstring>
#include <vector>

#include "reporter/TarnUpDigest.h"
#include "reporter/core/Sha256.h"
#include "reporter/win/FileHandle.h"

namespace {

const DWORD kMaxLibrarySize = 8 * 1024 * 1024;

bool HashOpenFile(HANDLE file, uint8_t digest[reporter::Sha256::kDigestSize]) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > kMaxLibrarySize) {
        return false;
    }
    std::vector<uint8_t> buffer(64 * 1024);
    reporter::Sha256 hash;
    LONGLONG remaining = size.QuadPart;
    while (remaining > 0) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), DWORD(buffer.size()), &read, nullptr) || read == 0) {
            return false;
        }
        hash.Update(buffer.data(), read);
        remaining -= read;
    }
    hash.Finish(digest);
    return remaining == 0;
}

template <typename Pointer>
bool Bind(HMODULE module, const char* name, Pointer& pointer) {
    pointer = reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return pointer != nullptr;
}

}  // namespace

void RestrictLibrarySearch() {
    // Vista with KB2533623 and later have SetDefaultDllDirectories; without it, at least drop
    // the current directory from the search.
    SetDllDirectoryA("");
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesProc setDefault = nullptr;
    if (kernel != nullptr) {
        setDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    }
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
    return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void PinDeferredSystemLibraries() {
    static const char* const kNames[] = {"crypt32.dll", "secur32.dll",  "bcrypt.dll",
                                         "ncrypt.dll",  "iphlpapi.dll", "dnsapi.dll",
                                         "userenv.dll", "netapi32.dll", "schannel.dll"};
    // Kept loaded for the life of the process; a missing one is simply not there to plant.
    for (const char* name : kNames)
        LoadSystemLibrary(name);
}

UploadLibrary::~UploadLibrary() {
    if (module_ != nullptr)
        FreeLibrary(module_);
}

UploadLibrary::LoadResult UploadLibrary::Load() {
    char exePath[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, exePath, sizeof(exePath));
    if (length == 0 || length >= sizeof(exePath))
        return LoadResult::Unusable;
    std::string folder(exePath, length);
    const size_t slash = folder.find_last_of('\\');
    if (slash == std::string::npos)
        return LoadResult::Unusable;
    path_ = folder.substr(0, slash + 1) + "tarnup.dll";

    // Read and write sharing as the loader needs it: read yes, write and delete no.
    reporter::FileHandle file(CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? LoadResult::Missing
                   : LoadResult::Tampered;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return LoadResult::Tampered;
    }
    uint8_t digest[reporter::Sha256::kDigestSize];
    if (!HashOpenFile(file.Get(), digest) ||
        std::memcmp(digest, kTarnUpSha256, sizeof(digest)) != 0) {
        return LoadResult::Tampered;
    }
    // Its imports (WinHTTP and the like) come from the system directory only.
    module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module_ == nullptr)
        return LoadResult::Unusable;
    TarnUpApi api;
    if (!Bind(module_, "TarnUpApiVersion", api.apiVersion) ||
        !Bind(module_, "TarnUpOpen", api.open) || !Bind(module_, "TarnUpEndpoint", api.endpoint) ||
        !Bind(module_, "TarnUpSendFile", api.sendFile) ||
        !Bind(module_, "TarnUpCancel", api.cancel) || !Bind(module_, "TarnUpClose", api.close) ||
        api.apiVersion() != TARNUP_API_VERSION) {
        FreeLibrary(module_);
        module_ = nullptr;
        return LoadResult::Unusable;
    }
    api_ = api;
    return LoadResult::Loaded;
}
