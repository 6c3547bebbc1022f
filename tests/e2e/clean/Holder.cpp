// Helper process for the removal scenarios: keeps a file busy the way another program would.
//   clean_e2e_holder open <path> <event>   opens the file without FILE_SHARE_DELETE
//   clean_e2e_holder load <path> <event>   loads the file as a DLL
//   clean_e2e_holder shell <paths> <event> loads each of the '|'-separated files as a DLL and
//                                          stands in for the desktop shell (a "Progman" window
//                                          titled "Program Manager"), so a scan inspects them
// Signals the named event once the file is busy, then waits until it is ended.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    const char* mode = argv[1];
    const char* path = argv[2];
    if (lstrcmpA(mode, "open") == 0) {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 3;
    } else if (lstrcmpA(mode, "load") == 0) {
        if (LoadLibraryA(path) == nullptr)
            return 4;
    } else if (lstrcmpA(mode, "shell") == 0) {
        for (char* next = argv[2]; next != nullptr;) {
            char* bar = strchr(next, '|');
            if (bar != nullptr)
                *bar = '\0';
            if (LoadLibraryA(next) == nullptr)
                return 4;
            next = bar == nullptr ? nullptr : bar + 1;
        }
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "Progman";
        if (!RegisterClassA(&windowClass) ||
            CreateWindowA("Progman", "Program Manager", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                          nullptr, windowClass.hInstance, nullptr) == nullptr) {
            return 6;
        }
    } else {
        return 2;
    }
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready == nullptr)
        return 5;
    SetEvent(ready);
    // Messages are served, so a window of the shell stand-in never holds up anyone who sends it
    // one.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
