#pragma once
// The code-pattern matcher written the plain way, one byte and one entry at a time. The
// program's matcher skips ahead where it can; it must give the same score and leave the table
// in the same state as this one for every input.
#include "detect/CodePatterns.h"

namespace reference {

inline bool PairMatches(const char* pair, unsigned char byte) {
    static const char kHex[] = "0123456789ABCDEF";
    if (pair[0] != '?' && pair[0] != kHex[byte >> 4])
        return false;
    return pair[1] == '?' || pair[1] == kHex[byte & 0x0F];
}

inline int MatchCodePatterns(const unsigned char* data, unsigned length, CodePattern* table,
                             int count, int threshold) {
    for (int i = 0; i < count; ++i) {
        table[i].cursor = table[i].pattern;
        table[i].matched = 0;
    }
    unsigned sum = 0;
    if (length == 0)
        return 0;
    for (unsigned position = 0; position < length; ++position) {
        const unsigned char byte = data[position];
        for (int i = 0; i < count; ++i) {
            CodePattern& entry = table[i];
            if (entry.matched)
                continue;
            if (!PairMatches(entry.cursor, byte)) {
                entry.cursor = entry.pattern;
                continue;
            }
            entry.cursor += 2;
            if (*entry.cursor != '\0')
                continue;
            entry.matched = 1;
            sum += static_cast<unsigned>(entry.weight);
            if (static_cast<int>(sum) >= threshold)
                return static_cast<int>(sum);
            for (int j = 0; j < count; ++j)
                table[j].cursor = table[j].pattern;
        }
    }
    return static_cast<int>(sum);
}

}  // namespace reference
