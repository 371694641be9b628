// Writing and reading a large database: 100 groups of 200 items with field lengths as
// people have them, about 3 MB of plaintext.
#include "database/aes.h"
#include "database/database_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include <unistd.h>

namespace {

std::string Text(const char* stem, int n, std::size_t length) {
    std::string s = std::string(stem) + " " + std::to_string(n) + " ";
    while (s.size() < length)
        s += static_cast<char>('a' + (s.size() * 7 + static_cast<std::size_t>(n)) % 26);
    return s;
}

const tallykey::TDatabase& Big() {
    static const tallykey::TDatabase db = [] {
        tallykey::TDatabase d;
        for (int g = 0; g < 100; ++g) {
            tallykey::AppendGroup(d, Text("Group", g, 16), g % 51);
            for (int k = 0; k < 200; ++k) {
                const int n = g * 200 + k;
                tallykey::AppendItem(d, g, Text("Account", n, 24), Text("user", n, 20),
                                     Text("pw", n, 16), "https://" + Text("www.example", n, 36) + ".com/login",
                                     Text("note", n, 40) + "\r\n" + Text("second line", n, 30), 17);
            }
        }
        return d;
    }();
    return db;
}

// Argument 0 runs the table code, 1 the AES-NI path (where the processor has it).
void SelectEngine(benchmark::State& state) {
    const bool aesNi = state.range(0) != 0;
    if (aesNi && !tallykey::AesNiAvailable())
        state.SkipWithError("no AES-NI on this processor");
    tallykey::SetDefaultAesEngine(aesNi ? tallykey::AesEngine::AesNi : tallykey::AesEngine::Table);
}

std::string TempPath() {
    return "/tmp/tallykey-bench-" + std::to_string(::getpid()) + ".tkf";
}

void BM_WriteDatabase(benchmark::State& state) {
    SelectEngine(state);
    const std::string path = TempPath();
    for (auto _ : state) {
        const auto r = tallykey::WriteDatabase(Big(), "bench password", path);
        if (!r.ok)
            state.SkipWithError(r.message.c_str());
    }
    state.counters["plaintext_bytes"] = static_cast<double>(tallykey::BuildPlaintext(Big()).size());
    std::remove(path.c_str());
}

void BM_ReadDatabase(benchmark::State& state) {
    SelectEngine(state);
    const std::string path = TempPath();
    tallykey::WriteDatabase(Big(), "bench password", path);
    for (auto _ : state) {
        tallykey::TDatabase db;
        const auto r = tallykey::ReadDatabase(db, "bench password", path);
        if (!r.ok())
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(db.Groups.data());
    }
    std::remove(path.c_str());
}

// The parts without the disk: serialising plus encryption, and decryption plus parsing.
void BM_EncryptDatabaseInMemory(benchmark::State& state) {
    SelectEngine(state);
    for (auto _ : state) {
        std::string file = tallykey::EncryptDatabase(Big(), "bench password");
        benchmark::DoNotOptimize(file.data());
    }
}

void BM_ReadDatabaseBytesInMemory(benchmark::State& state) {
    SelectEngine(state);
    const std::string file = tallykey::EncryptDatabase(Big(), "bench password");
    for (auto _ : state) {
        tallykey::TDatabase db;
        tallykey::ReadDatabaseBytes(db, "bench password", file);
        benchmark::DoNotOptimize(db.Groups.data());
    }
}

void BM_BuildPlaintext(benchmark::State& state) {
    for (auto _ : state) {
        std::string plain = tallykey::BuildPlaintext(Big());
        benchmark::DoNotOptimize(plain.data());
    }
}

void BM_ParsePlaintext(benchmark::State& state) {
    const std::string plain = tallykey::BuildPlaintext(Big());
    for (auto _ : state) {
        tallykey::TDatabase db;
        tallykey::ParsePlaintext(plain, db);
        benchmark::DoNotOptimize(db.Groups.data());
    }
}

BENCHMARK(BM_WriteDatabase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDatabase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncryptDatabaseInMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDatabaseBytesInMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildPlaintext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParsePlaintext)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
