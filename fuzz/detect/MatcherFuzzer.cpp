// The program's code-pattern matcher against the model of its rules kept with the tests: same
// score, same table state.
// The input describes a small table (patterns over hex digits, '?', a lower-case letter and the
// terminator), a threshold, and the data; the program's own table is run over the data too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "detect/CodePatterns.h"
#include "detect/ReferenceMatcher.h"

namespace {

void Compare(const std::uint8_t* data, unsigned length, std::vector<CodePattern> table,
             int threshold) {
    const int count = static_cast<int>(table.size());
    const reference::Outcome expected =
        reference::MatchCodePatterns(data, length, table.data(), count, threshold);
    if (MatchCodePatterns(data, length, table.data(), count, threshold) != expected.score)
        std::abort();
    for (int i = 0; i < count; ++i) {
        if (table[i].matched != expected.matched[i])
            std::abort();
        if (static_cast<std::size_t>(table[i].cursor - table[i].pattern) != expected.cursors[i])
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char kAlphabet[] = "0123456789ABCDEF??8BC9D2c";
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    const int count = 1 + next() % 8;
    const int threshold = static_cast<int>(next() % 100) - 10;
    std::vector<std::string> texts(count);
    std::vector<CodePattern> table(count);
    for (int i = 0; i < count; ++i) {
        const int length = next() % 12;
        for (int c = 0; c < length; ++c)
            texts[i] += kAlphabet[next() % (sizeof(kAlphabet) - 1)];
        table[i] = {static_cast<std::int32_t>(next() % 50) - 10, texts[i].c_str(), 0, nullptr};
    }
    const std::uint8_t* rest = data + at;
    const unsigned length = static_cast<unsigned>(size - at);
    Compare(rest, length, table, threshold);
    Compare(data, static_cast<unsigned>(size),
            std::vector<CodePattern>(CodePatternTable, CodePatternTable + kCodePatternCount),
            kCodePatternThreshold);
    return 0;
}
