#include "win/SystemLibrary.h"

#include <cstring>
#include <cwchar>

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = std::wcslen(fileName);
    if (length == 0 || length >= MAX_PATH || length + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    std::memcpy(path + length + 1, fileName, (nameLength + 1) * sizeof(wchar_t));
    // Systems without the LOAD_LIBRARY_SEARCH_* flags reject them; the altered search then
    // starts at the library's own folder, which is the system directory too.
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

bool SystemRandom(void* bytes, unsigned long size) {
    typedef BOOLEAN(WINAPI * RtlGenRandomProc)(PVOID buffer, ULONG length);
    // Loaded from the system directory first, the library the forward names is found loaded
    // when the forward is resolved. Systems before Windows 7 have no cryptbase.dll and keep the
    // function in advapi32. Neither library is unloaded: both stay for the process anyway.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + sizeof("\\cryptbase.dll") > MAX_PATH)
        return false;
    std::memcpy(path + length, L"\\cryptbase.dll", sizeof(L"\\cryptbase.dll"));
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES &&
        LoadSystemLibrary(L"cryptbase.dll") == nullptr) {
        return false;
    }
    HMODULE advapi = LoadSystemLibrary(L"advapi32.dll");
    if (advapi == nullptr)
        return false;
    RtlGenRandomProc genRandom = reinterpret_cast<RtlGenRandomProc>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "SystemFunction036")));
    return genRandom != nullptr && genRandom(bytes, size) != FALSE;
}
