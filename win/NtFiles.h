#pragma once
// Files opened by name inside a folder that is already open, through ntdll: the name is looked up
// in that folder itself, so a folder renamed or swapped for a link after it was opened changes
// nothing, and a link at the name is opened as the link, never followed (on Windows; Wine follows
// links it made from Unix ones). ntdll is bound at run time from the copy every process has.
#include <windows.h>

#include "win/FileIdentity.h"
#include "win/UniqueHandle.h"
#include "win/WidePath.h"

#include <vector>

// NtCreateFile's dispositions and options used here (ntifs.h).
const ULONG kNtFileOpen = 1;    // FILE_OPEN
const ULONG kNtFileCreate = 2;  // FILE_CREATE: fails when the name exists
const ULONG kNtDirectoryFile = 0x00000001;
const ULONG kNtNonDirectoryFile = 0x00000040;
const ULONG kNtDeleteOnClose = 0x00001000;

// Opens (or with kNtFileCreate creates, with `security` as its descriptor) `name` inside
// `folder`. INVALID_HANDLE_VALUE on failure.
HANDLE OpenInFolder(HANDLE folder, const WidePath& name, ACCESS_MASK access, ULONG share,
                    ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR security = nullptr);

// Renames an open file (opened with DELETE access) to `name` inside the open folder `target`,
// which must be on the same volume. Fails when the name exists.
bool MoveOpenFileInto(HANDLE file, HANDLE target, const WidePath& name);

// One entry of a folder: its name and attributes.
struct FolderEntry {
    WidePath name;
    DWORD attributes;
};

// The entries of an open folder (opened with FILE_LIST_DIRECTORY access and synchronous I/O, as
// OpenInFolder opens), read through its handle, "." and ".." left out. No second open of the
// folder by its path is needed, which a holder without delete sharing would refuse. False when
// the folder cannot be read to its end.
bool ListOpenFolder(HANDLE folder, std::vector<FolderEntry>& entries);

// Marks a file or (empty) folder opened with DELETE access for deletion when its last handle
// closes.
bool MarkOpenFileForDeletion(HANDLE file);

// Whether the open file or folder is a link (or its attributes cannot be read). `path`, its name,
// is looked at too: Wine opens the folder behind a link made from a Unix symbolic link, and only
// the attributes found through the path show the link.
bool IsLinkOrUnknown(HANDLE file, const wchar_t* path);

// The identity of an open file (any access); false when it cannot be read.
bool GetFileIdentity(HANDLE file, FileIdentity& identity);
// The identity of the file or folder at `path`, opened for its attributes only; `isFolder` says
// which it is. False when there is none or it cannot be read.
bool GetPathIdentity(const WidePath& path, FileIdentity& identity, bool& isFolder);
// The same for a file only: false for a folder.
bool GetPathIdentity(const WidePath& path, FileIdentity& identity);
