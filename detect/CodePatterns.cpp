#include "detect/CodePatterns.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// For every byte value, which entries' first pair matches it (bit i for entry i), and the
// distinct values that start any entry. While every cursor stands at its pattern's start, a byte
// that starts no entry only sends every cursor back to where it already is, so such bytes are
// passed over in bulk; and at any byte, an entry whose cursor is at its start and whose first
// pair does not match only stays where it is, so only the other entries need comparing.
class StartBytes {
  public:
    explicit StartBytes(const CodePattern* table, int count) {
        std::memset(entries_, 0, sizeof(entries_));
        for (int i = 0; i < count; ++i)
            Add(table[i].pattern, 1u << i);
    }

    std::uint32_t EntriesStartingWith(unsigned char byte) const { return entries_[byte]; }

    // The first position from position on whose byte starts an entry of the set, or length.
    unsigned Next(const unsigned char* data, unsigned position, unsigned length,
                  std::uint32_t entries) const {
#if defined(__SSE2__)
        if (distinctCount_ <= kMaxVectorValues) {
            __m128i values[kMaxVectorValues];
            for (int i = 0; i < distinctCount_; ++i)
                values[i] = _mm_set1_epi8(static_cast<char>(distinct_[i]));
            while (position + 16 <= length) {
                const __m128i block =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + position));
                __m128i hits = _mm_setzero_si128();
                for (int i = 0; i < distinctCount_; ++i)
                    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, values[i]));
                unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
                while (mask != 0) {
                    const unsigned at = position + static_cast<unsigned>(__builtin_ctz(mask));
                    if (entries_[data[at]] & entries)
                        return at;
                    mask &= mask - 1;
                }
                position += 16;
            }
        }
#endif
        while (position < length && !(entries_[data[position]] & entries))
            ++position;
        return position;
    }

  private:
    static const int kMaxVectorValues = 8;

    void Add(const char* pattern, std::uint32_t bit) {
        const int high = DigitValue(pattern[0]);
        const int low = high >= 0 ? DigitValue(pattern[1]) : -1;
        if (high >= 0 && low >= 0) {
            Mark(high * 16 + low, bit);
            return;
        }
        for (int byte = 0; byte < 256; ++byte) {
            if (PairMatches(pattern, static_cast<unsigned char>(byte)))
                Mark(byte, bit);
        }
    }
    void Mark(int byte, std::uint32_t bit) {
        if (entries_[byte] == 0) {
            if (distinctCount_ < 256)
                distinct_[distinctCount_] = static_cast<unsigned char>(byte);
            ++distinctCount_;
        }
        entries_[byte] |= bit;
    }

    std::uint32_t entries_[256];
    unsigned char distinct_[256];  // the first distinctCount_ entries are set
    int distinctCount_ = 0;
};

// The plain walk: every byte against every entry in table order. Used for tables too large for
// the entry bit sets.
int MatchEveryEntry(const unsigned char* data, unsigned length, CodePattern* table, int count,
                    int threshold) {
    unsigned sum = 0;
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

}  // namespace

int MatchCodePatternsPlainly(const unsigned char* data, unsigned length, CodePattern* table,
                             int count, int threshold) {
    for (int i = 0; i < count; ++i) {
        table[i].cursor = table[i].pattern;
        table[i].matched = 0;
    }
    return MatchEveryEntry(data, length, table, count, threshold);
}

int MatchCodePatterns(const unsigned char* data, unsigned length, CodePattern* table, int count,
                      int threshold) {
    for (int i = 0; i < count; ++i) {
        table[i].cursor = table[i].pattern;
        table[i].matched = 0;
    }
    if (length == 0 || count <= 0)
        return 0;
    if (count > 32)
        return MatchEveryEntry(data, length, table, count, threshold);

    // Sums wrap instead of overflowing; the program's weights never come near either end.
    unsigned sum = 0;
    const StartBytes starts(table, count);
    const std::uint32_t all = count == 32 ? 0xFFFFFFFFu : (1u << count) - 1;
    std::uint32_t unmatched = all;
    std::uint32_t moved = 0;  // entries whose cursor is not at their pattern's start
    unsigned position = 0;
    while (position < length) {
        if (moved == 0) {
            position = starts.Next(data, position, length, unmatched);
            if (position == length)
                break;
        }
        const unsigned char byte = data[position++];
        // Entries still to compare with this byte, lowest index first as in table order.
        std::uint32_t pending = (moved | starts.EntriesStartingWith(byte)) & unmatched;
        while (pending != 0) {
            const int i = __builtin_ctz(pending);
            const std::uint32_t bit = 1u << i;
            pending &= pending - 1;
            CodePattern& entry = table[i];
            if (!PairMatches(entry.cursor, byte)) {
                entry.cursor = entry.pattern;
                moved &= ~bit;
                continue;
            }
            entry.cursor += 2;
            moved |= bit;
            if (*entry.cursor != '\0')
                continue;
            entry.matched = 1;
            unmatched &= ~bit;
            sum += static_cast<unsigned>(entry.weight);
            if (static_cast<int>(sum) >= threshold)
                return static_cast<int>(sum);
            // Every cursor goes back to its start; the entries after this one see the same byte
            // again from their first pair.
            for (int j = 0; j < count; ++j)
                table[j].cursor = table[j].pattern;
            moved = 0;
            const std::uint32_t later = i == 31 ? 0 : ~((bit << 1) - 1);
            pending = starts.EntriesStartingWith(byte) & unmatched & later;
        }
    }
    return static_cast<int>(sum);
}

namespace {

// Bytes a pattern's text stands for; 0 for a text that is not whole pairs of characters.
std::size_t PatternBytes(const char* pattern) {
    const std::size_t characters = std::strlen(pattern);
    return characters % 2 == 0 ? characters / 2 : 0;
}

}  // namespace

bool ContainsCodePattern(const unsigned char* data, std::size_t length, const CodePattern* table,
                         int count) {
    for (int i = 0; i < count; ++i) {
        const char* pattern = table[i].pattern;
        const std::size_t bytes = PatternBytes(pattern);
        if (bytes == 0 || bytes > length)
            continue;
        for (std::size_t position = 0; position <= length - bytes; ++position) {
            const char* pair = pattern;
            const unsigned char* byte = data + position;
            while (*pair != '\0' && PairMatches(pair, *byte)) {
                pair += 2;
                ++byte;
            }
            if (*pair == '\0')
                return true;
        }
    }
    return false;
}

std::size_t LongestCodePattern(const CodePattern* table, int count) {
    std::size_t longest = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t bytes = PatternBytes(table[i].pattern);
        if (bytes > longest)
            longest = bytes;
    }
    return longest;
}
