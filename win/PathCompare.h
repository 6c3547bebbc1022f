#pragma once

#include "win/WidePath.h"

// Case-insensitive comparison of two code page 936 strings: ASCII letters are folded, a
// double-byte character is compared as a whole, so a trail byte is never folded as a letter.
// On Windows this is the CRT's _mbsicmp; elsewhere an equivalent for code page 936.
int ComparePathsNoCase(const char* a, const char* b);

// The code page 936 comparison used off Windows, exposed for tests.
int CompareCp936NoCase(const char* a, const char* b);

// True when byte is a lead byte of a double-byte character in code page 936.
inline bool IsCp936LeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// Whether two UTF-16 paths name the same file as the file system compares names: ordinal, case
// folded through the system's upper-case table (RtlCompareUnicodeString, which Windows XP has;
// CompareStringOrdinal only came with Vista). Off Windows ASCII letters alone are folded.
bool SameWidePathNoCase(const WidePath& a, const WidePath& b);
