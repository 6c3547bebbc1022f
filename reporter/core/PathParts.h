#pragma once
// Display helpers for the file list: folder and name of a path, human-readable sizes.
#include <cstdint>
#include <string>

namespace reporter {

// Splits at the last '\' or '/' that is not the trail byte of a code page 936 character.
// A path without a separator is all name.
void SplitPath(const std::string& path, std::string& folder, std::string& name);

// "512 B", "12.3 KB", "4.0 MB" (1 KB = 1024 bytes).
std::string FormatSize(uint64_t bytes);

}  // namespace reporter
