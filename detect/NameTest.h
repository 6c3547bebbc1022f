#pragma once

#include "win/WidePath.h"

// True when a file name found in the system directory is named like one of the trojan's
// libraries: read against "addr%shelp.dll", "gd%si32.dll" and "bj%srl.dll" in that order with
// sscanf, it passes at the first template that converts exactly one field.
bool PassesNameTest(const char* name);

// Whether the scan's walk of the system directory enters a folder of this name: the "*.dll"
// mask (the name ends in ".dll", ASCII case folded) and no leading '.'.
bool IsWalkedFolderName(const WidePath& name);
