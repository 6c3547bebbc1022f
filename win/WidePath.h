#pragma once
// Paths the program deletes, holds or starts, in UTF-16. An ANSI path is converted once, as a
// whole, and only then split: a split on '\' bytes depends on the code page's lead bytes (in code
// page 936 the byte after 0xE9 is a trail byte, in code page 1252 0xE9 is "é" and the '\' after
// it a separator). No Win32 here; the conversions live in win/WideText.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::u16string WidePath;

// "X:\folder\...\name" split on u'\\'.
struct DrivePathParts {
    char16_t drive = 0;             // the letter, as written
    std::vector<WidePath> folders;  // below the drive's root, outermost first
    WidePath name;                  // the file's own name
};

// Splits a drive path. False for anything else: no "X:\" at the start, an empty part (two
// separators in a row, a trailing separator), a part "." or "..", or a part holding '/', ':'
// (a stream name) or a character below 0x20.
bool SplitDrivePath(const WidePath& path, DrivePathParts& parts);

// Whether two names are equal with ASCII letters folded and every other unit compared as is.
bool EqualsAsciiNoCase(const WidePath& name, const char* ascii);

// ASCII text widened unit by unit.
WidePath WidenAscii(const char* ascii);

// The form of a path to hand to the wide file functions: as it is while it is short enough for
// them, else the "\\?\" form ("\\?\UNC\" for "\\server\share\..."), which takes up to 32,767
// units but is used as written (no "." or "/" resolved), so only paths built from names the
// file system gave are passed that way.
WidePath LongPathForm(const WidePath& path);
