// A stand-in for the desktop shell, which Wine lacks: owns a window of class "Progman" titled
// "Program Manager" and loads the libraries named on its command line, so a scan inspects them
// as modules of the shell process. An argument "library|claimed" also rewrites the library's
// loader entry to claim the path `claimed`, as a hostile shell would. Prints "ready" once the
// window exists; ends on WM_CLOSE.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "detect/LoaderEntry.h"

namespace {

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<testpe::ClaimedLoaderPath> claims(argc);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t bar = argument.find('|');
        const std::string library = argument.substr(0, bar);
        HMODULE module = LoadLibraryA(library.c_str());
        if (module == nullptr) {
            std::fprintf(stderr, "cannot load %s: error %lu\n", library.c_str(), GetLastError());
            return 1;
        }
        if (bar == std::string::npos)
            continue;
        wchar_t claimed[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, argument.c_str() + bar + 1, -1, claimed, MAX_PATH) ==
                0 ||
            !claims[i].Claim(module, claimed)) {
            std::fprintf(stderr, "cannot claim a path for %s\n", library.c_str());
            return 1;
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
