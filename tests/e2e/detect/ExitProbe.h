#pragma once
// What the exit probe, loaded into vormak.exe by a WH_CALLWNDPROC hook, records about how the
// process ended, in a named shared memory block that the test creates: the libraries' detach
// code runs when the program returns from its main function, and not when it terminates itself
// (which it does when the window is closed during a scan). Asked to, the probe also makes each
// paint of the status box slow, as on a display that repaints slowly.
#include <windows.h>

namespace exitprobe {

const char kMappingName[] = "VormakExitProbe";
const char kHookProcName[] = "ExitProbeCallWndProc";

struct Block {
    volatile LONG loadedIn;    // id of the process the probe was loaded into by the hook
    volatile LONG detachedIn;  // id of that process once its ending ran the detach code
    volatile LONG statusPaintMs;  // how long each WM_PAINT of the status box is held up
};

const int kStatusBoxId = 1003;

}  // namespace exitprobe
