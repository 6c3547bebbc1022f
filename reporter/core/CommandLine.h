#pragma once
#include <string>

namespace reporter {

// The longest list path accepted: paths are ANSI strings in MAX_PATH (260) byte buffers.
constexpr size_t kMaxListPath = 259;

// Finds the list path in the reporter's whole command line (as GetCommandLineA gives it: the
// program name, then "/files:<path>"). The path is everything after the colon, spaces included;
// it is not quoted, though a pair of surrounding quotes is tolerated. Returns false when the
// switch is missing, the path is empty or too long.
bool ParseFilesArgument(const std::string& commandLine, std::string& listPath);

}  // namespace reporter
