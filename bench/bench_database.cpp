// Writing and reading a large database: 100 groups of 200 items with field lengths as
// people have them, about 3 MB of plaintext.
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

std::string TempPath() {
    return "/tmp/tallykey-bench-" + std::to_string(::getpid()) + ".tkf";
}

void BM_WriteDatabase(benchmark::State& state) {
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
    for (auto _ : state) {
        std::string file = tallykey::EncryptDatabase(Big(), "bench password");
        benchmark::DoNotOptimize(file.data());
    }
}

void BM_ReadDatabaseBytesInMemory(benchmark::State& state) {
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

BENCHMARK(BM_WriteDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncryptDatabaseInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDatabaseBytesInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildPlaintext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParsePlaintext)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
