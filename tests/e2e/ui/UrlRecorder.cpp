// Stands in for a web browser during the link tests: registered as the http protocol's open
// command in the test prefix, it appends the address it was asked to open to a log file.
//   url_recorder.exe <log file> <address>
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    // Several recorders may run at once: append under an exclusive open, retrying briefly.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        file = CreateFileA(argv[1], FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            Sleep(20);
    }
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, argv[2], static_cast<DWORD>(std::strlen(argv[2])), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
    return 0;
}
