// A test library whose file holds none of the trojan's code patterns, with a small scratch area
// in its code section that nothing executes: the stand-in shell writes a pattern there in
// memory only, as user-level code can write into any library the shell has loaded.
#include <windows.h>

asm(".text\n"
    ".globl _vt_scratch_area\n"
    "_vt_scratch_area:\n"
    ".fill 64,1,0xCC\n");

extern "C" unsigned char vt_scratch_area[];

extern "C" __declspec(dllexport) unsigned char* VtScratch() {
    return vt_scratch_area;
}
