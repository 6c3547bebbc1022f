// psapi.dll's own GetMappedFileNameA, which Windows XP has; with a later PSAPI_VERSION the
// header would bind kernel32's K32GetMappedFileNameA, which XP lacks.
#undef PSAPI_VERSION
#define PSAPI_VERSION 1
#include "detect/MappedModule.h"

#include <psapi.h>

namespace {

// Device names are longer than the drive paths they become; room for a MAX_PATH drive path.
const DWORD kMappedNameSize = 1024;

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

bool GetMappedModulePath(HANDLE process, const void* base, const DriveDeviceTable& drives,
                         char* path, size_t size) {
    if (path == nullptr || size == 0)
        return false;
    path[0] = '\0';
    // An address inside a mapping would give the same name: only its start is accepted.
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQueryEx(process, base, &region, sizeof(region)) != sizeof(region) ||
        region.AllocationBase != base || region.State != MEM_COMMIT) {
        return false;
    }
    char mappedName[kMappedNameSize];
    const DWORD length =
        GetMappedFileNameA(process, const_cast<void*>(base), mappedName, sizeof(mappedName));
    // A name that filled the buffer may have been cut.
    if (length == 0 || length >= sizeof(mappedName) - 1)
        return false;
    mappedName[length] = '\0';
    return DevicePathToDrivePath(mappedName, drives, path, size);
}

bool GetMappedModulePath(HANDLE process, const void* base, char* path, size_t size) {
    // Without the drive list only names that already carry their drive ("\??\C:\...") convert.
    DriveDeviceTable drives;
    LoadDriveDevices(drives);
    return GetMappedModulePath(process, base, drives, path, size);
}
