/* Run-time support for -fstack-protector-strong: the guard value the compiler checks on return
   and the function it calls when the check fails. GCC's libssp has both, but it seeds the guard
   with CryptAcquireContextA from a constructor, which would give every binary an advapi32 import
   at start; the reporter may import only kernel32 and msvcrt. This imports only kernel32
   functions that Windows XP has and binds the system's random source at run time. The file
   itself is compiled without the protector. */
#include <windows.h>

#include <stdint.h>

/* Not zero before seeding, so that code running ahead of the seeding is still checked. */
uintptr_t __stack_chk_guard = 0x2B992D00u;

void __stack_chk_fail(void) __attribute__((noreturn));

/* A return address may already be overwritten: end the process at once, with the status Windows
   reports for the same event, without unwinding or running exception handlers. */
void __stack_chk_fail(void) {
    const UINT statusStackBufferOverrun = 0xC0000409u;
    TerminateProcess(GetCurrentProcess(), statusStackBufferOverrun);
    __builtin_trap();
}

/* RtlGenRandom: advapi32's SystemFunction036, which Windows XP has too. */
typedef BOOLEAN(WINAPI* RtlGenRandomFn)(PVOID buffer, ULONG length);

extern IMAGE_DOS_HEADER __ImageBase;

/* The full path of a library in the system directory; FALSE when it does not fit. */
static BOOL SystemLibraryPath(const wchar_t* name, wchar_t* path) {
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + (UINT)lstrlenW(name) >= MAX_PATH)
        return FALSE;
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return TRUE;
}

/* A program loads the library by its full path in the system directory, never by its bare name
   (it runs elevated from a folder a user may write), and the library's own imports come from
   there too. A DLL's constructors run under the loader lock, where loading more libraries is
   unsafe: a DLL only takes the library when it is loaded already. */
static HMODULE SystemLibrary(const wchar_t* name, BOOL isProgram) {
    wchar_t path[MAX_PATH];
    if (!isProgram)
        return GetModuleHandleW(name);
    if (!SystemLibraryPath(name, path))
        return NULL;
    return LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

/* Fills *value from RtlGenRandom; FALSE when it cannot be bound or fails. Nothing is unloaded:
   the libraries stay for the process, as the program's other late-bound ones do. */
static BOOL GenRandom(uintptr_t* value) {
    const BOOL isProgram = (HMODULE)&__ImageBase == GetModuleHandleW(NULL);
    wchar_t cryptbase[MAX_PATH];
    HMODULE advapi;
    RtlGenRandomFn genRandom;
    /* From Windows 7 on advapi32 forwards the function to cryptbase.dll, which is no known DLL:
       resolving the forward would look for it by name beside the program first. Taken from the
       system directory beforehand, the forward finds it loaded. Older systems have no
       cryptbase.dll and keep the function in advapi32. */
    if (!SystemLibraryPath(L"cryptbase.dll", cryptbase))
        return FALSE;
    if (GetFileAttributesW(cryptbase) != INVALID_FILE_ATTRIBUTES &&
        SystemLibrary(L"cryptbase.dll", isProgram) == NULL)
        return FALSE;
    advapi = SystemLibrary(L"advapi32.dll", isProgram);
    if (advapi == NULL)
        return FALSE;
    genRandom = (RtlGenRandomFn)(void*)GetProcAddress(advapi, "SystemFunction036");
    return genRandom != NULL && genRandom(value, sizeof(*value));
}

/* Mixed from values that differ per start: time, process and thread ids, tick count,
   performance counter and the stack address (randomised where ASLR is on), as the Visual C++
   runtime seeds its /GS cookie; and from the system's random source, the only part that another
   process of the same user cannot observe or guess. When that cannot be bound the guard still
   gets the rest. The lowest byte, the first in memory, stays zero: a string read stops at the
   guard, and a string copy that overruns a buffer cannot write the guard back past its
   terminator. */
__attribute__((constructor(101))) static void SeedStackGuard(void) {
    FILETIME now;
    LARGE_INTEGER counter;
    uintptr_t random = 0;
    GetSystemTimeAsFileTime(&now);
    uintptr_t seed = now.dwLowDateTime ^ now.dwHighDateTime;
    seed ^= GetCurrentProcessId();
    seed ^= (uintptr_t)GetCurrentThreadId() << 16;
    seed ^= GetTickCount();
    if (QueryPerformanceCounter(&counter))
        seed ^= counter.LowPart ^ (uintptr_t)counter.HighPart;
    seed ^= (uintptr_t)&counter;
    if (GenRandom(&random))
        seed ^= random;
    seed &= ~(uintptr_t)0xFF;
    if (seed != 0)
        __stack_chk_guard = seed;
}
