// The AES-NI path: the same cipher through the processor's AES instructions. Only the
// functions here are compiled for those instructions; the caller checks the processor
// first, so the program still runs on processors without them.
#include "database/aes.h"

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
// is the order the instructions take. The keys are loaded from the caller's (locked)
// memory where they are used and never copied into a local array, so that no copy of them
// is left in a stack frame; the vector registers are cleared before returning.
#define TK_TARGET __attribute__((target("aes,sse2")))

TK_TARGET inline __m128i Key(const std::uint32_t* roundKeys, int round) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 4 * round));
}

inline void ClearVectorRegisters() {
#if defined(__x86_64__)
    __asm__ __volatile__("pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
                         "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
                         "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\tpxor %%xmm8, %%xmm8\n\t"
                         "pxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
                         "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\t"
                         "pxor %%xmm15, %%xmm15" ::: "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5",
                         "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14",
                         "xmm15");
#else
    __asm__ __volatile__("pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
                         "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
                         "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7" ::: "xmm0", "xmm1", "xmm2",
                         "xmm3", "xmm4", "xmm5", "xmm6", "xmm7");
#endif
}

} // namespace

TK_TARGET void AesNiEncryptBlocks(const std::uint32_t* roundKeys, const std::uint8_t* in,
                                  std::uint8_t* out, std::size_t blocks) {
    // Four blocks at a time keep the pipelined instruction busy.
    for (; blocks >= 4; blocks -= 4, in += 64, out += 64) {
        const __m128i k0 = Key(roundKeys, 0);
        __m128i b0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k0);
        __m128i b1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)), k0);
        __m128i b2 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32)), k0);
        __m128i b3 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 48)), k0);
        for (int r = 1; r < 10; ++r) {
            const __m128i k = Key(roundKeys, r);
            b0 = _mm_aesenc_si128(b0, k);
            b1 = _mm_aesenc_si128(b1, k);
            b2 = _mm_aesenc_si128(b2, k);
            b3 = _mm_aesenc_si128(b3, k);
        }
        const __m128i k10 = Key(roundKeys, 10);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesenclast_si128(b0, k10));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_aesenclast_si128(b1, k10));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_aesenclast_si128(b2, k10));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm_aesenclast_si128(b3, k10));
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), Key(roundKeys, 0));
        for (int r = 1; r < 10; ++r)
            b = _mm_aesenc_si128(b, Key(roundKeys, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesenclast_si128(b, Key(roundKeys, 10)));
    }
    ClearVectorRegisters();
}

TK_TARGET void AesNiDecryptBlocks(const std::uint32_t* roundKeys, const std::uint8_t* in,
                                  std::uint8_t* out, std::size_t blocks) {
    // The keys are already those of the equivalent inverse cipher, which aesdec expects.
    for (; blocks >= 4; blocks -= 4, in += 64, out += 64) {
        const __m128i k0 = Key(roundKeys, 0);
        __m128i b0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), k0);
        __m128i b1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)), k0);
        __m128i b2 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32)), k0);
        __m128i b3 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 48)), k0);
        for (int r = 1; r < 10; ++r) {
            const __m128i k = Key(roundKeys, r);
            b0 = _mm_aesdec_si128(b0, k);
            b1 = _mm_aesdec_si128(b1, k);
            b2 = _mm_aesdec_si128(b2, k);
            b3 = _mm_aesdec_si128(b3, k);
        }
        const __m128i k10 = Key(roundKeys, 10);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesdeclast_si128(b0, k10));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_aesdeclast_si128(b1, k10));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_aesdeclast_si128(b2, k10));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm_aesdeclast_si128(b3, k10));
    }
    for (; blocks != 0; --blocks, in += 16, out += 16) {
        __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), Key(roundKeys, 0));
        for (int r = 1; r < 10; ++r)
            b = _mm_aesdec_si128(b, Key(roundKeys, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesdeclast_si128(b, Key(roundKeys, 10)));
    }
    ClearVectorRegisters();
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
