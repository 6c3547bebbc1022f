#include "detect/ShellProcess.h"

int FindShellProcess(DWORD* processId) {
    HWND shell = FindWindowA("Progman", "Program Manager");
    if (shell == nullptr)
        return 0;
    *processId = 0;
    GetWindowThreadProcessId(shell, processId);
    return 1;
}
