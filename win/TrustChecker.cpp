#include "win/TrustChecker.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "win/SystemLibrary.h"
#include "win/UniqueHandle.h"

namespace {

const char* const kEntryPointNames[] = {
    "CryptCATAdminAcquireContext",         "CryptCATAdminReleaseContext",
    "CryptCATAdminCalcHashFromFileHandle", "CryptCATAdminEnumCatalogFromHash",
    "CryptCATAdminReleaseCatalogContext",  "WinVerifyTrust",
};

// The first catalog hash buffer; the call reports the size it needs when that is too small.
const DWORD kInitialHashSize = 100;
// A library that keeps asking for more is not followed for ever.
const int kMaxHashAttempts = 4;

// WINTRUST_DATA up to and including dwProvFlags: the size older systems know.
const DWORD kWintrustDataSize = offsetof(WINTRUST_DATA, dwProvFlags) + sizeof(DWORD);
static_assert(sizeof(void*) != 4 || kWintrustDataSize == 44, "WINTRUST_DATA layout");

// FARPROC has no parameters; the detour through void* says that the real type is known.
template <typename Function>
Function BindEntry(FARPROC entry) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

// Defined in this order so that the library outlives the checker at process end.
WintrustLibrary g_systemWintrust(nullptr);
TrustChecker g_processTrustChecker(g_systemWintrust);

}  // namespace

WintrustLibrary& WintrustLibrary::System() {
    return g_systemWintrust;
}

TrustChecker& TrustChecker::Process() {
    return g_processTrustChecker;
}

HMODULE WintrustLibrary::Load() {
    if (libraryPath_ != nullptr) {
        return LoadLibraryExW(libraryPath_, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    // Only the system directory's copy: a bare name would also find a WINTRUST.DLL planted
    // beside the program, and run it with the program's (administrator) rights.
    return LoadSystemLibrary(L"WINTRUST.DLL");
}

bool WintrustLibrary::Bind() {
    if (state_ != kNotTried)
        return state_ == kAvailable;
    state_ = kUnavailable;
    ++loadAttempts_;
    // Never unloaded: the process-wide checker still releases its context at process end.
    HMODULE module = Load();
    if (module == nullptr)
        return false;
    FARPROC entries[6];
    for (int i = 0; i < 6; ++i) {
        entries[i] = GetProcAddress(module, kEntryPointNames[i]);
        if (entries[i] == nullptr)
            return false;
    }
    acquireContext = BindEntry<AcquireContextFn>(entries[0]);
    releaseContext = BindEntry<ReleaseContextFn>(entries[1]);
    calcHashFromFileHandle = BindEntry<CalcHashFromFileHandleFn>(entries[2]);
    enumCatalogFromHash = BindEntry<EnumCatalogFromHashFn>(entries[3]);
    releaseCatalogContext = BindEntry<ReleaseCatalogContextFn>(entries[4]);
    winVerifyTrust = BindEntry<WinVerifyTrustFn>(entries[5]);
    state_ = kAvailable;
    return true;
}

TrustChecker::~TrustChecker() {
    if (catAdmin_ != nullptr && library_.CurrentState() == WintrustLibrary::kAvailable) {
        library_.releaseContext(catAdmin_, 0);
    }
    catAdmin_ = nullptr;
}

int TrustChecker::IsTrusted(const char* ansiPath) {
    if (ansiPath == nullptr)
        return 0;
    const int length = lstrlenA(ansiPath);
    std::vector<wchar_t> widePath;
    try {
        // Room for every byte as a character plus the terminator, zero-filled.
        widePath.assign(static_cast<size_t>(length) + 2, L'\0');
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (MultiByteToWideChar(CP_ACP, 0, ansiPath, length + 1, widePath.data(), length + 2) == 0) {
        return 0;
    }
    return IsTrusted(widePath.data());
}

int TrustChecker::IsTrusted(const wchar_t* widePath) {
    if (widePath == nullptr || !library_.Bind())
        return 0;
    if (catAdmin_ == nullptr) {
        HANDLE acquired = nullptr;
        // Not kept on failure: the next check tries again.
        if (!library_.acquireContext(&acquired, nullptr, 0) || acquired == nullptr)
            return 0;
        catAdmin_ = acquired;
    }
    // Only zero means trusted; the other results, positive ones included, are failures.
    if (VerifySignature(widePath) == 0)
        return 1;
    return IsListedInCatalog(widePath) ? 1 : 0;
}

LONG TrustChecker::VerifySignature(const wchar_t* widePath) {
    WINTRUST_FILE_INFO fileInfo;
    std::memset(&fileInfo, 0, sizeof(fileInfo));
    fileInfo.cbStruct = sizeof(WINTRUST_FILE_INFO);
    fileInfo.pcwszFilePath = widePath;
    fileInfo.hFile = nullptr;
    fileInfo.pgKnownSubject = nullptr;

    WINTRUST_DATA data;
    std::memset(&data, 0, sizeof(data));
    data.cbStruct = kWintrustDataSize;
    data.pPolicyCallbackData = nullptr;
    data.pSIPClientData = nullptr;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_AUTO_CACHE;
    data.hWVTStateData = nullptr;
    data.pwszURLReference = nullptr;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return library_.winVerifyTrust(nullptr, &action, &data);
}

bool TrustChecker::CalcFileHash(const wchar_t* widePath, DWORD* size, BYTE** buffer) {
    *size = 0;
    *buffer = nullptr;
    FileHandle file(
        CreateFileW(widePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid())
        return false;
    DWORD hashSize = kInitialHashSize;
    for (int attempt = 0; attempt < kMaxHashAttempts; ++attempt) {
        LocalMemory hash(LocalAlloc(LMEM_ZEROINIT, hashSize));
        if (!hash.IsValid()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        DWORD reported = hashSize;
        BYTE* bytes = static_cast<BYTE*>(hash.Get());
        if (library_.calcHashFromFileHandle(file.Get(), &reported, bytes, 0)) {
            *size = reported;
            *buffer = static_cast<BYTE*>(hash.Release());
            return true;
        }
        DWORD error = GetLastError();
        if (error == 0)
            error = ERROR_INVALID_DATA;
        // Grow only to a larger size; anything else would ask the same question again.
        if (error != ERROR_INSUFFICIENT_BUFFER || reported <= hashSize)
            return false;
        hashSize = reported;
    }
    return false;
}

bool TrustChecker::IsListedInCatalog(const wchar_t* widePath) {
    DWORD hashSize = 0;
    BYTE* hashBytes = nullptr;
    if (!CalcFileHash(widePath, &hashSize, &hashBytes))
        return false;
    LocalMemory hash(hashBytes);
    // Any catalog will do; the catalog's own signature is the system's business.
    HANDLE catalog = library_.enumCatalogFromHash(catAdmin_, hashBytes, hashSize, 0, nullptr);
    if (catalog == nullptr)
        return false;
    library_.releaseCatalogContext(catAdmin_, catalog, 0);
    return true;
}
