#pragma once
// Folders that only administrators can change, for the files the program hands on (the upload)
// or leaves behind for a restart. Each is made fresh, under an unpredictable name, with
// Administrators as owner and a protected DACL given at creation: SYSTEM and Administrators full
// control, no one else any access (the reporter runs with the program's elevated token). No one
// else can add, read, rename or remove anything in it, or make it a link.
#include <windows.h>

#include "clean/PrivateFolderName.h"

#include "win/UniqueHandle.h"
#include "win/WidePath.h"

// An open folder and the path it was opened by.
struct OpenFolder {
    FileHandle handle;
    WidePath path;
};

// The Windows directory's Temp (GetSystemWindowsDirectoryW, so never a per-user Windows
// directory), opened and checked not to be a link. Only administrators can rename or replace it.
bool OpenWindowsTemp(OpenFolder& temp);

// The root folder of a drive ("X:\"), opened for making folders in it; path is "X:".
bool OpenDriveRoot(char16_t drive, OpenFolder& root);

// Makes a fresh private folder of the kind's name form inside `parent` (open with
// FILE_ADD_SUBDIRECTORY access) and opens it for adding files, reading, listing and deleting it,
// without delete sharing. False when no folder could be made, the one made is a link, or its
// owner and DACL read back are not exactly the private ones (it is removed then).
bool CreatePrivateFolder(const OpenFolder& parent, PrivateFolderKind kind, OpenFolder& folder);

// Whether the open object (READ_CONTROL) has exactly the private folders' owner and DACL:
// owner Administrators or SYSTEM, a protected DACL of full control for SYSTEM and for
// Administrators and nothing else.
bool HasPrivateSecurity(HANDLE object);

// Gives a file moved into a private folder the folder's owner and protected DACL, so that its
// former owner cannot reach it by name either (every user may traverse folders it cannot list).
// The handle needs WRITE_DAC and WRITE_OWNER access.
bool ProtectMovedFile(HANDLE file);

// Whether a private folder may be made in `parent` (open with READ_CONTROL): its volume keeps
// ACLs, and the folder grants no one but SYSTEM, Administrators and TrustedInstaller a right to
// delete its entries or to rewrite its own descriptor (owner included).
bool KeepsPrivateFolders(const OpenFolder& parent);

// Removes from `parent` the upload folders that earlier runs left, with the files in them:
// only folders of the upload's name form whose owner and DACL are exactly the private ones
// (which a user cannot give) and not links, and in them only entries opened as themselves,
// never through a link. Folders still in use stay for a later run; restart folders are never
// taken.
void RemoveEarlierPrivateFolders(const OpenFolder& parent);
