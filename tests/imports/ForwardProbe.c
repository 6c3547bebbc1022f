/* A program that imports CryptGenRandom from advapi32 statically, which Windows 7 and later
   forward to cryptsp.dll, no known DLL: tests/imports shows that the known-DLL import check
   rejects it. Built, never run. */
#include <windows.h>
#include <wincrypt.h>

int main(void) {
    BYTE byte = 0;
    return CryptGenRandom(0, 1, &byte) ? byte : 0;
}
