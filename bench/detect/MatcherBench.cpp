// Throughput of the code-pattern matcher in 4096-byte pieces, as the module inspection calls it,
// on random bytes and on real x86 code (the .text of a Wine system library), beside memchr over
// the same buffer (the memory-bandwidth yardstick) and a plain one-byte-at-a-time matcher.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "detect/ByteView.h"
#include "detect/CodePatterns.h"

namespace {

using Bytes = std::vector<unsigned char>;
const unsigned kPiece = 4096;

const Bytes& RandomBytes() {
    static const Bytes bytes = [] {
        Bytes b(8 << 20);
        std::mt19937 random(42);
        for (auto& x : b)
            x = static_cast<unsigned char>(random());
        return b;
    }();
    return bytes;
}

// The .text section of the library named by VORMAK_BENCH_CODE_DLL, or of Wine's shell32.dll.
const Bytes& CodeBytes() {
    static const Bytes bytes = [] {
        const char* path = std::getenv("VORMAK_BENCH_CODE_DLL");
        std::ifstream file(path ? path : "/usr/lib/i386-linux-gnu/wine/i386-windows/shell32.dll",
                           std::ios::binary);
        const Bytes image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const ByteView view{image.data(), image.size()};
        std::uint32_t pe = 0;
        std::uint16_t count = 0, optional = 0;
        if (!view.Read32(0x3C, &pe) || !view.Read16(pe + 6, &count) ||
            !view.Read16(pe + 20, &optional))
            return Bytes();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t entry = std::uint64_t{pe} + 24 + optional + 40 * i;
            std::uint32_t size = 0, offset = 0;
            if (!view.Fits(entry, 40))
                break;
            if (std::memcmp(view.At(entry), ".text", 6) != 0)
                continue;
            view.Read32(entry + 16, &size);
            view.Read32(entry + 20, &offset);
            if (!view.Fits(offset, size))
                break;
            return Bytes(view.At(offset), view.At(offset) + size);
        }
        return Bytes();
    }();
    return bytes;
}

template <typename Matcher>
void MatchPieces(benchmark::State& state, const Bytes& bytes, Matcher match) {
    if (bytes.size() < kPiece) {
        state.SkipWithError("no input bytes");
        return;
    }
    const std::size_t pieces = bytes.size() / kPiece;
    long long total = 0;
    for (auto _ : state) {
        int score = 0;
        for (std::size_t p = 0; p < pieces; ++p) {
            score += match(bytes.data() + p * kPiece, kPiece, CodePatternTable, kCodePatternCount,
                           kCodePatternThreshold);
        }
        benchmark::DoNotOptimize(score);
        total += static_cast<long long>(pieces * kPiece);
    }
    state.SetBytesProcessed(total);
}

// memchr over every byte of the buffer: each search resumes behind the previous hit, so the
// whole buffer is read once per iteration, in the same 4096-byte pieces.
void Memchr(benchmark::State& state, const Bytes& bytes) {
    long long total = 0;
    for (auto _ : state) {
        std::size_t hits = 0;
        for (std::size_t p = 0; p + kPiece <= bytes.size(); p += kPiece) {
            const unsigned char* at = bytes.data() + p;
            const unsigned char* end = at + kPiece;
            while (at < end) {
                const void* hit = std::memchr(at, 0xF1, static_cast<std::size_t>(end - at));
                if (hit == nullptr)
                    break;
                ++hits;
                at = static_cast<const unsigned char*>(hit) + 1;
            }
        }
        benchmark::DoNotOptimize(hits);
        total += static_cast<long long>(bytes.size() / kPiece * kPiece);
    }
    state.SetBytesProcessed(total);
}

void BM_Matcher_Random(benchmark::State& s) {
    MatchPieces(s, RandomBytes(), MatchCodePatterns);
}
void BM_Plain_Random(benchmark::State& s) {
    MatchPieces(s, RandomBytes(), MatchCodePatternsPlainly);
}
void BM_Memchr_Random(benchmark::State& s) {
    Memchr(s, RandomBytes());
}
void BM_Matcher_Code(benchmark::State& s) {
    MatchPieces(s, CodeBytes(), MatchCodePatterns);
}
void BM_Plain_Code(benchmark::State& s) {
    MatchPieces(s, CodeBytes(), MatchCodePatternsPlainly);
}
void BM_Memchr_Code(benchmark::State& s) {
    Memchr(s, CodeBytes());
}

BENCHMARK(BM_Matcher_Random);
BENCHMARK(BM_Plain_Random);
BENCHMARK(BM_Memchr_Random);
BENCHMARK(BM_Matcher_Code);
BENCHMARK(BM_Plain_Code);
BENCHMARK(BM_Memchr_Code);

}  // namespace

BENCHMARK_MAIN();
