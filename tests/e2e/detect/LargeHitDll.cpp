// A test library of more than 0x40000 bytes in memory whose code holds the trojan's eighth code
// pattern: modules this large are shown in the progress but never inspected.
#include <windows.h>

asm(".text\n"
    ".globl _vt_large_pattern_bytes\n"
    "_vt_large_pattern_bytes:\n"
    ".byte 0x55,0x8B,0xEC,0x83,0xEC,0x34,0x53,0x56,0x57,0x90\n"
    ".byte 0x90,0x8B,0xC9,0x8B,0xD2,0x8B,0xC9,0x8B,0xD2,0x90\n");

// Initialised, so the image really holds it.
extern "C" {
__declspec(dllexport) unsigned char vtPadding[0x48000] = {1};
}

extern "C" __declspec(dllexport) int VtMarker() {
    return vtPadding[0];
}
