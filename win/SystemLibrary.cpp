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
