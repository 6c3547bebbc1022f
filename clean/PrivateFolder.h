#pragma once
// Folders that only administrators can change, for the files the program hands on (the upload)
// or leaves behind for a restart. Each is made fresh, under an unpredictable name, with a
// protected DACL given at creation: SYSTEM and Administrators full control, the program's user
// read and execute. No one else can add, rename or remove anything in it, or make it a link.
#include <windows.h>

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

// Makes a fresh private folder inside `parent` (open with FILE_ADD_SUBDIRECTORY access) and
// opens it for adding files, reading, listing and deleting it, without delete sharing. False
// when no folder could be made or the one made is a link.
bool CreatePrivateFolder(const OpenFolder& parent, OpenFolder& folder);

// Removes from `parent` the private folders that earlier runs left, with the files in them:
// only folders of the private name form, owned by Administrators or SYSTEM (which a user cannot
// make) and not links, and in them only entries opened as themselves, never through a link.
// Folders still in use stay for a later run.
void RemoveEarlierPrivateFolders(const OpenFolder& parent);
