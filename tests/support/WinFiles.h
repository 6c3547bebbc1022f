#pragma once
// File helpers shared by the Win32 tests: whole-file reads and writes, folder removal, paths.
#include <windows.h>

#include <string>
#include <vector>

// Creates or replaces the file with exactly these bytes.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);
// Reads the whole file, sharing it with every other opener. False when it cannot be opened or
// a read fails.
bool ReadWholeFile(const std::string& path, std::string* bytes);
// True for an existing file; a directory of that name does not count.
bool FileExists(const std::string& path);
// Removes a folder and everything in it, read-only files included.
void RemoveTree(const std::string& path);
// Wide form of a code page 936 string.
std::wstring Widen(const std::string& text);
// Windows form of a Unix path of the build (Wine maps the Unix root to drive Z:); a Windows path
// is returned unchanged.
std::string WindowsPathOf(const std::string& path);

// Wine only: runs a Unix program (Wine starts native programs given as Z:\ paths); true when it
// could be started. Callers judge its success by the outcome on disk.
bool RunUnixCommand(const std::string& commandLine);
// Wine only: the Unix path of a Windows path, or empty.
std::string UnixPath(const std::string& windowsPath);
// Waits (up to 5 s) until the path exists, or no longer does.
bool WaitForAttributes(const std::string& path, bool present);
