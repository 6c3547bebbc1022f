#pragma once
#include <windows.h>

// Whether a module loaded in another process carries the trojan's code: its sections are read
// in 4096-byte pieces into chunkBuffer and matched against the code patterns. headerBuffer and
// chunkBuffer hold 4096 bytes each and belong to the caller; process must allow
// ReadProcessMemory. moduleSize is the size of the image the system mapped at moduleBase
// (GetImageMappingSize) and bounds the walk. A module with damaged headers gives 0. Returns 1 when
// the module is marked.
int InspectModuleImage(unsigned char* headerBuffer, unsigned char* chunkBuffer, HANDLE process,
                       const void* moduleBase, DWORD moduleSize);
