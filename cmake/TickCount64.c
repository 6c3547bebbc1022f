/* GetTickCount64 for Windows XP. The posix-thread runtime (winpthreads) calls GetTickCount64,
   which kernel32 has only from Vista on, and a binary that imports it does not start on XP. This
   file defines the import slot itself (the pointer every dllimport call goes through), so the
   linker takes no GetTickCount64 import from kernel32: the first call binds the real function at
   run time, or, where kernel32 lacks it, a 64-bit count extended from GetTickCount. */
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0501 /* keeps the SDK's own dllimport declaration of GetTickCount64 out */
#include <windows.h>

#include <stdint.h>

typedef ULONGLONG(WINAPI* TickCount64Proc)(void);

/* Milliseconds since start in 64 bits, given the previous result and the current 32-bit count.
   The 32-bit count wraps after 49.7 days; a count lower than the last one seen means it wrapped
   once in between, so the calls must come at least once per wrap period, which the runtime's
   waits and timeouts do. */
uint64_t ExtendTickCount(uint64_t previous, uint32_t now) {
    uint64_t high = previous & 0xFFFFFFFF00000000ull;
    if (now < (uint32_t)previous)
        high += 0x100000000ull;
    return high | now;
}

static uint64_t lastTickCount64;

/* The XP path: one 64-bit state swapped atomically, so concurrent callers never step it back. */
ULONGLONG WINAPI TickCount64FromTickCount(void) {
    uint64_t previous = __atomic_load_n(&lastTickCount64, __ATOMIC_ACQUIRE);
    uint64_t next;
    do {
        next = ExtendTickCount(previous, GetTickCount());
        if (next <= previous)
            return previous;
    } while (!__atomic_compare_exchange_n(&lastTickCount64, &previous, next, 0, __ATOMIC_ACQ_REL,
                                          __ATOMIC_ACQUIRE));
    return next;
}

static ULONGLONG WINAPI BindTickCount64(void);

/* The import slot for GetTickCount64 (i686 decorates it as __imp__GetTickCount64@0). It starts at
   the binder, which replaces it on the first call. */
TickCount64Proc tickCount64Slot __asm__("__imp__GetTickCount64@0") = BindTickCount64;

static ULONGLONG WINAPI BindTickCount64(void) {
    TickCount64Proc bound = TickCount64FromTickCount;
    /* kernel32 is always loaded; its handle needs no load from any search path. */
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel != NULL) {
        TickCount64Proc real =
            (TickCount64Proc)(void (*)(void))GetProcAddress(kernel, "GetTickCount64");
        if (real != NULL)
            bound = real;
    }
    __atomic_store_n(&tickCount64Slot, bound, __ATOMIC_RELEASE);
    return bound();
}

/* Direct (non-dllimport) calls link against this name; without it such a call would pull in the
   import library's member, which defines the slot a second time. */
ULONGLONG WINAPI GetTickCount64(void) {
    return __atomic_load_n(&tickCount64Slot, __ATOMIC_ACQUIRE)();
}
