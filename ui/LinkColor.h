#pragma once
#include <cstddef>
#include <cstdint>

#include "win/PathCompare.h"

// The registry values "Anchor Color" and "Anchor Color Visited" are read into a zero-filled
// buffer of this size; a value that fills it holds no terminator.
constexpr size_t kLinkColorValueSize = 12;

// Tells whether a byte starts a two-byte character of the ANSI code page.
using LeadBytePredicate = bool (*)(unsigned char byte);

// Parses a link colour value: three decimal numbers "red,green,blue". The text ends at the first
// NUL or after `size` bytes, whichever comes first; nothing past `size` is read. Characters are
// stepped over as CharNextA does in the given code page, so a comma hidden in a two-byte
// character does not count. Each number is read as atoi reads it (leading blanks and a sign,
// digits up to the first other character, clamped to the int range) and keeps its low eight
// bits. Fails, leaving `color` alone, when a comma is missing, when the text after a comma is
// empty, or when the first or second number is -1. On success `color` is
// red | green << 8 | blue << 16, the COLORREF layout.
bool ParseLinkColor(const char* data, size_t size, uint32_t* color,
                    LeadBytePredicate isLeadByte = IsCp936LeadByte);
