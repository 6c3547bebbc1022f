#include <windows.h>

// Placeholder reporter: accepts the hand-over and exits.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
