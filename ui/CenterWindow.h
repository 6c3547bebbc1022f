#pragma once
#include <windows.h>

// Centres a window on a reference window, kept inside the limiting area. With no reference, a
// child window is centred on its parent and any other window on its owner; an owner that is
// hidden or minimised is dropped, and the window is then centred on the desktop work area.
void CenterWindow(HWND window, HWND reference = nullptr);
