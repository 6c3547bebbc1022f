#pragma once
#include <windows.h>

#include <cstddef>

#include "win/WidePath.h"

// GetFinalPathNameByHandleW, which Windows has from Vista on.
typedef DWORD(WINAPI* GetFinalPathNameByHandleWProc)(HANDLE file, LPWSTR path, DWORD size,
                                                     DWORD flags);

// The system's GetFinalPathNameByHandleW, or nullptr where it is missing (Windows XP).
GetFinalPathNameByHandleWProc BindGetFinalPathNameByHandleW();

// The drive path ("C:\...") under which the file behind an open handle lives now, with every
// link and junction on the way resolved: a path given to another program this way reaches the
// file that is held open, whatever folders are re-pointed later. Taken in UTF-16 with
// getFinalPath where given; without it (Windows XP) the name of a read-only mapping of the file,
// widened. False when the file has no drive path (a network or device path) or the path is
// longer than MAX_PATH - 1 characters.
bool GetHeldFilePath(HANDLE file, WidePath& path, GetFinalPathNameByHandleWProc getFinalPath);
inline bool GetHeldFilePath(HANDLE file, WidePath& path) {
    return GetHeldFilePath(file, path, BindGetFinalPathNameByHandleW());
}

// The same in the ANSI code page, converted without best-fit characters: false as well when the
// path has a character the code page cannot represent exactly, or does not fit `size` bytes.
bool GetHeldFilePath(HANDLE file, char* path, std::size_t size,
                     GetFinalPathNameByHandleWProc getFinalPath);
inline bool GetHeldFilePath(HANDLE file, char* path, std::size_t size) {
    return GetHeldFilePath(file, path, size, BindGetFinalPathNameByHandleW());
}
