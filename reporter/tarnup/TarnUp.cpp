#include <windows.h>

// Placeholder upload library.
extern "C" __declspec(dllexport) int TarnUpVersion() {
    return 1;
}
