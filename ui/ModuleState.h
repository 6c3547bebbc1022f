#pragma once
#include <windows.h>

class WindowObject;

// Process-wide state of the program module: the instance and the hand-over of a window object to
// the window it is about to create. An object registers itself under the creating thread's id
// just before the window is created; the window's first message then binds it (see WindowObject).
class ModuleState {
  public:
    static void Initialize(HINSTANCE instance);
    static void Shutdown();

    static HINSTANCE Instance();

    static void RegisterPendingObject(WindowObject* object);
    // Returns and forgets the object registered by the calling thread, or nullptr.
    static WindowObject* TakePendingObject();
};
