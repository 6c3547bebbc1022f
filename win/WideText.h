#pragma once
// Exact conversions between the ANSI code page and UTF-16. A conversion that would change a
// character (an invalid byte sequence, or a best-fit substitute such as '?' or a look-alike
// letter for a character the code page lacks) fails instead, so a converted path always names
// the file its original names.
#include <windows.h>

#include <string>

#include "win/WidePath.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

inline const wchar_t* WideChars(const WidePath& path) {
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

// False when the text does not convert, or converting back does not give the same bytes.
bool AnsiToWideExact(const char* text, WidePath& wide);
// False when the text holds a character the ANSI code page cannot represent exactly.
bool WideToAnsiExact(const wchar_t* text, std::string& ansi);
