#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "reporter/core/Sha256.h"
#include "reporter/tarnup/TarnUp.h"

// What this system's loader offers beyond Windows XP, bound from kernel32 at run time.
struct LoaderFeatures {
    // Windows 8, and Vista or 7 with KB2533623; nullptr elsewhere (Windows XP). Where it exists,
    // LoadLibraryEx also understands the LOAD_LIBRARY_SEARCH_* flags.
    BOOL(WINAPI* setDefaultDllDirectories)(DWORD) = nullptr;

    // Bound once, on first use.
    static const LoaderFeatures& OfThisSystem();
};

// Limits where libraries come from. The reporter runs with the main program's administrator
// rights from the temporary directory, where anyone may have dropped a DLL named like a system
// one: from here on every library is looked up in the system directory only. Without
// SetDefaultDllDirectories (XP) the current directory at least leaves the search.
void RestrictLibrarySearch(const LoaderFeatures& loader = LoaderFeatures::OfThisSystem());

// Loads a system library from the system directory only; nullptr when it cannot. Without the
// search flags (XP) it loads the full path in the system directory, whose own imports are then
// looked up from there first.
HMODULE LoadSystemLibrary(const char* name,
                          const LoaderFeatures& loader = LoaderFeatures::OfThisSystem());

// Loads, from the system directory, the libraries WinHTTP may load later on its own. Some systems
// load such deferred imports with the program's folder first whatever the search was limited to
// (Wine does); a library already loaded is not looked up again.
void PinDeferredSystemLibraries(const LoaderFeatures& loader = LoaderFeatures::OfThisSystem());

// Loads a library outside the system directory by full path with its imports taken from the
// system directory. Without the search flags (XP), WinHTTP and the libraries it loads later are
// loaded from the system directory first, so that the loader reuses them instead of looking
// beside the library, where a planted copy may lie.
HMODULE LoadLibraryWithSystemImports(const std::string& path,
                                     const LoaderFeatures& loader = LoaderFeatures::OfThisSystem());

// The upload library's entry points, bound by name.
struct TarnUpApi {
    decltype(&TarnUpApiVersion) apiVersion = nullptr;
    decltype(&TarnUpOpen) open = nullptr;
    decltype(&TarnUpEndpoint) endpoint = nullptr;
    decltype(&TarnUpSendFile) sendFile = nullptr;
    decltype(&TarnUpCancel) cancel = nullptr;
    decltype(&TarnUpClose) close = nullptr;
};

// Loads tarnup.dll from the reporter's own folder, by full path, after checking that its bytes
// are the ones the reporter was built with. The file is held open without write or delete
// sharing from the check until it is mapped, so it cannot be swapped in between.
class UploadLibrary {
  public:
    enum class LoadResult { Loaded, Missing, Tampered, Unusable };

    UploadLibrary() = default;
    UploadLibrary(const UploadLibrary&) = delete;
    UploadLibrary& operator=(const UploadLibrary&) = delete;
    ~UploadLibrary();

    // expectedSha256: the SHA-256 of the tarnup.dll built with this reporter.
    LoadResult Load(const uint8_t (&expectedSha256)[reporter::Sha256::kDigestSize],
                    const LoaderFeatures& loader = LoaderFeatures::OfThisSystem());
    const TarnUpApi& Api() const { return api_; }
    const std::string& Path() const { return path_; }

  private:
    HMODULE module_ = nullptr;
    TarnUpApi api_;
    std::string path_;
};
