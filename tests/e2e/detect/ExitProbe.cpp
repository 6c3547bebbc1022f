// Probe DLL for the close-during-scan scenario: see ExitProbe.h.
#include "e2e/detect/ExitProbe.h"

namespace {

exitprobe::Block* g_block = nullptr;

// Only a process the hook loaded this into counts, never the test that created the block.
bool IsProgram() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    const char* name = path + length;
    while (name > path && name[-1] != '\\')
        --name;
    return lstrcmpiA(name, "vormak.exe") == 0;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ExitProbeCallWndProc(int code, WPARAM wParam,
                                                                        LPARAM lParam) {
    const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_block != nullptr && g_block->statusPaintMs > 0 &&
        message->message == WM_PAINT && GetDlgCtrlID(message->hwnd) == exitprobe::kStatusBoxId) {
        Sleep(DWORD(g_block->statusPaintMs));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
    if (reason == DLL_PROCESS_ATTACH && IsProgram()) {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, exitprobe::kMappingName);
        if (mapping != nullptr) {
            // The view stays for the life of the process.
            g_block = static_cast<exitprobe::Block*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
            CloseHandle(mapping);
        }
        if (g_block != nullptr)
            InterlockedExchange(&g_block->loadedIn, LONG(GetCurrentProcessId()));
    }
    // A non-null reserved pointer: the process is ending, not unloading the library.
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr && g_block != nullptr)
        InterlockedExchange(&g_block->detachedIn, LONG(GetCurrentProcessId()));
    return TRUE;
}
