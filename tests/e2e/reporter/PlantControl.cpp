// Loads a library by name with the ordinary search order (its own folder first), as a careless
// program would: shows that a library planted in that folder really gets loaded here.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    return LoadLibraryA(argv[1]) != nullptr ? 0 : 1;
}
