#pragma once

#include <string_view>

#include "win/WidePath.h"

// True when a file name found in the system directory is named like one of the trojan's
// libraries: it starts with "addr", "gd" or "bj" (lower case, as written) and, after any blanks
// (space, tab, line and page breaks), at least one other character follows.
bool PassesNameTest(std::u16string_view name);

// Whether the scan's walk of the system directory enters a folder of this name: the "*.dll"
// mask (the name ends in ".dll", ASCII case folded) and no leading '.'.
bool IsWalkedFolderName(const WidePath& name);
