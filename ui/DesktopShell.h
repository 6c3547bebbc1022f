#pragma once
// Opening an address for the user from a program that runs elevated. An elevated process's
// HKEY_CLASSES_ROOT includes the user's own classes, so ShellExecute there starts whatever
// handler the user registered, with administrator rights. The desktop shell runs with the
// user's normal rights: asked to open the address, it starts the browser unelevated.
#include <windows.h>

// Whether the process token is elevated, by the token's own elevation query: false where the
// system cannot answer it (Windows before Vista, which has no split token). Never by the
// version: a compatibility layer the user sets makes GetVersion say whatever it names.
bool IsProcessElevated();

// Sets the process-wide COM security, once, right after CoInitialize and before any other COM
// call: no custom marshalling (an object reference another process hands over cannot make this
// process create objects of that process's choosing), callers identify themselves but cannot act
// as this process, and only SYSTEM and Administrators may call into it. False when it could
// not be set; the desktop shell is then never asked.
bool SecureProcessCom();

// Asks the desktop shell (IShellDispatch2::ShellExecute of the desktop's shell window) to open
// the address with the "open" verb, shown normally. COM must be initialised on the thread.
// False when any step fails, including an S_FALSE answer (the shell could not open it), and when
// SecureProcessCom did not succeed; nothing is opened then.
bool OpenWithDesktopShell(const char* address);
