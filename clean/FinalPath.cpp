#include "clean/FinalPath.h"

#include <psapi.h>

#include <cstring>

#include "app/UniqueHandle.h"
#include "detect/MappedModule.h"

namespace {

// GetFinalPathNameByHandleA's flags for "normalised name, drive letter form".
const DWORD kFinalPathDriveForm = 0;

// "\\?\C:\dir\file" -> "C:\dir\file". Network ("\\?\UNC\...") and volume-GUID forms have no
// drive path and are refused.
bool StripLongPathPrefix(const char* finalPath, char* path, std::size_t size) {
    const char prefix[] = "\\\\?\\";
    const std::size_t prefixLength = sizeof(prefix) - 1;
    const char* rest = finalPath;
    if (std::strncmp(finalPath, prefix, prefixLength) == 0)
        rest = finalPath + prefixLength;
    const bool hasDrive =
        ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z')) &&
        rest[1] == ':' && rest[2] == '\\';
    const std::size_t length = std::strlen(rest);
    if (!hasDrive || length >= size)
        return false;
    std::memcpy(path, rest, length + 1);
    return true;
}

// Windows XP: the name of a mapping of the file is its device path with links resolved.
bool GetPathFromMapping(HANDLE file, char* path, std::size_t size) {
    UniqueHandle<KernelObjectTraits> mapping(
        CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.IsValid())
        return false;
    void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr)
        return false;
    const bool named = GetMappedModulePath(GetCurrentProcess(), view, path, size);
    UnmapViewOfFile(view);
    return named;
}

}  // namespace

GetFinalPathNameByHandleAProc BindGetFinalPathNameByHandleA() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<GetFinalPathNameByHandleAProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetFinalPathNameByHandleA")));
}

bool GetHeldFilePath(HANDLE file, char* path, std::size_t size,
                     GetFinalPathNameByHandleAProc getFinalPath) {
    if (path == nullptr || size == 0)
        return false;
    if (getFinalPath == nullptr)
        return GetPathFromMapping(file, path, size);
    char finalPath[MAX_PATH + 8];
    const DWORD length = getFinalPath(file, finalPath, sizeof(finalPath), kFinalPathDriveForm);
    if (length == 0 || length >= sizeof(finalPath))
        return false;
    return StripLongPathPrefix(finalPath, path, size);
}
