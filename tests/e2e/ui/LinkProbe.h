#pragma once
// What the probe hook, loaded into vormak.exe by a WH_CALLWNDPROCRET hook, records about the
// link labels' messages, in a named shared memory block that the test creates.
#include <windows.h>

#include <cstdint>

namespace probe {

const char kMappingName[] = "VormakLinkProbeLog";
const char kHookProcName[] = "LinkProbeCallWndProcRet";
const char kGetMessageProcName[] = "LinkProbeGetMessage";
const LONG kCapacity = 4096;

// Flags of a record: the thread's cursor right after the message was handled.
const uint32_t kCursorIsHand = 1;   // a 32 x 32 cursor with the hand masks, hot spot (5, 0)
const uint32_t kCursorIsArrow = 2;  // the system arrow

struct Record {
    uint32_t window;  // the window that received the message
    uint32_t message;
    uint32_t wParam;
    int32_t result;
    int32_t controlId;  // of the window, or of the tool's window for tooltip messages
    uint32_t flags;
    char text[120];  // the tool's text for TTM_ADDTOOLA
};

// The mouse and keyboard messages the program's thread took from its queue (WH_GETMESSAGE), so
// that the test knows when its input has arrived. Counters are written after the fields they
// cover.
struct Input {
    int32_t x;  // cursor position of the last mouse message, in screen coordinates
    int32_t y;
    uint32_t lastKeyUp;  // virtual key of the last WM_KEYUP
    volatile LONG mouseMessages;
    volatile LONG buttonDowns;  // left button, client or non-client area, double clicks included
    volatile LONG buttonUps;
    volatile LONG keyUps;
};

struct Log {
    volatile LONG count;  // records claimed; those below kCapacity are filled
    Record records[kCapacity];
    Input input;
};

}  // namespace probe
