// A test library whose code section holds one of the trojan's code patterns (the eighth), as a
// scan must find it in a module of the shell process. The bytes are never executed.
#include <windows.h>

asm(".text\n"
    ".globl _vt_pattern_bytes\n"
    "_vt_pattern_bytes:\n"
    ".byte 0x55,0x8B,0xEC,0x83,0xEC,0x34,0x53,0x56,0x57,0x90\n"
    ".byte 0x90,0x8B,0xC9,0x8B,0xD2,0x8B,0xC9,0x8B,0xD2,0x90\n");

extern "C" __declspec(dllexport) int VtMarker() {
    return 1;
}
