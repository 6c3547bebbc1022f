#pragma once
#include <windows.h>

// The user32 functions the reporter calls, bound at run time. Anything imported at start is
// resolved before the program's first line runs, with its own folder searched first; user32 in
// turn imports libraries that are not protected everywhere (Wine's imports version.dll). So the
// program imports only kernel32 and msvcrt, and takes user32 from the system directory once the
// library search has been restricted.
struct User32Functions {
    decltype(&::DialogBoxParamA) DialogBoxParamA;
    decltype(&::EnableWindow) EnableWindow;
    decltype(&::EndDialog) EndDialog;
    decltype(&::GetDlgItem) GetDlgItem;
    decltype(&::GetWindowLongA) GetWindowLongA;
    decltype(&::KillTimer) KillTimer;
    decltype(&::MessageBoxA) MessageBoxA;
    decltype(&::PostMessageA) PostMessageA;
    decltype(&::SendMessageA) SendMessageA;
    decltype(&::SetFocus) SetFocus;
    decltype(&::SetTimer) SetTimer;
    decltype(&::SetWindowLongA) SetWindowLongA;
    decltype(&::SetWindowTextA) SetWindowTextA;
};

// Loads user32 from the system directory and binds every function; false when one is missing.
bool LoadUser32();
// Valid after LoadUser32 succeeded.
const User32Functions& User32();
