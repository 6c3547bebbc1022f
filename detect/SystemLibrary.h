#pragma once
// Libraries and entry points bound at run time from the system directory only. The program runs
// elevated, often from a folder a user can write (Downloads): a library named by its bare name
// could be found there first, so nothing here is loaded by name alone.
#include <windows.h>

// Loads fileName ("psapi.dll") from the system directory by its full path. Its own imports
// come from the system directory as well. Never unloaded by the callers here. nullptr when the
// library is missing or the path does not fit.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// psapi.dll's GetMappedFileNameW, which Windows XP has too.
typedef DWORD(WINAPI* GetMappedFileNameWProc)(HANDLE process, void* address, wchar_t* name,
                                              DWORD size);

// The system's GetMappedFileNameW, bound on the first call (from any thread) and kept for the
// life of the process; nullptr when psapi.dll or the entry point is missing.
GetMappedFileNameWProc BindGetMappedFileNameW();
