#include "detect/CodePatterns.h"

#include <cstring>

CodePattern CodePatternTable[kCodePatternCount] = {
    {30,
     "535633F690909090908BC98BD28BC98BD290908BC98BD28BC98BD290908BC990908BC0908BC9909090908BC990"
     "8BD28BD29090908BC98BD2908BDB8BD290",
     0, nullptr},
    {30, "C645D48BC645D54EC645D624C645D785C645D8C9C645D974C645DA0AC645DB8BC645DC01E8480E0000", 0,
     nullptr},
    {30, "57C745FC0000000090909090908BC98BD28BC98BD290908BC98BD28BC98BD2", 0, nullptr},
    {30,
     "C644242C3F8854242E884C242F885C2431C64424327588542433884C2434885C2436C64424377088542438884C"
     "2439885C243BC644243C70C644243D69C6",
     0, nullptr},
    {30,
     "C645EA6EC645EB69C645EC66C645ED668845EEC645EF728855F08845F1884DF28845F3885DF4C645DC49C645DD"
     "72C645DE69C645DF738855E08845E1884D",
     0, nullptr},
    {30,
     "C645DD64C645DE61C645DF73C645E068C645E161C645E26FC645E379885DE4C645E600C645E853C645E94FC645"
     "EA46C645EB54C645EC57C645ED418855EEC645F162C645F26FC645F36C885DF4C645F600FFD6",
     0, nullptr},
    {30,
     "C645E36E885DE6C645E872885DEBC645ED6CC645F064C645F26DC645F564C645F76DC645F862885DFBC645FC00E8",
     0, nullptr},
    {30, "558BEC83EC3453565790908BC98BD28BC98BD290", 0, nullptr},
};

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Whether the character pair at pair matches byte. The second character is looked at only after
// the first matched, so a cursor on the terminating zero never reads past it; a zero or a
// lower-case letter matches no nibble.
inline bool PairMatches(const char* pair, unsigned char byte) {
    const char high = pair[0];
    if (high != '?' && high != kHexDigits[byte >> 4])
        return false;
    const char low = pair[1];
    return low == '?' || low == kHexDigits[byte & 0x0F];
}

int DigitValue(char digit) {
    for (int value = 0; value < 16; ++value) {
        if (kHexDigits[value] == digit)
            return value;
    }
    return -1;
}

// Marks every byte value that the pattern's first pair matches.
void MarkFirstPair(const char* pattern, bool* startsMatch) {
    const int high = DigitValue(pattern[0]);
    const int low = high >= 0 ? DigitValue(pattern[1]) : -1;
    if (high >= 0 && low >= 0) {
        startsMatch[high * 16 + low] = true;
        return;
    }
    for (int byte = 0; byte < 256; ++byte) {
        if (PairMatches(pattern, static_cast<unsigned char>(byte)))
            startsMatch[byte] = true;
    }
}

}  // namespace

int MatchCodePatterns(const unsigned char* data, unsigned length, CodePattern* table, int count,
                      int threshold) {
    for (int i = 0; i < count; ++i) {
        table[i].cursor = table[i].pattern;
        table[i].matched = 0;
    }
    // Sums wrap instead of overflowing; the program's weights never come near either end.
    unsigned sum = 0;
    if (length == 0)
        return 0;

    // While every cursor stands at its pattern's start, a byte that no first pair matches only
    // sends every cursor back to where it already is, so such bytes are passed over in bulk.
    bool startsMatch[256];
    std::memset(startsMatch, 0, sizeof(startsMatch));
    for (int i = 0; i < count; ++i)
        MarkFirstPair(table[i].pattern, startsMatch);

    unsigned position = 0;
    bool anyCursorMoved = false;
    while (position < length) {
        if (!anyCursorMoved) {
            while (position + 4 <= length &&
                   !(startsMatch[data[position]] | startsMatch[data[position + 1]] |
                     startsMatch[data[position + 2]] | startsMatch[data[position + 3]])) {
                position += 4;
            }
            while (position < length && !startsMatch[data[position]])
                ++position;
            if (position == length)
                break;
        }
        const unsigned char byte = data[position++];
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
        anyCursorMoved = false;
        for (int i = 0; i < count; ++i) {
            if (table[i].cursor != table[i].pattern) {
                anyCursorMoved = true;
                break;
            }
        }
    }
    return static_cast<int>(sum);
}
