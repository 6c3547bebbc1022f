// Header checks of library files and the section walk of the module inspection, over images
// built by the test PE builder and a fake memory reader.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "detect/CodePatterns.h"
#include "detect/PeBuilder.h"
#include "detect/PeImage.h"

namespace {

using Bytes = std::vector<unsigned char>;
using testpe::PeBuilder;
using testpe::Section;

int CheckFile(const Bytes& file) {
    ByteViewReader reader(ByteView{file.data(), file.size()});
    return CheckUpackHeaders(reader);
}

TEST(UpackHeaders, FirstSectionNamedUpackInAnyCase) {
    EXPECT_EQ(CheckFile(PeBuilder().Add(".Upack").Add(".rsrc").BuildFile()), 1);
    EXPECT_EQ(CheckFile(PeBuilder().Add(".upack").BuildFile()), 1);
    EXPECT_EQ(CheckFile(PeBuilder().Add(".UPACK").BuildFile()), 1);
}

TEST(UpackHeaders, OnlyTheFirstSectionCounts) {
    EXPECT_EQ(CheckFile(PeBuilder().Add(".text").BuildFile()), 0);
    EXPECT_EQ(CheckFile(PeBuilder().Add(".text").Add(".Upack").BuildFile()), 0);
}

TEST(UpackHeaders, NameIsComparedUpToItsFirstZeroAndEightCharactersNeverMatch) {
    EXPECT_EQ(CheckFile(PeBuilder().Add(std::string(".Upack\0x", 8)).BuildFile()), 1);
    EXPECT_EQ(CheckFile(PeBuilder().Add(".Upackxx").BuildFile()), 0);
    EXPECT_EQ(CheckFile(PeBuilder().Add(".Upac").BuildFile()), 0);
}

TEST(UpackHeaders, DamagedHeadersGiveZero) {
    PeBuilder noSections;
    noSections.sectionCountOverride = 0;
    noSections.Add(".Upack");
    EXPECT_EQ(CheckFile(noSections.BuildFile()), 0);

    PeBuilder noMz;
    noMz.dosMagic = 0x4D5A;
    EXPECT_EQ(CheckFile(noMz.Add(".Upack").BuildFile()), 0);

    PeBuilder noPe;
    noPe.signature = 0x00004551;
    EXPECT_EQ(CheckFile(noPe.Add(".Upack").BuildFile()), 0);

    Bytes lfanewPastEnd = PeBuilder().Add(".Upack").BuildFile();
    const std::uint32_t past = static_cast<std::uint32_t>(lfanewPastEnd.size()) + 16;
    std::memcpy(&lfanewPastEnd[0x3C], &past, 4);
    EXPECT_EQ(CheckFile(lfanewPastEnd), 0);

    Bytes negativeLfanew = PeBuilder().Add(".Upack").BuildFile();
    std::memset(&negativeLfanew[0x3C], 0xFF, 4);
    EXPECT_EQ(CheckFile(negativeLfanew), 0);

    EXPECT_EQ(CheckFile(Bytes(10, 'M')), 0);
    EXPECT_EQ(CheckFile(Bytes()), 0);
}

TEST(UpackHeaders, TruncatedSectionTableGivesZero) {
    PeBuilder builder;
    Bytes file = builder.Add(".Upack").BuildFile();
    file.resize(builder.SectionTableOffset() + 39);
    EXPECT_EQ(CheckFile(file), 0);
    file.resize(builder.SectionTableOffset() + 40);
    EXPECT_EQ(CheckFile(file), 1);
}

TEST(UpackHeaders, SectionTableFollowsTheOptionalHeaderSize) {
    PeBuilder longer;
    longer.optionalHeaderSize = 240;
    EXPECT_EQ(CheckFile(longer.Add(".Upack").BuildFile()), 1);
    PeBuilder shorter;
    shorter.optionalHeaderSize = 96;  // the 248-byte header must still be readable
    EXPECT_EQ(CheckFile(shorter.Add(".Upack").Add(".data").Add(".data").Add(".data").BuildFile()),
              1);
    // With the size field pointing elsewhere, the first "section" read is whatever lies there.
    Bytes file = PeBuilder().Add(".Upack").BuildFile();
    file[0x80 + 20] = (224 + 40) & 0xFF;
    file[0x80 + 21] = (224 + 40) >> 8;
    EXPECT_EQ(CheckFile(file), 0);
}

// Module memory with pages that cannot be read and reads that deliver only part; records every
// read asked for.
class FakeMemory : public ImageReader {
  public:
    explicit FakeMemory(Bytes image) : image_(std::move(image)) {}
    std::uint32_t Read(std::uint64_t offset, unsigned char* out, std::uint32_t length) override {
        reads.push_back({offset, length});
        if (failing.count(offset) || offset >= image_.size())
            return 0;
        std::uint64_t count = std::min<std::uint64_t>(length, image_.size() - offset);
        auto partial = partialReads.find(offset);
        if (partial != partialReads.end())
            count = std::min<std::uint64_t>(count, partial->second);
        std::memcpy(out, image_.data() + offset, count);
        return static_cast<std::uint32_t>(count);
    }
    std::vector<std::pair<std::uint64_t, std::uint32_t>> reads;
    std::set<std::uint64_t> failing;
    std::map<std::uint64_t, std::uint32_t> partialReads;

  private:
    Bytes image_;
};

Bytes PatternAt(std::size_t size, std::size_t at, int pattern = 7) {
    Bytes bytes(size, 0x00);
    const Bytes code = testpe::FromHex(CodePatternTable[pattern].pattern);
    std::memcpy(bytes.data() + at, code.data(), code.size());
    return bytes;
}

class Inspection : public testing::Test {
  protected:
    int Inspect(FakeMemory& memory, std::uint32_t moduleSize) {
        return InspectModuleSections(header, chunk, memory, moduleSize);
    }
    int Inspect(const PeBuilder& builder, std::uint32_t moduleSize = 0x10000) {
        FakeMemory memory(builder.BuildMemory(moduleSize));
        return Inspect(memory, moduleSize);
    }
    std::size_t ReadsAt(const FakeMemory& memory, std::uint64_t offset) {
        std::size_t count = 0;
        for (const auto& read : memory.reads)
            count += read.first == offset;
        return count;
    }
    unsigned char header[kInspectionBufferSize];
    unsigned char chunk[kInspectionBufferSize];
};

TEST_F(Inspection, PatternInCodeMarksTheModule) {
    EXPECT_EQ(Inspect(PeBuilder().Add(".text", PatternAt(0x200, 0x20))), 1);
    EXPECT_EQ(Inspect(PeBuilder().Add(".text", Bytes(0x200, 0x90))), 0);
}

TEST_F(Inspection, ResourceAndRelocationSectionsAreNeverRead) {
    PeBuilder builder;
    builder.Add(".rsrc", PatternAt(0x200, 0)).Add(".reloc", PatternAt(0x200, 0));
    FakeMemory memory(builder.BuildMemory(0x10000));
    EXPECT_EQ(Inspect(memory, 0x10000), 0);
    EXPECT_EQ(memory.reads.size(), 1u);  // the header page only
}

TEST_F(Inspection, BssWithoutRawDataIsSkippedOtherSectionsUseTheirVirtualSize) {
    for (const char* name : {".bss", "BSS", ".bssx"}) {
        Section bss;
        bss.name = name;
        bss.rawSize = 0;
        bss.content = PatternAt(0x200, 0);
        EXPECT_EQ(Inspect(PeBuilder().Add(bss)), 0) << name;
    }
    Section data;
    data.name = ".data";
    data.rawSize = 0;
    data.virtualSize = 0x3000;
    data.content = PatternAt(0x3000, 0x2100);  // in the third piece
    EXPECT_EQ(Inspect(PeBuilder().Add(data)), 1);
    Section bssWithRaw;
    bssWithRaw.name = ".bss";
    bssWithRaw.content = PatternAt(0x200, 0);
    EXPECT_EQ(Inspect(PeBuilder().Add(bssWithRaw)), 1);
}

TEST_F(Inspection, EveryReadAsksForAWholePieceAndRunsPastTheSectionEnd) {
    Section text;
    text.name = ".text";
    text.rawSize = 0x1001;  // two pieces; the second reaches into the next section
    PeBuilder builder;
    builder.Add(text).Add(".rsrc", PatternAt(0x200, 0x10));
    builder.sections[1].virtualAddress = 0x2000;
    FakeMemory memory(builder.BuildMemory(0x10000));
    EXPECT_EQ(Inspect(memory, 0x10000), 1);
    for (const auto& read : memory.reads)
        EXPECT_EQ(read.second, kInspectionBufferSize);
}

TEST_F(Inspection, PatternSplitAcrossTwoPiecesIsNotFound) {
    Section text;
    text.name = ".text";
    text.rawSize = 0x2000;
    text.content = PatternAt(0x2000, 0x1000 - 8);
    EXPECT_EQ(Inspect(PeBuilder().Add(text)), 0);
}

TEST_F(Inspection, FailedPiecesAreSkippedAndPartialPiecesMatchWhatArrived) {
    Section text;
    text.name = ".text";
    text.rawSize = 0x3000;
    text.content = PatternAt(0x3000, 0x1010);  // in the piece at 0x2000 of the module
    PeBuilder builder;
    builder.Add(text);
    FakeMemory memory(builder.BuildMemory(0x10000));
    memory.failing = {0x1000, 0x2000};
    EXPECT_EQ(Inspect(memory, 0x10000), 0);
    EXPECT_EQ(ReadsAt(memory, 0x3000), 1u);  // the walk went on past the failures

    FakeMemory partial(builder.BuildMemory(0x10000));
    partial.partialReads[0x2000] = 0x10 + 20;  // the pattern arrives whole
    EXPECT_EQ(Inspect(partial, 0x10000), 1);
    FakeMemory cut(builder.BuildMemory(0x10000));
    cut.partialReads[0x2000] = 0x10 + 19;  // one byte short
    EXPECT_EQ(Inspect(cut, 0x10000), 0);
}

TEST_F(Inspection, ScoreAddsUpAcrossPiecesAndSections) {
    // Weight 30 per match makes one match enough; a table with the threshold unreached needs
    // two matches, so here the same pattern in two sections must still give 1 after the first.
    PeBuilder builder;
    builder.Add(".text", PatternAt(0x200, 0)).Add(".data", PatternAt(0x200, 0));
    FakeMemory memory(builder.BuildMemory(0x10000));
    EXPECT_EQ(Inspect(memory, 0x10000), 1);
    EXPECT_EQ(ReadsAt(memory, 0x2000), 0u);  // found in the first section: the walk stops
}

TEST_F(Inspection, UnreadableHeaderPageGivesZero) {
    FakeMemory memory(PeBuilder().Add(".text", PatternAt(0x200, 0)).BuildMemory(0x10000));
    memory.failing = {0};
    EXPECT_EQ(Inspect(memory, 0x10000), 0);
}

TEST_F(Inspection, HeaderPointingOutsideTheBytesReadGivesZero) {
    PeBuilder far;
    far.lfanew = 0x1000;  // past the header copy
    far.Add(".text", PatternAt(0x200, 0));
    far.sections[0].virtualAddress = 0x2000;
    EXPECT_EQ(Inspect(far, 0x10000), 0);

    PeBuilder builder;
    builder.Add(".text", PatternAt(0x200, 0));
    FakeMemory shortHeader(builder.BuildMemory(0x10000));
    shortHeader.partialReads[0] = builder.SectionTableOffset() + 39;
    EXPECT_EQ(Inspect(shortHeader, 0x10000), 0);
    FakeMemory wholeHeader(builder.BuildMemory(0x10000));
    wholeHeader.partialReads[0] = builder.SectionTableOffset() + 40;
    EXPECT_EQ(Inspect(wholeHeader, 0x10000), 1);

    // A section table running off the header copy ends the walk with 0 even after good sections.
    PeBuilder many;
    many.Add(".text", Bytes(0x200, 0x90));
    many.sectionCountOverride = 200;
    EXPECT_EQ(Inspect(many, 0x10000), 0);
}

TEST_F(Inspection, SizeAboveTheLastPieceStartEnds) {
    Section huge;
    huge.name = ".text";
    huge.virtualAddress = 0;
    huge.rawSize = 0xFFFFF001;
    PeBuilder builder;
    builder.Add(huge);
    FakeMemory memory(builder.BuildMemory(0x2000));
    // With the whole address range claimed as the module, every piece is tried once and the
    // walk ends after the last one instead of wrapping back to offset 0.
    EXPECT_EQ(Inspect(memory, 0xFFFFFFFF), 0);
    EXPECT_EQ(memory.reads.size(), 1u + 0x100000u);
    EXPECT_EQ(ReadsAt(memory, 0), 2u);  // the header and the section's first piece
}

TEST_F(Inspection, HostileHeaderCostsAtMostTheModulePagesPerSection) {
    PeBuilder builder;
    for (int i = 0; i < 96; ++i) {
        Section s;
        s.name = ".text";
        s.virtualAddress = 0x1000;
        s.rawSize = 0xFFFFFFFF;
        builder.Add(s);
    }
    FakeMemory memory(builder.BuildMemory(0x3000));
    EXPECT_EQ(Inspect(memory, 0x10000), 0);
    // The header page, then at most the module's 16 pages per section, whatever they claim.
    EXPECT_LE(memory.reads.size(), 1u + 96u * 16u);
}

// A packed module can rewrite its section table in memory: three large sections over the same
// pages come first, the code sits in the fourth. The walk must still reach it.
TEST_F(Inspection, OverlappingSectionsBeforeTheCodeDoNotEndTheWalk) {
    PeBuilder builder;
    for (int i = 0; i < 3; ++i) {
        Section large;
        large.name = ".text";
        large.virtualAddress = 0x2000;
        large.rawSize = 0x8000;
        builder.Add(large);
    }
    Section code;
    code.name = ".text";
    code.virtualAddress = 0x1000;
    code.rawSize = 0x1000;
    code.content = PatternAt(0x1000, 0x100);  // the eighth pattern at 0x1100
    builder.Add(code);
    FakeMemory memory(builder.BuildMemory(0x10000));
    EXPECT_EQ(Inspect(memory, 0x10000), 1);
    EXPECT_EQ(ReadsAt(memory, 0x1000), 1u);
}

TEST_F(Inspection, PiecesOutsideTheModuleAreNotRead) {
    Section outside;
    outside.name = ".text";
    outside.virtualAddress = 0x20000;
    PeBuilder builder;
    builder.Add(outside);
    FakeMemory memory(builder.BuildMemory(0x10000));
    EXPECT_EQ(Inspect(memory, 0x10000), 0);
    EXPECT_EQ(memory.reads.size(), 1u);
}

}  // namespace

namespace {

int FileHolds(const Bytes& file) {
    ByteViewReader reader(ByteView{file.data(), file.size()});
    return FileHoldsCodePattern(reader);
}

// The file check searches for occurrences: a pattern across the boundary of two 4096-byte
// pieces counts, and so does one behind a partial copy of its own start, which the memory
// matcher's single cursor passes over.
TEST(FileCodePatterns, FindsAPatternAnywhereInTheFileAcrossPieces) {
    const Bytes longest = testpe::FromHex(CodePatternTable[5].pattern);  // 83 bytes
    for (std::size_t at : {std::size_t{0}, std::size_t{4096 - 82}, std::size_t{4096 - 1},
                           std::size_t{3 * 4096 - 40}}) {
        Bytes file(4 * 4096, 0x90);
        std::copy(longest.begin(), longest.end(), file.begin() + at);
        EXPECT_EQ(FileHolds(file), 1) << "pattern at " << at;
        file.resize(at + longest.size() - 1);  // cut by one byte
        EXPECT_EQ(FileHolds(file), 0) << "cut pattern at " << at;
    }
    const Bytes code = testpe::FromHex(CodePatternTable[7].pattern);
    Bytes repeated = {0x55, 0x8B};  // the pattern's first two bytes, then the whole pattern
    repeated.insert(repeated.end(), code.begin(), code.end());
    EXPECT_EQ(FileHolds(repeated), 1);
    EXPECT_EQ(FileHolds(Bytes()), 0);
}

}  // namespace
