#include "win/MappedModule.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "win/SystemLibrary.h"
#include "win/WideText.h"

namespace {

// Device names are longer than the drive paths they become; room for the longest path.
const DWORD kMappedNameSize = 32768 + 1024;

// psapi.dll's GetMappedFileNameW, which Windows XP has too.
typedef DWORD(WINAPI* GetMappedFileNameWProc)(HANDLE process, void* address, wchar_t* name,
                                              DWORD size);

// Distinct from nullptr: a failed binding is remembered and not tried again.
void* const kNotBound = reinterpret_cast<void*>(1);

// The system's GetMappedFileNameW, bound on the first call and kept for the life of the
// process; nullptr when psapi.dll or the entry point is missing.
GetMappedFileNameWProc BindGetMappedFileNameW() {
    // The scan's thread and the UI thread both name mapped files. Two first calls at once bind
    // twice, which only takes a second reference on psapi.dll.
    static void* volatile bound = nullptr;
    void* entry = InterlockedCompareExchangePointer(&bound, nullptr, nullptr);
    if (entry == nullptr) {
        HMODULE psapi = LoadSystemLibrary(L"psapi.dll");
        FARPROC address = psapi == nullptr ? nullptr : GetProcAddress(psapi, "GetMappedFileNameW");
        entry = address == nullptr ? kNotBound : reinterpret_cast<void*>(address);
        InterlockedExchangePointer(&bound, entry);
    }
    return entry == kNotBound ? nullptr : reinterpret_cast<GetMappedFileNameWProc>(entry);
}

// GetMappedModulePath's work; may throw std::bad_alloc.
bool NameMappedFile(HANDLE process, const void* base, const DriveDeviceTable& drives,
                    WidePath& path) {
    // An address inside a mapping would give the same name: only its start is accepted.
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQueryEx(process, base, &region, sizeof(region)) != sizeof(region) ||
        region.AllocationBase != base || region.State != MEM_COMMIT) {
        return false;
    }
    const GetMappedFileNameWProc getMappedFileName = BindGetMappedFileNameW();
    if (getMappedFileName == nullptr)
        return false;
    // Taken in UTF-16 and kept so: the ANSI call converts with best-fit characters, which can
    // turn a folder a user named "System32" with a fullwidth backslash into another path, and
    // a name with a letter the code page lacks has no ANSI form at all.
    std::vector<wchar_t> mappedName(kMappedNameSize);
    const DWORD length =
        getMappedFileName(process, const_cast<void*>(base), mappedName.data(), kMappedNameSize);
    // A name that filled the buffer may have been cut.
    if (length == 0 || length >= kMappedNameSize - 1)
        return false;
    const WidePath name(reinterpret_cast<const char16_t*>(mappedName.data()), length);
    return DevicePathToDrivePath(name, drives, path);
}

}  // namespace

bool LoadDriveDevices(DriveDeviceTable& drives) {
    char letters[4 * DriveDeviceTable::kLetterCount + 2] = {};
    const DWORD length = GetLogicalDriveStringsA(sizeof(letters), letters);
    if (length == 0 || length >= sizeof(letters))
        return false;
    for (const char* root = letters; *root != '\0'; root += lstrlenA(root) + 1) {
        if (GetDriveTypeA(root) == DRIVE_REMOTE)
            continue;
        const char drive[3] = {root[0], ':', '\0'};
        // The first of the names QueryDosDeviceA gives is the one in use.
        char device[DriveDeviceTable::kDeviceNameSize] = {};
        if (QueryDosDeviceA(drive, device, sizeof(device)) != 0) {
            device[sizeof(device) - 1] = '\0';
            drives.Set(root[0], device);
        }
    }
    return true;
}

bool IsImageBase(HANDLE process, const void* base) {
    MEMORY_BASIC_INFORMATION region;
    return VirtualQueryEx(process, base, &region, sizeof(region)) == sizeof(region) &&
           region.Type == MEM_IMAGE && region.AllocationBase == base;
}

bool GetImageMappingSize(HANDLE process, const void* base, DWORD* size) {
    *size = 0;
    std::uint64_t total = 0;
    std::uintptr_t address = reinterpret_cast<std::uintptr_t>(base);
    // An image is one allocation whose regions differ only in protection; the first region
    // that belongs to another allocation, or is no image, ends it.
    for (;;) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQueryEx(process, reinterpret_cast<const void*>(address), &region,
                           sizeof(region)) != sizeof(region) ||
            region.AllocationBase != base || region.Type != MEM_IMAGE) {
            break;
        }
        total += region.RegionSize;
        const std::uintptr_t next =
            reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;  // the top of the address space
        address = next;
    }
    if (total == 0)
        return false;
    *size = total > MAXDWORD ? MAXDWORD : static_cast<DWORD>(total);
    return true;
}

bool GetMappedModulePath(HANDLE process, const void* base, const DriveDeviceTable& drives,
                         WidePath& path) {
    path.clear();
    try {
        return NameMappedFile(process, base, drives, path);
    } catch (const std::bad_alloc&) {
        path.clear();
        return false;
    }
}

bool GetMappedModulePath(HANDLE process, const void* base, WidePath& path) {
    // Without the drive list only names that already carry their drive ("\??\C:\...") convert.
    DriveDeviceTable drives;
    LoadDriveDevices(drives);
    return GetMappedModulePath(process, base, drives, path);
}
