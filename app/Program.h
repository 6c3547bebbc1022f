#pragma once
#include <windows.h>

// Runs the program: initialisation, the main dialog, tear-down. Returns the exit code.
int RunProgram(HINSTANCE instance);
