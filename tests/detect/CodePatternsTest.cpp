// The code-pattern matcher: the rules the detection relies on, and the program's matcher against
// a model of those rules on random and adversarial inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "detect/CodePatterns.h"
#include "detect/PeBuilder.h"
#include "detect/ReferenceMatcher.h"

namespace {

using Bytes = std::vector<unsigned char>;

int Match(const Bytes& data, CodePattern* table, int count, int threshold = 30) {
    return MatchCodePatterns(data.data(), static_cast<unsigned>(data.size()), table, count,
                             threshold);
}

int MatchProgramTable(const Bytes& data) {
    return Match(data, CodePatternTable, kCodePatternCount, kCodePatternThreshold);
}

TEST(CodePatternTable, HoldsEightPatternsOfWeight30InUpperCaseHex) {
    const unsigned lengths[] = {62, 41, 31, 62, 62, 83, 46, 20};
    for (int i = 0; i < kCodePatternCount; ++i) {
        const char* pattern = CodePatternTable[i].pattern;
        EXPECT_EQ(CodePatternTable[i].weight, 30);
        EXPECT_EQ(std::strlen(pattern), 2 * lengths[i]) << i;
        EXPECT_EQ(std::strspn(pattern, "0123456789ABCDEF"), std::strlen(pattern)) << i;
    }
}

TEST(CodePatternTable, EachPatternAloneInAPieceScores30) {
    for (int i = 0; i < kCodePatternCount; ++i) {
        Bytes piece(4096, 0x00);
        const Bytes code = testpe::FromHex(CodePatternTable[i].pattern);
        std::memcpy(piece.data() + 1000, code.data(), code.size());
        EXPECT_EQ(MatchProgramTable(piece), 30) << "pattern " << i + 1;
    }
}

TEST(CodePatternTable, PatternSplitAcrossTwoPiecesIsNotFound) {
    const Bytes code = testpe::FromHex(CodePatternTable[7].pattern);
    Bytes first(4096, 0x00);
    Bytes second(4096, 0x00);
    std::memcpy(first.data() + 4096 - 10, code.data(), 10);
    std::memcpy(second.data(), code.data() + 10, code.size() - 10);
    EXPECT_EQ(MatchProgramTable(first), 0);
    EXPECT_EQ(MatchProgramTable(second), 0);
}

class SinglePattern : public testing::Test {
  protected:
    int Run(const Bytes& data, const char* pattern = "8BC98BD2") {
        table[0] = {30, pattern, 0, nullptr};
        return Match(data, table, 1);
    }
    CodePattern table[1];
};

TEST_F(SinglePattern, FoundAfterAnUnrelatedByte) {
    EXPECT_EQ(Run({0x00, 0x8B, 0xC9, 0x8B, 0xD2}), 30);
}

TEST_F(SinglePattern, MismatchingByteIsNotComparedWithTheStartAgain) {
    EXPECT_EQ(Run({0x8B, 0xC9, 0x8B, 0xC9, 0x8B, 0xD2}), 0);
    EXPECT_EQ(Run({0x8B, 0x8B, 0xC9, 0x8B, 0xD2}), 0);
}

TEST_F(SinglePattern, EmptyBufferScoresZeroAndResetsTheCursor) {
    table[0] = {30, "8BC9", 1, "C9"};
    EXPECT_EQ(MatchCodePatterns(nullptr, 0, table, 1, 30), 0);
    EXPECT_EQ(table[0].cursor, table[0].pattern);
    EXPECT_EQ(table[0].matched, 0);
}

TEST_F(SinglePattern, QuestionMarksMatchAnyNibble) {
    EXPECT_EQ(Run({0x8B, 0x12, 0x8B, 0xD2}, "8B??8BD2"), 30);
    EXPECT_EQ(Run({0x8B, 0xF9, 0x8B, 0xD2}, "8B?98BD2"), 30);
    EXPECT_EQ(Run({0x8B, 0xF8, 0x8B, 0xD2}, "8B?98BD2"), 0);
}

TEST_F(SinglePattern, LowerCaseHexNeverMatches) {
    EXPECT_EQ(Run({0x8B, 0xC9, 0x8B, 0xD2}, "8bc98bd2"), 0);
}

TEST_F(SinglePattern, OddLengthOrEmptyPatternNeverCompletes) {
    EXPECT_EQ(Run({0x8B, 0xC9, 0x80}, "8BC98"), 0);
    EXPECT_EQ(Run({0x00, 0x8B}, ""), 0);
}

TEST(CodePatternsMatcher, PatternCountsOncePerCall) {
    CodePattern table[1] = {{10, "AABB", 0, nullptr}};
    EXPECT_EQ(Match({0xAA, 0xBB, 0xAA, 0xBB, 0xAA, 0xBB}, table, 1), 10);
    EXPECT_EQ(table[0].matched, 1);
}

TEST(CodePatternsMatcher, ReturnsAtOnceWhenTheThresholdIsReached) {
    CodePattern table[2] = {{20, "AA", 0, nullptr}, {20, "BB", 0, nullptr}};
    EXPECT_EQ(Match({0xAA, 0xBB, 0xAA}, table, 2, 40), 40);
    EXPECT_EQ(Match({0xAA, 0xBB}, table, 2, 100), 40);
    EXPECT_EQ(Match({0xAA}, table, 2, 20), 20);
    // The early return leaves the second entry untouched.
    EXPECT_EQ(table[1].matched, 0);
}

TEST(CodePatternsMatcher, CompletionResetsEveryCursorAndLaterEntriesSeeTheSameByte) {
    // Entry 0 completes on the 0xBB; entry 1 had matched 0xAA, is reset, and then compares the
    // same 0xBB with its first pair, so it can still complete with the bytes BB CC.
    CodePattern table[2] = {{1, "AABB", 0, nullptr}, {1, "AABBCC", 0, nullptr}};
    EXPECT_EQ(Match({0xAA, 0xBB, 0xCC}, table, 2, 100), 1);
    CodePattern second[2] = {{1, "AABB", 0, nullptr}, {1, "BBCC", 0, nullptr}};
    EXPECT_EQ(Match({0xAA, 0xBB, 0xCC}, second, 2, 100), 2);
    // An entry before the one that completed does not see the byte again.
    CodePattern earlier[2] = {{1, "BBCC", 0, nullptr}, {1, "AABB", 0, nullptr}};
    EXPECT_EQ(Match({0xAA, 0xBB, 0xCC}, earlier, 2, 100), 1);
}

// The program's matcher against the model of its rules: the same score and the same table state.
void ExpectSameAsReference(const Bytes& data, std::vector<CodePattern> table, int threshold) {
    const int count = static_cast<int>(table.size());
    const reference::Outcome expected = reference::MatchCodePatterns(
        data.data(), static_cast<unsigned>(data.size()), table.data(), count, threshold);
    ASSERT_EQ(Match(data, table.data(), count, threshold), expected.score);
    for (std::size_t i = 0; i < table.size(); ++i) {
        ASSERT_EQ(table[i].matched, expected.matched[i]) << i;
        ASSERT_EQ(static_cast<std::size_t>(table[i].cursor - table[i].pattern), expected.cursors[i])
            << i;
    }
}

TEST(CodePatternsMatcher, SameAsReferenceOnRandomBytesWithPlantedPatterns) {
    std::mt19937 random(12345);
    const std::vector<CodePattern> program(CodePatternTable, CodePatternTable + kCodePatternCount);
    for (int round = 0; round < 400; ++round) {
        Bytes data(random() % 5000);
        for (auto& b : data)
            b = static_cast<unsigned char>(random());
        // Plant whole and cut-off copies of the patterns, and runs of their first bytes.
        for (int plant = random() % 4; plant > 0 && !data.empty(); --plant) {
            const Bytes code = testpe::FromHex(CodePatternTable[random() % 8].pattern);
            const std::size_t keep = random() % 2 ? code.size() : random() % code.size();
            const std::size_t at = random() % data.size();
            for (std::size_t i = 0; i < keep && at + i < data.size(); ++i)
                data[at + i] = code[i];
        }
        ExpectSameAsReference(data, program, round % 3 == 0 ? 90 : 30);
    }
}

TEST(CodePatternsMatcher, SameAsReferenceOnAdversarialTables) {
    std::mt19937 random(777);
    static const char* const kPatterns[] = {"8BC98BD2", "8B8B8B",   "??",     "?8", "8?",
                                            "C6??",     "C6C6C6C6", "",       "8",  "c6",
                                            "AAAAAAAB", "9090",     "??8B??", "00"};
    const unsigned char alphabet[] = {0x8B, 0xC9, 0xD2, 0xC6, 0x90, 0xAA, 0xAB, 0x00, 0x18};
    for (int round = 0; round < 3000; ++round) {
        const std::size_t sizes[] = {1 + random() % 6, 32, 33 + random() % 8};
        std::vector<CodePattern> table(round % 10 == 0 ? sizes[1 + random() % 2] : sizes[0]);
        for (auto& entry : table) {
            entry = {static_cast<std::int32_t>(random() % 40) - 5,
                     kPatterns[random() % (sizeof(kPatterns) / sizeof(kPatterns[0]))], 0, nullptr};
        }
        Bytes data(random() % (round % 7 == 0 ? 600 : 64));
        for (auto& b : data)
            b = alphabet[random() % sizeof(alphabet)];
        ExpectSameAsReference(data, table, static_cast<int>(random() % 80) - 10);
    }
}

}  // namespace
