/* Run-time support for -fstack-protector-strong: the guard value the compiler checks on return
   and the function it calls when the check fails. GCC's libssp has both, but it seeds the guard
   with CryptAcquireContextA from a constructor, which would give every binary an advapi32 import
   at start; the reporter may import only kernel32 and msvcrt. This needs only kernel32 functions
   that Windows XP has. The file itself is compiled without the protector. */
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

/* Windows XP has no random source in kernel32, so the guard is mixed, as the Visual C++ runtime
   seeds its /GS cookie there, from values that differ per start: time, process and thread ids,
   tick count, performance counter and the stack address (randomised where ASLR is on). The
   lowest byte, the first in memory, stays zero: a string read stops at the guard, and a string
   copy that overruns a buffer cannot write the guard back past its terminator. */
__attribute__((constructor(101))) static void SeedStackGuard(void) {
    FILETIME now;
    LARGE_INTEGER counter;
    GetSystemTimeAsFileTime(&now);
    uintptr_t seed = now.dwLowDateTime ^ now.dwHighDateTime;
    seed ^= GetCurrentProcessId();
    seed ^= (uintptr_t)GetCurrentThreadId() << 16;
    seed ^= GetTickCount();
    if (QueryPerformanceCounter(&counter))
        seed ^= counter.LowPart ^ (uintptr_t)counter.HighPart;
    seed ^= (uintptr_t)&counter;
    seed &= ~(uintptr_t)0xFF;
    if (seed != 0)
        __stack_chk_guard = seed;
}
