#pragma once
// What the exit probe, loaded into vormak.exe by a WH_CALLWNDPROC hook, records about how the
// process ended, in a named shared memory block that the test creates: the libraries' detach
// code runs when the program returns from its main function, and not when it terminates itself
// (which it does when the window is closed during a scan).
#include <windows.h>

namespace exitprobe {

const char kMappingName[] = "VormakExitProbe";
const char kHookProcName[] = "ExitProbeCallWndProc";

struct Block {
    volatile LONG loadedIn;    // id of the process the probe was loaded into by the hook
    volatile LONG detachedIn;  // id of that process once its ending ran the detach code
};

}  // namespace exitprobe
