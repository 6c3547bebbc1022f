// A test library that carries the trojan's eighth code pattern only inside its .rsrc section,
// which the inspection never reads.
#include <windows.h>

extern "C" __attribute__((section(".rsrc"), used)) const unsigned char vtResourceBytes[] = {
    0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x34, 0x53, 0x56, 0x57, 0x90,
    0x90, 0x8B, 0xC9, 0x8B, 0xD2, 0x8B, 0xC9, 0x8B, 0xD2, 0x90};

extern "C" __declspec(dllexport) int VtMarker() {
    return 2;
}
