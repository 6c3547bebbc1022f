#pragma once

#include "win/WidePath.h"

class DetectionReport;

// Walks one directory (given without a trailing backslash) for the trojan's libraries: every
// "*.dll" entry that is a file is shown now and then as progress, tested by name and by its first
// section, and listed with its ".cfg" companion; every "*.dll" directory not starting with '.' is
// walked the same way, in UTF-16 and to any depth the file system holds. A directory reached a
// second time (through a link) is not walked again. Bounds, so that a hostile tree cannot hold
// the scan for ever: at most kMostWalkedDirectories directories per walk, and no path longer
// than kLongestWalkedPath units (the file system's own limit is 32,767).
void ScanDirectory(DetectionReport& report, const WidePath& directory);

const unsigned kMostWalkedDirectories = 100000;
const unsigned kLongestWalkedPath = 32000;

