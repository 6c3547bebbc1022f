#pragma once
// Names the system gives in UTF-16 (mapped files, final paths), turned into the program's ANSI
// paths only when the ANSI text names the same file.
#include <windows.h>

#include <cstddef>

// Converts wide (NUL-terminated) to codePage without best-fit characters: a character the code
// page lacks is not replaced by a look-alike (fullwidth U+FF3C by '\', say), so the result
// never names another file. False, with ansi empty, when a character does not convert exactly
// or the result with its terminator does not fit `size` bytes. codePage is normally CP_ACP.
bool WideToAnsiExactly(UINT codePage, const wchar_t* wide, char* ansi, std::size_t size);
