// A stand-in for the desktop shell, which Wine lacks: owns a window of class "Progman" titled
// "Program Manager" and loads the libraries named on its command line, so a scan inspects them
// as modules of the shell process. Each argument is a library path followed by options, each
// after a '|', as a hostile shell would use them:
//   path=<p>   rewrites the library's loader entry to claim the path <p>;
//   size=<n>   rewrites the loader entry's size to <n> (decimal or 0x hex);
//   write      writes the trojan's eighth code pattern into the library's memory, at the
//              scratch area its export VtScratch returns; the file stays untouched.
// Prints "ready" once the window exists; ends on WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "detect/LoaderEntry.h"

namespace {

// As text, so that this program's own image never holds the bytes a scan looks for.
const char kPatternHex[] = "558BEC83EC3453565790908BC98BD28BC98BD290";

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool WritePatternInto(HMODULE module) {
    typedef unsigned char* (*ScratchFn)();
    ScratchFn scratch =
        reinterpret_cast<ScratchFn>(reinterpret_cast<void*>(GetProcAddress(module, "VtScratch")));
    if (scratch == nullptr)
        return false;
    unsigned char bytes[sizeof(kPatternHex) / 2];
    for (size_t i = 0; i < sizeof(bytes); ++i) {
        const char pair[3] = {kPatternHex[2 * i], kPatternHex[2 * i + 1], '\0'};
        bytes[i] = static_cast<unsigned char>(std::strtoul(pair, nullptr, 16));
    }
    unsigned char* target = scratch();
    DWORD previous = 0;
    if (!VirtualProtect(target, sizeof(bytes), PAGE_EXECUTE_READWRITE, &previous))
        return false;
    std::memcpy(target, bytes, sizeof(bytes));
    VirtualProtect(target, sizeof(bytes), previous, &previous);
    return true;
}

bool ApplyOption(HMODULE module, const std::string& option, testpe::ClaimedLoaderPath& claim) {
    if (option == "write")
        return WritePatternInto(module);
    if (option.compare(0, 5, "size=") == 0)
        return claim.ClaimSize(module, std::strtoul(option.c_str() + 5, nullptr, 0));
    if (option.compare(0, 5, "path=") == 0) {
        wchar_t claimed[MAX_PATH];
        return MultiByteToWideChar(CP_ACP, 0, option.c_str() + 5, -1, claimed, MAX_PATH) != 0 &&
               claim.Claim(module, claimed);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The libraries by their UTF-16 names, which may hold letters the ANSI code page lacks.
    int wideCount = 0;
    wchar_t** wideArgv = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    if (wideArgv == nullptr || wideCount != argc)
        return 1;
    std::vector<testpe::ClaimedLoaderPath> claims(argc);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        size_t bar = argument.find('|');
        const std::string library = argument.substr(0, bar);
        const std::wstring wideArgument = wideArgv[i];
        HMODULE module = LoadLibraryW(wideArgument.substr(0, wideArgument.find(L'|')).c_str());
        if (module == nullptr) {
            std::fprintf(stderr, "cannot load %s: error %lu\n", library.c_str(), GetLastError());
            return 1;
        }
        while (bar != std::string::npos) {
            const size_t next = argument.find('|', bar + 1);
            const std::string option = argument.substr(bar + 1, next - bar - 1);
            if (!ApplyOption(module, option, claims[i])) {
                std::fprintf(stderr, "cannot apply %s to %s\n", option.c_str(), library.c_str());
                return 1;
            }
            bar = next;
        }
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ShellWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Progman";
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowA("Progman", "Program Manager", WS_OVERLAPPED, 0, 0, 100, 100,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
