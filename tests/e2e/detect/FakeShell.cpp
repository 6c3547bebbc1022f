// A stand-in for the desktop shell, which Wine lacks: owns a window of class "Progman" titled
// "Program Manager" and loads the libraries named on its command line, so a scan inspects them
// as modules of the shell process. Prints "ready" once the window exists; ends on WM_CLOSE.
#include <windows.h>

#include <cstdio>

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
    for (int i = 1; i < argc; ++i) {
        if (LoadLibraryA(argv[i]) == nullptr) {
            std::fprintf(stderr, "cannot load %s: error %lu\n", argv[i], GetLastError());
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
