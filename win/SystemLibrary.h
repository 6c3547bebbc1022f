#pragma once
// Libraries bound at run time from the system directory only. The program runs elevated, often
// from a folder a user can write (Downloads): a library named by its bare name could be found
// there first, so nothing is loaded by name alone.
#include <windows.h>

// Loads fileName ("psapi.dll") from the system directory by its full path; its own imports come
// from the system directory as well. The caller owns the reference (FreeLibrary). nullptr when
// the library is missing or the path does not fit.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Fills `bytes` from the system's random source (advapi32's RtlGenRandom, SystemFunction036),
// bound at run time: from Windows 7 on advapi32 forwards it to cryptbase.dll, which is no known
// DLL, and the Crypt* functions to cryptsp.dll, neither of which may be looked for by name.
// False when the source cannot be bound or fails.
bool SystemRandom(void* bytes, unsigned long size);
