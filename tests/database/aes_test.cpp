#include "database/aes.h"

#include "support/reference_aes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tallykey {
namespace {

std::vector<std::uint8_t> Hex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<AesEngine> Engines() {
    std::vector<AesEngine> engines{AesEngine::Table};
    if (AesNiAvailable())
        engines.push_back(AesEngine::AesNi);
    return engines;
}

std::vector<std::uint8_t> ReferenceEcb(const std::uint8_t* key, const std::vector<std::uint8_t>& in,
                                       bool encrypt) {
    const std::string out = test::ReferenceAesEcb(key, std::string(in.begin(), in.end()), encrypt);
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

struct KnownAnswer {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS-197 appendix C.1 and appendix B, and samples of the AESAVS known-answer tests.
const KnownAnswer kKnownAnswers[] = {
    {"FIPS-197 C.1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"FIPS-197 B", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"GFSbox 0", "00000000000000000000000000000000", "f34481ec3cc627bacd5dc3fb08f273e6",
     "0336763e966d92595a567cc9ce537f5e"},
    {"GFSbox 1", "00000000000000000000000000000000", "9798c4640bad75c7c3227db910174e72",
     "a9a1631bf4996954ebc093957b234589"},
    {"KeySbox 0", "10a58869d74be5a374cf867cfb473859", "00000000000000000000000000000000",
     "6d251e6944b051e04eaa6fb4dbf78465"},
    {"VarTxt 0", "00000000000000000000000000000000", "80000000000000000000000000000000",
     "3ad78e726c1ec02b7ebfe92b23d9ec34"},
    {"VarTxt 127", "00000000000000000000000000000000", "ffffffffffffffffffffffffffffffff",
     "3f5b8cc9ea855a0afa7347d23e8d664e"},
    {"VarKey 0", "80000000000000000000000000000000", "00000000000000000000000000000000",
     "0edd33d3c621e546455bd8ba1418bec8"},
    {"VarKey 127", "ffffffffffffffffffffffffffffffff", "00000000000000000000000000000000",
     "a1f6258c877d5fcd8964484538bfc92c"},
    {"zero key, zero block", "00000000000000000000000000000000",
     "00000000000000000000000000000000", "66e94bd4ef8a2c3b884cfa59ca342b2e"},
};

TEST(Aes128, KnownAnswersBothWaysOnEveryEngine) {
    for (AesEngine engine : Engines()) {
        for (const auto& v : kKnownAnswers) {
            SCOPED_TRACE(std::string(v.name) + (engine == AesEngine::AesNi ? " AES-NI" : " table"));
            const auto key = Hex(v.key);
            const auto plain = Hex(v.plain);
            const auto cipher = Hex(v.cipher);
            Aes128 aes(key.data(), engine);
            ASSERT_EQ(aes.Engine(), engine);
            std::vector<std::uint8_t> out(16);
            aes.EncryptBlocks(plain.data(), out.data(), 1);
            EXPECT_EQ(out, cipher);
            aes.DecryptBlocks(cipher.data(), out.data(), 1);
            EXPECT_EQ(out, plain);
        }
    }
}

TEST(Aes128, MultiBlockCallsMatchBlockByBlockAndWorkInPlace) {
    // The AES-NI code takes four blocks at a time; 1..9 blocks cover its tail too.
    std::mt19937 rng(7);
    std::uint8_t key[16];
    for (auto& b : key)
        b = static_cast<std::uint8_t>(rng());
    for (AesEngine engine : Engines()) {
        Aes128 aes(key, engine);
        for (std::size_t blocks = 1; blocks <= 9; ++blocks) {
            std::vector<std::uint8_t> in(blocks * 16);
            for (auto& b : in)
                b = static_cast<std::uint8_t>(rng());
            std::vector<std::uint8_t> whole(in.size()), single(in.size());
            aes.EncryptBlocks(in.data(), whole.data(), blocks);
            for (std::size_t i = 0; i < blocks; ++i)
                aes.EncryptBlocks(in.data() + 16 * i, single.data() + 16 * i, 1);
            EXPECT_EQ(whole, single);
            std::vector<std::uint8_t> inPlace = in;
            aes.EncryptBlocks(inPlace.data(), inPlace.data(), blocks);
            EXPECT_EQ(inPlace, whole);
            aes.DecryptBlocks(inPlace.data(), inPlace.data(), blocks);
            EXPECT_EQ(inPlace, in);
        }
    }
}

TEST(Aes128, AgreesWithOpenSslOnRandomKeysAndBlocks) {
    std::mt19937_64 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::uint8_t key[16];
        for (auto& b : key)
            b = static_cast<std::uint8_t>(rng());
        const std::size_t blocks = 1 + rng() % 8;
        std::vector<std::uint8_t> plain(blocks * 16);
        for (auto& b : plain)
            b = static_cast<std::uint8_t>(rng());
        const auto expected = ReferenceEcb(key, plain, true);
        for (AesEngine engine : Engines()) {
            Aes128 aes(key, engine);
            std::vector<std::uint8_t> cipher(plain.size()), back(plain.size());
            aes.EncryptBlocks(plain.data(), cipher.data(), blocks);
            ASSERT_EQ(cipher, expected) << "round " << round;
            aes.DecryptBlocks(cipher.data(), back.data(), blocks);
            ASSERT_EQ(back, plain) << "round " << round;
        }
        // Decryption of random data, not only of our own output.
        const auto decrypted = ReferenceEcb(key, plain, false);
        Aes128 table(key, AesEngine::Table);
        std::vector<std::uint8_t> ours(plain.size());
        table.DecryptBlocks(plain.data(), ours.data(), blocks);
        ASSERT_EQ(ours, decrypted) << "round " << round;
    }
}

TEST(Aes128, AesNiRequestFallsBackWithoutTheInstructions) {
    const std::uint8_t key[16] = {};
    Aes128 aes(key, AesEngine::AesNi);
    EXPECT_EQ(aes.Engine(), AesNiAvailable() ? AesEngine::AesNi : AesEngine::Table);
}

} // namespace
} // namespace tallykey
