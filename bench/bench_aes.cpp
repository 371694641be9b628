// AES-128 ECB throughput: our table code and AES-NI path against OpenSSL's EVP
// aes-128-ecb. Which OpenSSL code runs depends on OPENSSL_ia32cap; run_aes.sh runs this
// binary once per OpenSSL path.
#include "database/aes.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t BufferSize = 64 * 1024;

const std::uint8_t kKey[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                               0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};

std::vector<std::uint8_t> Data() {
    std::vector<std::uint8_t> data(BufferSize);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return data;
}

void Ours(benchmark::State& state, tallykey::AesEngine engine, bool encrypt) {
    if (engine == tallykey::AesEngine::AesNi && !tallykey::AesNiAvailable()) {
        state.SkipWithError("no AES-NI on this processor");
        return;
    }
    const tallykey::Aes128 aes(kKey, engine);
    std::vector<std::uint8_t> in = Data(), out(BufferSize);
    for (auto _ : state) {
        if (encrypt)
            aes.EncryptBlocks(in.data(), out.data(), BufferSize / 16);
        else
            aes.DecryptBlocks(in.data(), out.data(), BufferSize / 16);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * BufferSize);
}

void OpenSsl(benchmark::State& state, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kKey, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::vector<std::uint8_t> in = Data(), out(BufferSize + 16);
    for (auto _ : state) {
        int n = 0;
        EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(BufferSize));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * BufferSize);
    EVP_CIPHER_CTX_free(ctx);
}

void BM_OursTableEncrypt(benchmark::State& s) { Ours(s, tallykey::AesEngine::Table, true); }
void BM_OursTableDecrypt(benchmark::State& s) { Ours(s, tallykey::AesEngine::Table, false); }
void BM_OursAesNiEncrypt(benchmark::State& s) { Ours(s, tallykey::AesEngine::AesNi, true); }
void BM_OursAesNiDecrypt(benchmark::State& s) { Ours(s, tallykey::AesEngine::AesNi, false); }
void BM_OpenSslEncrypt(benchmark::State& s) { OpenSsl(s, true); }
void BM_OpenSslDecrypt(benchmark::State& s) { OpenSsl(s, false); }

BENCHMARK(BM_OursTableEncrypt);
BENCHMARK(BM_OursTableDecrypt);
BENCHMARK(BM_OursAesNiEncrypt);
BENCHMARK(BM_OursAesNiDecrypt);
BENCHMARK(BM_OpenSslEncrypt);
BENCHMARK(BM_OpenSslDecrypt);

} // namespace

int main(int argc, char** argv) {
    const char* cap = std::getenv("OPENSSL_ia32cap");
    benchmark::AddCustomContext("OPENSSL_ia32cap", cap ? cap : "(not set)");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
