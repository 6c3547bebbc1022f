#include "reporter/tarnrpt/LibraryGuard.h"

#include <cstring>
#include <vector>

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

const LoaderFeatures& LoaderFeatures::OfThisSystem() {
    static const LoaderFeatures features = [] {
        LoaderFeatures bound;
        // kernel32 is always loaded: taking its handle searches nowhere.
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (kernel != nullptr)
            Bind(kernel, "SetDefaultDllDirectories", bound.setDefaultDllDirectories);
        return bound;
    }();
    return features;
}

void RestrictLibrarySearch(const LoaderFeatures& loader) {
    // Drops the current directory from the search everywhere (XP SP1 and later have it); it
    // stays the only measure where SetDefaultDllDirectories is missing.
    SetDllDirectoryA("");
    if (loader.setDefaultDllDirectories != nullptr)
        loader.setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name, const LoaderFeatures& loader) {
    if (loader.setDefaultDllDirectories != nullptr) {
        HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        // A loader without the flag answers ERROR_INVALID_PARAMETER: take the full path then.
        if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
            return module;
    }
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof(path));
    const size_t nameLength = std::strlen(name);
    if (length == 0 || length >= sizeof(path) || length + 1 + nameLength >= sizeof(path))
        return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    // With a full path, this flag makes the library's own imports come from its folder (the
    // system directory) first, instead of from the program's folder.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void PinDeferredSystemLibraries(const LoaderFeatures& loader) {
    static const char* const kNames[] = {"crypt32.dll", "secur32.dll",  "bcrypt.dll",
                                         "ncrypt.dll",  "iphlpapi.dll", "dnsapi.dll",
                                         "userenv.dll", "netapi32.dll", "schannel.dll"};
    // Kept loaded for the life of the process; a missing one is simply not there to plant.
    for (const char* name : kNames)
        LoadSystemLibrary(name, loader);
}

HMODULE LoadLibraryWithSystemImports(const std::string& path, const LoaderFeatures& loader) {
    if (loader.setDefaultDllDirectories != nullptr) {
        HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
            return module;
    }
    // A plain load looks for imports beside the program first; WinHTTP and what it loads later
    // are loaded from the system directory beforehand (and stay loaded), so none is looked up.
    if (LoadSystemLibrary("winhttp.dll", loader) == nullptr)
        return nullptr;
    PinDeferredSystemLibraries(loader);
    return LoadLibraryA(path.c_str());
}

UploadLibrary::~UploadLibrary() {
    if (module_ != nullptr)
        FreeLibrary(module_);
}

UploadLibrary::LoadResult UploadLibrary::Load(
    const uint8_t (&expectedSha256)[reporter::Sha256::kDigestSize], const LoaderFeatures& loader) {
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
        std::memcmp(digest, expectedSha256, sizeof(digest)) != 0) {
        return LoadResult::Tampered;
    }
    // Its imports (WinHTTP and the like) come from the system directory only.
    module_ = LoadLibraryWithSystemImports(path_, loader);
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
