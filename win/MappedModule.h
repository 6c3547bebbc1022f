#pragma once
// The file the system mapped at a module's base in another process, named as a drive path.
// Module lists (Toolhelp) come from the process's own loader data, which the process can
// rewrite; the mapping is the system's, so this is the name to list, delete or upload.
#include <windows.h>

#include <cstddef>

#include "win/DevicePath.h"

// Fills drives with the device behind each local drive letter (GetLogicalDriveStringsA and
// QueryDosDeviceA; network drives are left out). False when the drive list cannot be read.
bool LoadDriveDevices(DriveDeviceTable& drives);

// Whether base is where an image (an executable or library, not a data view) is mapped in
// process: the start of a MEM_IMAGE allocation. A module walk checks this first, so that a
// data view of some other file placed at a claimed module base cannot lend that file its name.
// process needs PROCESS_QUERY_INFORMATION.
bool IsImageBase(HANDLE process, const void* base);

// The size of the image mapped at base in process, as the system reports it: the regions of
// type MEM_IMAGE whose allocation starts at base, added up. A module list's size is the
// process's own claim and may be rewritten; this one is not. False when base starts no image.
// process needs PROCESS_QUERY_INFORMATION.
bool GetImageMappingSize(HANDLE process, const void* base, DWORD* size);

// The drive path ("C:\dir\file.dll") of the file mapped at base in process (an image or a data
// view; base must be the start of its mapping), converted with the given table. The system's
// name is taken in UTF-16 (psapi.dll bound at run time from the system directory) and kept
// there, whatever its length or letters. process needs PROCESS_QUERY_INFORMATION. False, with
// path empty, when base starts no mapping, the system cannot name the file or the name has no
// drive path (a network file, for example).
bool GetMappedModulePath(HANDLE process, const void* base, const DriveDeviceTable& drives,
                         WidePath& path);

// The same with a drive table loaded for this call alone; for one-off lookups. Walks over many
// modules should load the table once and use the overload above.
bool GetMappedModulePath(HANDLE process, const void* base, WidePath& path);
