/* A program that imports GetTickCount64 from kernel32 (Vista and later), as the posix-thread
   runtime did: tests/imports shows that the XP import check rejects it. Built, never run. */
#include <windows.h>

int main(void) {
    return (int)(GetTickCount64() & 1);
}
