// Helper process for the removal scenarios: keeps a file busy the way another program would.
//   clean_e2e_holder open <path> <event>   opens the file without FILE_SHARE_DELETE
//   clean_e2e_holder load <path> <event>   loads the file as a DLL
// Signals the named event once the file is busy, then waits until it is ended.
#include <windows.h>

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
    } else {
        return 2;
    }
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready == nullptr)
        return 5;
    SetEvent(ready);
    Sleep(INFINITE);
    return 0;
}
