#pragma once
// A model of the code-pattern matcher's rules, built another way than the program's matcher:
// instead of stepping every entry through every byte, it follows each pattern alone up to the
// byte where it would complete, and goes from one completion to the next. Between two
// completions the entries do not affect each other, so the earliest completion (the first in
// table order among those on the same byte) is the one that happens; it resets every cursor,
// and the entries then go on from there, each from the byte it has not yet been compared with.
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "detect/CodePatterns.h"

namespace reference {

// What one call leaves behind: the score and, for every entry, its matched flag and how many
// characters its cursor stands past the pattern's start.
struct Outcome {
    int score = 0;
    std::vector<int> matched;
    std::vector<std::size_t> cursors;
};

// Whether the byte, written as two upper-case hexadecimal digits, fits the two characters.
inline bool PairFits(const char* pair, unsigned char byte) {
    static const std::array<std::array<char, 3>, 256> kText = [] {
        std::array<std::array<char, 3>, 256> text{};
        for (int value = 0; value < 256; ++value)
            std::snprintf(text[value].data(), 3, "%02X", value);
        return text;
    }();
    const char* digits = kText[byte].data();
    return (pair[0] == '?' || pair[0] == digits[0]) && (pair[1] == '?' || pair[1] == digits[1]);
}

// One pattern followed alone over the bytes [from, end).
struct Alone {
    bool completes = false;
    unsigned at = 0;         // the byte it completes on
    unsigned openPairs = 0;  // when it does not: pairs matched when the bytes ran out
};

// The pattern is tried at successive start bytes. An attempt matches as many leading pairs as
// fit the bytes from its start, and completes once that is every pair of a pattern made of whole
// pairs (a trailing half pair, or an empty pattern, leaves only the terminator to compare, which
// no byte fits). Otherwise the attempt fails on a byte, and the next one starts after that byte:
// a byte that broke an attempt never starts one.
inline Alone FirstCompletion(const unsigned char* data, unsigned end, unsigned from,
                             const char* pattern) {
    const std::size_t characters = std::strlen(pattern);
    const unsigned wholePairs = static_cast<unsigned>(characters / 2);
    const bool canComplete = characters > 0 && characters % 2 == 0;
    Alone alone;
    for (unsigned start = from; start < end;) {
        unsigned fitted = 0;
        while (fitted < wholePairs && start + fitted < end &&
               PairFits(pattern + 2 * fitted, data[start + fitted])) {
            ++fitted;
        }
        if (canComplete && fitted == wholePairs) {
            alone.completes = true;
            alone.at = start + fitted - 1;
            return alone;
        }
        if (start + fitted == end) {
            alone.openPairs = fitted;
            return alone;
        }
        start += fitted + 1;
    }
    return alone;
}

inline Outcome MatchCodePatterns(const unsigned char* data, unsigned length,
                                 const CodePattern* table, int count, int threshold) {
    const std::size_t entries = count > 0 ? static_cast<std::size_t>(count) : 0;
    Outcome outcome;
    outcome.matched.assign(entries, 0);
    outcome.cursors.assign(entries, 0);
    if (length == 0)
        return outcome;
    // The first byte each unmatched entry has still to be compared with.
    std::vector<unsigned> resume(entries, 0);
    int sum = 0;
    for (;;) {
        std::size_t winner = entries;
        unsigned byte = 0;
        for (std::size_t i = 0; i < entries; ++i) {
            if (outcome.matched[i])
                continue;
            const Alone alone = FirstCompletion(data, length, resume[i], table[i].pattern);
            if (alone.completes && (winner == entries || alone.at < byte)) {
                winner = i;
                byte = alone.at;
            }
        }
        if (winner == entries) {
            for (std::size_t i = 0; i < entries; ++i) {
                if (!outcome.matched[i]) {
                    outcome.cursors[i] =
                        2 * FirstCompletion(data, length, resume[i], table[i].pattern).openPairs;
                }
            }
            outcome.score = sum;
            return outcome;
        }
        outcome.matched[winner] = 1;
        sum += table[winner].weight;
        if (sum >= threshold) {
            // The call stops inside the byte: the entries before the winner have been compared
            // with it, those after it have not, and the winner stands on its terminator.
            for (std::size_t i = 0; i < entries; ++i) {
                if (!outcome.matched[i]) {
                    const unsigned end = i < winner ? byte + 1 : byte;
                    outcome.cursors[i] =
                        2 * FirstCompletion(data, end, resume[i], table[i].pattern).openPairs;
                }
            }
            outcome.cursors[winner] = std::strlen(table[winner].pattern);
            outcome.score = sum;
            return outcome;
        }
        // Every cursor is back at its start. The entries before the winner have already been
        // compared with this byte; the ones after it compare it again from their first pair.
        for (std::size_t i = 0; i < entries; ++i)
            resume[i] = i < winner ? byte + 1 : byte;
    }
}

}  // namespace reference
