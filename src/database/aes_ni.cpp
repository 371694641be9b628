// The AES-NI path: the same cipher through the processor's AES instructions. Only the
// functions here are compiled for those instructions; the caller checks the processor
// first, so the program still runs on processors without them.
#include "database/aes.h"
#include "database/secure_wipe.h"

#include <cstdlib>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TK_HAVE_AESNI_CODE 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace tallykey::detail {

#if defined(TK_HAVE_AESNI_CODE)

bool CpuHasAesNi() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    const bool aes = (ecx & bit_AES) != 0;
    const bool sse2 = (edx & bit_SSE2) != 0;
    return aes && sse2;
}

namespace {

// The little-endian round-key words lie in memory in the byte order of FIPS-197, which
// is the order the instructions take.
#define TK_TARGET __attribute__((target("aes,sse2")))

TK_TARGET inline void LoadKeys(const std::uint32_t* roundKeys, __m128i k[11]) {
    for (int r = 0; r < 11; ++r)
        k[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 4 * r));
}

} // namespace

TK_TARGET void AesNiEncryptBlocks(const std::uint32_t* roundKeys, const std::uint8_t* in,
                                  std::uint8_t* out, std::size_t blocks) {
    __m128i k[11];
    LoadKeys(roundKeys, k);
    // Four blocks at a time keep the pipelined instruction busy.
    for (; blocks >= 4; blocks -= 4, in += 64, out += 64) {
        __m128i b0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k[0]);
        __m128i b1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)), k[0]);
        __m128i b2 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32)), k[0]);
        __m128i b3 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 48)), k[0]);
        for (int r = 1; r < 10; ++r) {
            b0 = _mm_aesenc_si128(b0, k[r]);
            b1 = _mm_aesenc_si128(b1, k[r]);
            b2 = _mm_aesenc_si128(b2, k[r]);
            b3 = _mm_aesenc_si128(b3, k[r]);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesenclast_si128(b0, k[10]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_aesenclast_si128(b1, k[10]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_aesenclast_si128(b2, k[10]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm_aesenclast_si128(b3, k[10]));
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k[0]);
        for (int r = 1; r < 10; ++r)
            b = _mm_aesenc_si128(b, k[r]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesenclast_si128(b, k[10]));
    }
    SecureWipe(k, sizeof k);
}

TK_TARGET void AesNiDecryptBlocks(const std::uint32_t* roundKeys, const std::uint8_t* in,
                                  std::uint8_t* out, std::size_t blocks) {
    // The keys are already those of the equivalent inverse cipher, which aesdec expects.
    __m128i k[11];
    LoadKeys(roundKeys, k);
    for (; blocks >= 4; blocks -= 4, in += 64, out += 64) {
        __m128i b0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k[0]);
        __m128i b1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)), k[0]);
        __m128i b2 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32)), k[0]);
        __m128i b3 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 48)), k[0]);
        for (int r = 1; r < 10; ++r) {
            b0 = _mm_aesdec_si128(b0, k[r]);
            b1 = _mm_aesdec_si128(b1, k[r]);
            b2 = _mm_aesdec_si128(b2, k[r]);
            b3 = _mm_aesdec_si128(b3, k[r]);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesdeclast_si128(b0, k[10]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_aesdeclast_si128(b1, k[10]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_aesdeclast_si128(b2, k[10]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm_aesdeclast_si128(b3, k[10]));
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k[0]);
        for (int r = 1; r < 10; ++r)
            b = _mm_aesdec_si128(b, k[r]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesdeclast_si128(b, k[10]));
    }
    SecureWipe(k, sizeof k);
}

#undef TK_TARGET

#else // no AES-NI code for this processor or compiler

bool CpuHasAesNi() { return false; }

void AesNiEncryptBlocks(const std::uint32_t*, const std::uint8_t*, std::uint8_t*, std::size_t) {
    std::abort(); // never selected: CpuHasAesNi() is false
}

void AesNiDecryptBlocks(const std::uint32_t*, const std::uint8_t*, std::uint8_t*, std::size_t) {
    std::abort();
}

#endif

} // namespace tallykey::detail
