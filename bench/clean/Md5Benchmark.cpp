// MD5 throughput on 4 KB blocks, the block size HashFile reads, against OpenSSL's MD5 on the
// same data in the same run.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "clean/Md5.h"

namespace {

const std::size_t kBlockSize = 4096;

std::vector<std::uint8_t> Block() {
    std::vector<std::uint8_t> block(kBlockSize);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : block) {
        state = state * 1103515245u + 12345u;
        byte = std::uint8_t(state >> 24);
    }
    return block;
}

// One long file fed 4 KB at a time, as HashFile does.
void BM_Md5Stream4K(benchmark::State& state) {
    const std::vector<std::uint8_t> block = Block();
    Md5 md5;
    for (auto _ : state) {
        md5.Update(block.data(), block.size());
        benchmark::ClobberMemory();
    }
    std::uint8_t digest[Md5::kDigestSize];
    md5.Finish(digest);
    benchmark::DoNotOptimize(digest);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBlockSize));
}

void BM_OpenSslMd5Stream4K(benchmark::State& state) {
    const std::vector<std::uint8_t> block = Block();
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    for (auto _ : state) {
        EVP_DigestUpdate(context, block.data(), block.size());
        benchmark::ClobberMemory();
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context, digest, &size);
    benchmark::DoNotOptimize(digest);
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBlockSize));
}

// A whole digest per 4 KB file: padding and set-up included.
void BM_Md5Digest4K(benchmark::State& state) {
    const std::vector<std::uint8_t> block = Block();
    std::uint8_t digest[Md5::kDigestSize];
    for (auto _ : state) {
        Md5 md5;
        md5.Update(block.data(), block.size());
        md5.Finish(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBlockSize));
}

void BM_OpenSslMd5Digest4K(benchmark::State& state) {
    const std::vector<std::uint8_t> block = Block();
    const EVP_MD* md5 = EVP_md5();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    for (auto _ : state) {
        EVP_Digest(block.data(), block.size(), digest, &size, md5, nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBlockSize));
}

}  // namespace

BENCHMARK(BM_Md5Stream4K);
BENCHMARK(BM_OpenSslMd5Stream4K);
BENCHMARK(BM_Md5Digest4K);
BENCHMARK(BM_OpenSslMd5Digest4K);

BENCHMARK_MAIN();
