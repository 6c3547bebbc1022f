#pragma once
#include <windows.h>

#include "win/WidePath.h"

// GetFinalPathNameByHandleW, which Windows has from Vista on.
typedef DWORD(WINAPI* GetFinalPathNameByHandleWProc)(HANDLE file, LPWSTR path, DWORD size,
                                                     DWORD flags);

// The system's GetFinalPathNameByHandleW, or nullptr where it is missing (Windows XP).
GetFinalPathNameByHandleWProc BindGetFinalPathNameByHandleW();

// The drive path ("C:\...") under which the file behind an open handle lives now, with every
// link and junction on the way resolved: a path given to another program this way reaches the
// file that is held open, whatever folders are re-pointed later. Taken in UTF-16 with
// getFinalPath where given; without it (Windows XP) the name of a read-only mapping of the file.
// Of any length: hand it to the file functions in its LongPathForm. False when the file has no
// drive path (a network or device path).
bool GetHeldFilePath(HANDLE file, WidePath& path, GetFinalPathNameByHandleWProc getFinalPath);
inline bool GetHeldFilePath(HANDLE file, WidePath& path) {
    return GetHeldFilePath(file, path, BindGetFinalPathNameByHandleW());
}
