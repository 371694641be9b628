#include "database/aes.h"


#include <array>
#include <atomic>
#include <bit>
#include <cstring>

namespace tallykey {

namespace {

// The tables are computed at compile time from the field arithmetic, so no hand-typed
// constant can be wrong.
constexpr std::uint8_t Xtime(std::uint8_t x) {
    return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0x00));
}

constexpr std::uint8_t Mul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1)
            product ^= a;
        a = Xtime(a);
        b >>= 1;
    }
    return product;
}

constexpr std::uint8_t Rotl8(std::uint8_t x, int n) {
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::uint32_t Word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return std::uint32_t(b0) | (std::uint32_t(b1) << 8) | (std::uint32_t(b2) << 16) |
           (std::uint32_t(b3) << 24);
}

struct Tables {
    std::uint8_t S[256];
    std::uint8_t Si[256];
    // Column words are little-endian: row 0 of the state is the lowest byte.
    std::uint32_t Te[4][256];
    std::uint32_t Td[4][256];
};

constexpr Tables MakeTables() {
    Tables t{};
    for (int x = 0; x < 256; ++x) {
        // Multiplicative inverse as x^254; 0 maps to 0.
        std::uint8_t inv = 1;
        std::uint8_t base = static_cast<std::uint8_t>(x);
        for (int e = 254; e != 0; e >>= 1) {
            if (e & 1)
                inv = Mul(inv, base);
            base = Mul(base, base);
        }
        if (x == 0)
            inv = 0;
        const std::uint8_t s = static_cast<std::uint8_t>(inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^
                                                         Rotl8(inv, 3) ^ Rotl8(inv, 4) ^ 0x63);
        t.S[x] = s;
        t.Si[s] = static_cast<std::uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = t.S[x];
        const std::uint32_t te = Word(Mul(s, 2), s, s, Mul(s, 3));
        const std::uint8_t si = t.Si[x];
        const std::uint32_t td = Word(Mul(si, 14), Mul(si, 9), Mul(si, 13), Mul(si, 11));
        for (int r = 0; r < 4; ++r) {
            t.Te[r][x] = std::rotl(te, 8 * r);
            t.Td[r][x] = std::rotl(td, 8 * r);
        }
    }
    return t;
}

alignas(64) constexpr Tables kTables = MakeTables();

constexpr const std::uint32_t* Te0 = kTables.Te[0];
constexpr const std::uint32_t* Te1 = kTables.Te[1];
constexpr const std::uint32_t* Te2 = kTables.Te[2];
constexpr const std::uint32_t* Te3 = kTables.Te[3];
constexpr const std::uint32_t* Td0 = kTables.Td[0];
constexpr const std::uint32_t* Td1 = kTables.Td[1];
constexpr const std::uint32_t* Td2 = kTables.Td[2];
constexpr const std::uint32_t* Td3 = kTables.Td[3];
constexpr const std::uint8_t* Sb = kTables.S;
constexpr const std::uint8_t* Si = kTables.Si;

static_assert(kTables.S[0x00] == 0x63 && kTables.S[0x53] == 0xed && kTables.Si[0x63] == 0x00);

inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}

inline void Store32(std::uint8_t* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline std::uint32_t B0(std::uint32_t w) { return w & 0xff; }
inline std::uint32_t B1(std::uint32_t w) { return (w >> 8) & 0xff; }
inline std::uint32_t B2(std::uint32_t w) { return (w >> 16) & 0xff; }
inline std::uint32_t B3(std::uint32_t w) { return w >> 24; }

inline std::uint32_t SubWord(std::uint32_t w) {
    return Word(Sb[B0(w)], Sb[B1(w)], Sb[B2(w)], Sb[B3(w)]);
}

inline std::uint32_t InvMixColumn(std::uint32_t w) {
    // Td includes the inverse S-box, which S undoes.
    return Td0[Sb[B0(w)]] ^ Td1[Sb[B1(w)]] ^ Td2[Sb[B2(w)]] ^ Td3[Sb[B3(w)]];
}

// One round: SubBytes, ShiftRows, MixColumns, AddRoundKey.
#define TK_ENC_ROUND(d0, d1, d2, d3, s0, s1, s2, s3, k)                                     \
    d0 = Te0[B0(s0)] ^ Te1[B1(s1)] ^ Te2[B2(s2)] ^ Te3[B3(s3)] ^ (k)[0];                     \
    d1 = Te0[B0(s1)] ^ Te1[B1(s2)] ^ Te2[B2(s3)] ^ Te3[B3(s0)] ^ (k)[1];                     \
    d2 = Te0[B0(s2)] ^ Te1[B1(s3)] ^ Te2[B2(s0)] ^ Te3[B3(s1)] ^ (k)[2];                     \
    d3 = Te0[B0(s3)] ^ Te1[B1(s0)] ^ Te2[B2(s1)] ^ Te3[B3(s2)] ^ (k)[3]

#define TK_DEC_ROUND(d0, d1, d2, d3, s0, s1, s2, s3, k)                                     \
    d0 = Td0[B0(s0)] ^ Td1[B1(s3)] ^ Td2[B2(s2)] ^ Td3[B3(s1)] ^ (k)[0];                     \
    d1 = Td0[B0(s1)] ^ Td1[B1(s0)] ^ Td2[B2(s3)] ^ Td3[B3(s2)] ^ (k)[1];                     \
    d2 = Td0[B0(s2)] ^ Td1[B1(s1)] ^ Td2[B2(s0)] ^ Td3[B3(s3)] ^ (k)[2];                     \
    d3 = Td0[B0(s3)] ^ Td1[B1(s2)] ^ Td2[B2(s1)] ^ Td3[B3(s0)] ^ (k)[3]

void TableEncrypt(const std::uint32_t* rk, const std::uint8_t* in, std::uint8_t* out,
                  std::size_t blocks) {
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        std::uint32_t s0 = Load32(in) ^ rk[0];
        std::uint32_t s1 = Load32(in + 4) ^ rk[1];
        std::uint32_t s2 = Load32(in + 8) ^ rk[2];
        std::uint32_t s3 = Load32(in + 12) ^ rk[3];
        std::uint32_t t0, t1, t2, t3;
        TK_ENC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 4);
        TK_ENC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 8);
        TK_ENC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 12);
        TK_ENC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 16);
        TK_ENC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 20);
        TK_ENC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 24);
        TK_ENC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 28);
        TK_ENC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 32);
        TK_ENC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 36);
        // Last round without MixColumns.
        Store32(out, Word(Sb[B0(t0)], Sb[B1(t1)], Sb[B2(t2)], Sb[B3(t3)]) ^ rk[40]);
        Store32(out + 4, Word(Sb[B0(t1)], Sb[B1(t2)], Sb[B2(t3)], Sb[B3(t0)]) ^ rk[41]);
        Store32(out + 8, Word(Sb[B0(t2)], Sb[B1(t3)], Sb[B2(t0)], Sb[B3(t1)]) ^ rk[42]);
        Store32(out + 12, Word(Sb[B0(t3)], Sb[B1(t0)], Sb[B2(t1)], Sb[B3(t2)]) ^ rk[43]);
    }
}

void TableDecrypt(const std::uint32_t* rk, const std::uint8_t* in, std::uint8_t* out,
                  std::size_t blocks) {
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        std::uint32_t s0 = Load32(in) ^ rk[0];
        std::uint32_t s1 = Load32(in + 4) ^ rk[1];
        std::uint32_t s2 = Load32(in + 8) ^ rk[2];
        std::uint32_t s3 = Load32(in + 12) ^ rk[3];
        std::uint32_t t0, t1, t2, t3;
        TK_DEC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 4);
        TK_DEC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 8);
        TK_DEC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 12);
        TK_DEC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 16);
        TK_DEC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 20);
        TK_DEC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 24);
        TK_DEC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 28);
        TK_DEC_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, rk + 32);
        TK_DEC_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, rk + 36);
        Store32(out, Word(Si[B0(t0)], Si[B1(t3)], Si[B2(t2)], Si[B3(t1)]) ^ rk[40]);
        Store32(out + 4, Word(Si[B0(t1)], Si[B1(t0)], Si[B2(t3)], Si[B3(t2)]) ^ rk[41]);
        Store32(out + 8, Word(Si[B0(t2)], Si[B1(t1)], Si[B2(t0)], Si[B3(t3)]) ^ rk[42]);
        Store32(out + 12, Word(Si[B0(t3)], Si[B1(t2)], Si[B2(t1)], Si[B3(t0)]) ^ rk[43]);
    }
}

#undef TK_ENC_ROUND
#undef TK_DEC_ROUND

} // namespace

bool AesNiAvailable() {
    static const bool available = detail::CpuHasAesNi();
    return available;
}

namespace {
std::atomic<AesEngine>& DefaultEngine() {
    static std::atomic<AesEngine> engine{AesNiAvailable() ? AesEngine::AesNi : AesEngine::Table};
    return engine;
}
} // namespace

AesEngine DefaultAesEngine() {
    return DefaultEngine().load(std::memory_order_relaxed);
}

void SetDefaultAesEngine(AesEngine engine) {
    if (engine == AesEngine::AesNi && !AesNiAvailable())
        engine = AesEngine::Table;
    DefaultEngine().store(engine, std::memory_order_relaxed);
}

Aes128::Aes128(const std::uint8_t key[AesKeySize], AesEngine engine)
    : keys_(2 * 44 * sizeof(std::uint32_t)), enc_(reinterpret_cast<std::uint32_t*>(keys_.data())),
      dec_(enc_ + 44), engine_(engine == AesEngine::AesNi && !AesNiAvailable() ? AesEngine::Table : engine) {
    static constexpr std::uint8_t rcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10,
                                              0x20, 0x40, 0x80, 0x1b, 0x36};
    for (int i = 0; i < 4; ++i)
        enc_[i] = Load32(key + 4 * i);
    for (int i = 4; i < 44; ++i) {
        std::uint32_t t = enc_[i - 1];
        if (i % 4 == 0)
            t = SubWord(std::rotr(t, 8)) ^ rcon[i / 4 - 1]; // RotWord, SubWord, Rcon
        enc_[i] = enc_[i - 4] ^ t;
    }
    // Equivalent inverse cipher: round keys in reverse order, the inner ones through
    // InvMixColumns.
    for (int r = 0; r <= 10; ++r) {
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t w = enc_[4 * (10 - r) + c];
            dec_[4 * r + c] = (r == 0 || r == 10) ? w : InvMixColumn(w);
        }
    }
}

Aes128::~Aes128() = default; // the locked block clears itself

void Aes128::EncryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
    if (engine_ == AesEngine::AesNi)
        detail::AesNiEncryptBlocks(enc_, in, out, blocks);
    else
        TableEncrypt(enc_, in, out, blocks);
}

void Aes128::DecryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
    if (engine_ == AesEngine::AesNi)
        detail::AesNiDecryptBlocks(dec_, in, out, blocks);
    else
        TableDecrypt(dec_, in, out, blocks);
}

} // namespace tallykey
