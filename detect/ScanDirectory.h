#pragma once

class DetectionReport;

// Walks one directory (given without a trailing backslash) for the trojan's libraries: every
// "*.dll" entry that is a file is shown now and then as progress, tested by name and by its first
// section, and listed with its ".cfg" companion; every "*.dll" directory not starting with '.' is
// walked the same way. A directory reached a second time (through a link) is not walked again.
void ScanDirectory(DetectionReport& report, const char* directory);

// True when path names an existing file; a directory of that name does not count.
bool FileExists(const char* path);
