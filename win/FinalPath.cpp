#include "win/FinalPath.h"

#include <new>
#include <vector>

#include "win/MappedModule.h"
#include "win/UniqueHandle.h"

namespace {

// GetFinalPathNameByHandleW's flags for "normalised name, drive letter form".
const DWORD kFinalPathDriveForm = 0;
// The longest path the wide file functions take, with its terminator and room for "\\?\UNC\".
const DWORD kLongestFinalPath = 32768 + 8;

bool IsDrivePath(const WidePath& path) {
    if (path.size() < 3)
        return false;
    const char16_t letter = path[0];
    return ((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z')) &&
           path[1] == u':' && path[2] == u'\\';
}

// "\\?\C:\dir\file" -> "C:\dir\file". Network ("\\?\UNC\...") and volume-GUID forms have no
// drive path and are refused.
bool StripLongPathPrefix(const WidePath& finalPath, WidePath& path) {
    const WidePath prefix = u"\\\\?\\";
    WidePath rest = finalPath;
    if (rest.compare(0, prefix.size(), prefix) == 0)
        rest = rest.substr(prefix.size());
    if (!IsDrivePath(rest))
        return false;
    path = rest;
    return true;
}

// Windows XP: the name of a mapping of the file is its device path with links resolved, taken
// in UTF-16 as the system gives it.
bool GetPathFromMapping(HANDLE file, WidePath& path) {
    UniqueHandle<KernelObjectTraits> mapping(
        CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.IsValid())
        return false;
    void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr)
        return false;
    WidePath wide;
    const bool named = GetMappedModulePath(GetCurrentProcess(), view, wide);
    UnmapViewOfFile(view);
    if (!named || !IsDrivePath(wide))
        return false;
    path = wide;
    return true;
}

}  // namespace

GetFinalPathNameByHandleWProc BindGetFinalPathNameByHandleW() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<GetFinalPathNameByHandleWProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetFinalPathNameByHandleW")));
}

bool GetHeldFilePath(HANDLE file, WidePath& path, GetFinalPathNameByHandleWProc getFinalPath) {
    if (getFinalPath == nullptr)
        return GetPathFromMapping(file, path);
    try {
        // A file nested deep in folders may have a path past MAX_PATH: a buffer too small is
        // answered with the size needed, and the second call gets it unless the path grew
        // in between.
        std::vector<wchar_t> finalPath(MAX_PATH + 8);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const DWORD length = getFinalPath(
                file, finalPath.data(), static_cast<DWORD>(finalPath.size()), kFinalPathDriveForm);
            if (length == 0 || length > kLongestFinalPath)
                return false;
            if (length < finalPath.size()) {
                return StripLongPathPrefix(
                    WidePath(reinterpret_cast<const char16_t*>(finalPath.data()), length), path);
            }
            finalPath.resize(length);
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}
