#pragma once
#include <windows.h>

#include <string>

#include "reporter/tarnup/TarnUp.h"

// Limits where libraries come from. The reporter runs with the main program's administrator
// rights from the temporary directory, where anyone may have dropped a DLL named like a system
// one: from here on every library is looked up in the system directory only.
void RestrictLibrarySearch();

// Loads a system library from the system directory only; nullptr when it cannot.
HMODULE LoadSystemLibrary(const char* name);

// Loads, from the system directory, the libraries WinHTTP may load later on its own. Some systems
// load such deferred imports with the program's folder first whatever the search was limited to
// (Wine does); a library already loaded is not looked up again.
void PinDeferredSystemLibraries();

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

    LoadResult Load();
    const TarnUpApi& Api() const { return api_; }
    const std::string& Path() const { return path_; }

  private:
    HMODULE module_ = nullptr;
    TarnUpApi api_;
    std::string path_;
};
