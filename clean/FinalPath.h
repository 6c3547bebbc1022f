#pragma once
#include <windows.h>

#include <cstddef>

// GetFinalPathNameByHandleA, which Windows has from Vista on.
typedef DWORD(WINAPI* GetFinalPathNameByHandleAProc)(HANDLE file, LPSTR path, DWORD size,
                                                     DWORD flags);

// The system's GetFinalPathNameByHandleA, or nullptr where it is missing (Windows XP).
GetFinalPathNameByHandleAProc BindGetFinalPathNameByHandleA();

// The drive path ("C:\...") under which the file behind an open handle lives now, with every
// link and junction on the way resolved: a path given to another program this way reaches the
// file that is held open, whatever folders are re-pointed later. Uses getFinalPath where given;
// without it (Windows XP) the name of a read-only mapping of the file. False when the file has
// no drive path (a network or device path) or the path does not fit `size` bytes.
bool GetHeldFilePath(HANDLE file, char* path, std::size_t size,
                     GetFinalPathNameByHandleAProc getFinalPath);
inline bool GetHeldFilePath(HANDLE file, char* path, std::size_t size) {
    return GetHeldFilePath(file, path, size, BindGetFinalPathNameByHandleA());
}
