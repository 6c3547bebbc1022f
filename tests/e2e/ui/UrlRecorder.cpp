// Stands in for a web browser during the link tests: registered as the http protocol's open
// command in the test prefix, it appends the address it was asked to open to a log file, and
// after a tab the file name of the process that started it (which tells the link tests whether
// the program itself or the desktop shell opened the address).
//   url_recorder.exe <log file> <address>
#include <windows.h>

#include <tlhelp32.h>

#include <string>

namespace {

std::string StarterName() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return "?";
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && parent == 0;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    }
    std::string name = "?";
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more && parent != 0;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == parent) {
            name = entry.szExeFile;
            break;
        }
    }
    CloseHandle(snapshot);
    const std::string::size_type slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

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
    const std::string line = std::string(argv[2]) + "\t" + StarterName() + "\n";
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
