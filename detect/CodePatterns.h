#pragma once
#include <cstddef>
#include <cstdint>

// One code pattern of the trojan: the bytes as upper-case hexadecimal text, two characters per
// byte, high nibble first, '?' matching any nibble. The patterns stay text so that this
// program's own memory never holds the byte sequences it looks for.
struct CodePattern {
    std::int32_t weight;
    const char* pattern;
    std::uint8_t matched;  // set once the pattern has matched in the current call
    const char* cursor;    // next character pair to compare
};

const int kCodePatternCount = 8;
const int kCodePatternThreshold = 30;

// The trojan's patterns. Mutable run-time state (matched, cursor): one thread at a time.
extern CodePattern CodePatternTable[kCodePatternCount];

// Score of one buffer against the table. Every entry keeps one cursor; a mismatching byte sends
// the cursor back to the pattern's start without comparing that byte with the start again; a
// completed pattern counts once, resets every cursor, and the entries after it still see the
// same byte. Returns as soon as the sum reaches threshold.
int MatchCodePatterns(const unsigned char* data, unsigned length, CodePattern* table, int count,
                      int threshold);

// The same score found the plain way, every byte against every entry in table order: what
// MatchCodePatterns does for tables too large for its entry bit sets, and the yardstick the
// benchmarks measure it against.
int MatchCodePatternsPlainly(const unsigned char* data, unsigned length, CodePattern* table,
                             int count, int threshold);

// Whether any entry's bytes occur anywhere in data, each position tried against every entry
// (no cursors, nothing written to the table): for files, where the question is only whether a
// pattern is there. An entry whose pattern is empty or not whole pairs never occurs.
bool ContainsCodePattern(const unsigned char* data, std::size_t length, const CodePattern* table,
                         int count);

// Length in bytes of the table's longest pattern.
std::size_t LongestCodePattern(const CodePattern* table, int count);
