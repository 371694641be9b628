// AES-128 block cipher (FIPS-197): 16-byte blocks, 10 rounds.
#pragma once

#include "database/secure_memory.h"

#include <cstddef>
#include <cstdint>

namespace tallykey {

constexpr std::size_t AesBlockSize = 16;
constexpr std::size_t AesKeySize = 16;

// Table: the portable table-driven code. AesNi: the processor's AES instructions, used
// only where the processor has them; both give the same results.
enum class AesEngine { Table, AesNi };

bool AesNiAvailable();
// The engine the stream operations use: AesNi when the processor has it, else Table.
// SetDefaultAesEngine changes it for the whole process (tests and measurements); an
// AesNi request on a processor without it keeps Table.
AesEngine DefaultAesEngine();
void SetDefaultAesEngine(AesEngine engine);

// Holds the expanded round keys for one key, in locked memory (never on the stack); they
// are expanded once on construction and cleared on destruction. The decryption keys are
// those of the equivalent inverse cipher.
class Aes128 {
public:
    explicit Aes128(const std::uint8_t key[AesKeySize], AesEngine engine = DefaultAesEngine());
    ~Aes128();
    Aes128(const Aes128&) = delete;
    Aes128& operator=(const Aes128&) = delete;

    // ECB over whole blocks; in and out may be the same buffer.
    void EncryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;
    void DecryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;

    AesEngine Engine() const { return engine_; }

private:
    // Round keys as little-endian words, i.e. in the byte order of FIPS-197: 44 words for
    // encryption, then 44 for decryption, 16-byte aligned.
    LockedBytes keys_;
    std::uint32_t* enc_;
    std::uint32_t* dec_;
    AesEngine engine_;
};

namespace detail {
// The AES-NI code lives in its own translation unit, compiled for those instructions.
void AesNiEncryptBlocks(const std::uint32_t* roundKeys, const std::uint8_t* in,
                        std::uint8_t* out, std::size_t blocks);
void AesNiDecryptBlocks(const std::uint32_t* roundKeys, const std::uint8_t* in,
                        std::uint8_t* out, std::size_t blocks);
bool CpuHasAesNi();
} // namespace detail

} // namespace tallykey
