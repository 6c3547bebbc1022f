#pragma once
#include <windows.h>

// The desktop shell: the process owning the window of class "Progman" titled "Program Manager".
// Returns 1 and its process id, or 0 when there is no such window.
int FindShellProcess(DWORD* processId);
