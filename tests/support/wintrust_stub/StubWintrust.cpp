// A stand-in WINTRUST.DLL for the tests: the six entry points the program binds, answering by
// the rules in StubWintrust.h. Wine's own WinVerifyTrust answers "trusted" for every file in
// the program's cache mode, so the trust logic cannot be tested against it.
#include "StubWintrust.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

StubWintrustState g_state;
int g_contextToken;
int g_catalogToken;
const BYTE kHashMagic[4] = {'S', 'T', 'U', 'B'};

void Log(const char* format, ...) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("VORMAK_STUB_WINTRUST_LOG", path, MAX_PATH) == 0)
        return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    _vsnprintf(line, sizeof(line) - 3, format, arguments);
    va_end(arguments);
    line[sizeof(line) - 3] = '\0';
    lstrcatA(line, "\r\n");
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    CloseHandle(file);
}

// With VORMAK_STUB_WINTRUST_PAUSE=<name> a check can be held up while a test looks at the
// program mid-upload: once "<name>-arm" is set, the next WinVerifyTrust sets "<name>-reached"
// and waits (at most 30 s) for "<name>-resume".
void PauseIfArmed() {
    char name[200];
    const DWORD length = GetEnvironmentVariableA("VORMAK_STUB_WINTRUST_PAUSE", name, 160);
    if (length == 0 || length >= 160)
        return;
    char eventName[200];
    wsprintfA(eventName, "%s-arm", name);
    HANDLE arm = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, eventName);
    if (arm == nullptr)
        return;
    if (WaitForSingleObject(arm, 0) == WAIT_OBJECT_0) {
        wsprintfA(eventName, "%s-reached", name);
        HANDLE reached = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
        wsprintfA(eventName, "%s-resume", name);
        HANDLE resume = OpenEventA(SYNCHRONIZE, FALSE, eventName);
        if (reached != nullptr)
            SetEvent(reached);
        if (resume != nullptr)
            WaitForSingleObject(resume, 30000);
        if (reached != nullptr)
            CloseHandle(reached);
        if (resume != nullptr)
            CloseHandle(resume);
    }
    CloseHandle(arm);
}

void Bad(const char* what) {
    InterlockedIncrement(&g_state.badCalls);
    Log("bad %s", what);
}

bool IsUnderWindowsDirectory(HANDLE file) {
    wchar_t path[1024];
    const DWORD length = GetFinalPathNameByHandleW(file, path, 1024, VOLUME_NAME_DOS);
    if (length == 0 || length >= 1024)
        return false;
    const wchar_t* p = path;
    if (std::wcsncmp(p, L"\\\\?\\", 4) == 0)
        p += 4;
    wchar_t windows[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryW(windows, MAX_PATH);
    if (windowsLength == 0 || windowsLength >= MAX_PATH - 1)
        return false;
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, p, windowsLength, windows,
                       windowsLength) != CSTR_EQUAL) {
        return false;
    }
    return p[windowsLength] == L'\\';
}

bool HasSignatureTrailer(HANDLE file) {
    const DWORD trailerSize = sizeof(STUB_SIGNATURE_TRAILER) - 1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < trailerSize)
        return false;
    LARGE_INTEGER offset;
    offset.QuadPart = size.QuadPart - trailerSize;
    char trailer[sizeof(STUB_SIGNATURE_TRAILER)] = {};
    DWORD read = 0;
    if (!SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) ||
        !ReadFile(file, trailer, trailerSize, &read, nullptr) || read != trailerSize) {
        return false;
    }
    return std::memcmp(trailer, STUB_SIGNATURE_TRAILER, trailerSize) == 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) StubWintrustState* WINAPI StubWintrustGetState() {
    return &g_state;
}

__declspec(dllexport) BOOL WINAPI
    CryptCATAdminAcquireContext(HANDLE* catAdmin, const GUID* subsystem, DWORD flags) {
    InterlockedIncrement(&g_state.acquireCalls);
    if (catAdmin == nullptr || subsystem != nullptr || flags != 0)
        Bad("acquire-arguments");
    if (g_state.failAcquire > 0) {
        --g_state.failAcquire;
        Log("acquire failed");
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    InterlockedIncrement(&g_state.acquireSucceeded);
    g_state.handedOutContext = &g_contextToken;
    *catAdmin = &g_contextToken;
    Log("acquire");
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI CryptCATAdminReleaseContext(HANDLE catAdmin, DWORD flags) {
    InterlockedIncrement(&g_state.releaseContextCalls);
    g_state.lastReleasedContext = catAdmin;
    if (catAdmin != &g_contextToken || flags != 0)
        Bad("release-context-arguments");
    Log("release-context");
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI
    CryptCATAdminCalcHashFromFileHandle(HANDLE file, DWORD* hashSize, BYTE* hash, DWORD flags) {
    InterlockedIncrement(&g_state.hashCalls);
    if (hashSize == nullptr || flags != 0 || file == nullptr || file == INVALID_HANDLE_VALUE) {
        Bad("hash-arguments");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_state.lastHashBufferSize = *hashSize;
    if (hash == nullptr || *hashSize < kStubHashSize) {
        InterlockedIncrement(&g_state.hashTooSmallCalls);
        *hashSize = kStubHashSize;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(hash, 0x5A, kStubHashSize);
    std::memcpy(hash, kHashMagic, sizeof(kHashMagic));
    hash[4] = IsUnderWindowsDirectory(file) ? 1 : 0;
    *hashSize = kStubHashSize;
    return TRUE;
}

#ifndef STUB_WITHOUT_ENUM
__declspec(dllexport) HANDLE WINAPI
    CryptCATAdminEnumCatalogFromHash(HANDLE catAdmin, BYTE* hash, DWORD hashSize, DWORD flags,
                                     HANDLE* previousCatalog) {
    InterlockedIncrement(&g_state.enumCalls);
    if (catAdmin != &g_contextToken || flags != 0 || previousCatalog != nullptr) {
        Bad("enum-arguments");
    }
    if (hash == nullptr || hashSize != kStubHashSize ||
        std::memcmp(hash, kHashMagic, sizeof(kHashMagic)) != 0) {
        Bad("enum-hash");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (hash[4] != 1) {
        SetLastError(ERROR_NOT_FOUND);
        return nullptr;
    }
    InterlockedIncrement(&g_state.catalogsFound);
    return &g_catalogToken;
}
#endif

__declspec(dllexport) BOOL WINAPI
    CryptCATAdminReleaseCatalogContext(HANDLE catAdmin, HANDLE catalog, DWORD flags) {
    InterlockedIncrement(&g_state.releaseCatalogCalls);
    if (catAdmin != &g_contextToken || catalog != &g_catalogToken || flags != 0) {
        Bad("release-catalog-arguments");
    }
    return TRUE;
}

__declspec(dllexport) LONG WINAPI WinVerifyTrust(HWND window, GUID* action, void* data) {
    InterlockedIncrement(&g_state.verifyCalls);
    static const GUID kVerifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA* trust = static_cast<WINTRUST_DATA*>(data);
    if (window != nullptr || action == nullptr || !IsEqualGUID(*action, kVerifyV2) ||
        trust == nullptr) {
        Bad("verify-arguments");
        return E_INVALIDARG;
    }
    const WINTRUST_FILE_INFO* file = trust->pFile;
    if (trust->cbStruct != 44 || trust->pPolicyCallbackData != nullptr ||
        trust->pSIPClientData != nullptr || trust->dwUIChoice != WTD_UI_NONE ||
        trust->fdwRevocationChecks != WTD_REVOKE_NONE || trust->dwUnionChoice != WTD_CHOICE_FILE ||
        trust->dwStateAction != WTD_STATEACTION_AUTO_CACHE || trust->hWVTStateData != nullptr ||
        trust->pwszURLReference != nullptr || trust->dwProvFlags != WTD_REVOCATION_CHECK_NONE ||
        file == nullptr || file->cbStruct != 16 || file->pcwszFilePath == nullptr ||
        file->hFile != nullptr || file->pgKnownSubject != nullptr) {
        Bad("verify-structure");
        return E_INVALIDARG;
    }
    lstrcpynW(g_state.lastVerifiedPath, file->pcwszFilePath, MAX_PATH);
    PauseIfArmed();
    HANDLE handle = CreateFileW(file->pcwszFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    LONG result;
    if (handle == INVALID_HANDLE_VALUE) {
        result = ERROR_FILE_NOT_FOUND;
    } else {
        result = HasSignatureTrailer(handle) ? 0 : static_cast<LONG>(TRUST_E_NOSIGNATURE);
        CloseHandle(handle);
    }
    char ansiPath[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, file->pcwszFilePath, -1, ansiPath, sizeof(ansiPath) - 1, nullptr,
                        nullptr);
    Log("verify %08lx %s", static_cast<unsigned long>(result), ansiPath);
    return result;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
#ifdef STUB_PLANTED
    // Planted beside the program: being loaded at all is the failure the tests look for.
    if (reason == DLL_PROCESS_ATTACH)
        Log("planted-loaded");
#else
    if (reason == DLL_PROCESS_ATTACH)
        Log("loaded");
#endif
    return TRUE;
}

}  // extern "C"
