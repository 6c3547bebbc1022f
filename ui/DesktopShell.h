#pragma once
// Opening an address for the user from a program that runs elevated. An elevated process's
// HKEY_CLASSES_ROOT includes the user's own classes, so ShellExecute there starts whatever
// handler the user registered, with administrator rights. The desktop shell runs with the
// user's normal rights: asked to open the address, it starts the browser unelevated.
#include <windows.h>

// Whether the process token is elevated (Vista and later; false where the system cannot say,
// as on Windows XP).
bool IsProcessElevated();

// Asks the desktop shell (IShellDispatch2::ShellExecute of the desktop's shell window) to open
// the address with the "open" verb, shown normally. COM must be initialised on the thread.
// False when any step fails; nothing is opened then.
bool OpenWithDesktopShell(const char* address);
