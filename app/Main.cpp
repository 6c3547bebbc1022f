#include <windows.h>

#include "app/Program.h"
#include "clean/UploadSamples.h"

namespace {

// The program runs elevated, and its folder or the current directory may hold a DLL named like a
// system one: every library loaded from here on comes from the system directory.
// SetDefaultDllDirectories exists from Windows 8 (Vista and 7 with KB2533623); where it is missing
// (XP), at least the current directory leaves the search.
void RestrictLibrarySearch() {
    SetDllDirectoryA("");
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    // kernel32 is always loaded: taking its handle searches nowhere.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesProc setDefault =
        kernel == nullptr ? nullptr
                          : reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
                                GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything else can load a library.
    RestrictLibrarySearch();
#ifdef VORMAK_LOOPBACK_REPORTER
    // The demo's program carries the loopback reporter, which takes the receiver's address from
    // the environment.
    PassToReporter("TARNUP_ENDPOINT");
#endif
    return RunProgram(instance);
}
