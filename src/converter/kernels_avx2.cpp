// The kernels for AVX2: 32 bytes (16 units) a block, then one SSE block of
// 16 bytes and one of 8 for what is left. Only chosen where the CPU and
// the OS (XSAVE state) both support AVX2.
#include <immintrin.h>

#include "converter/kernels.h"

#define QUEMBA_AVX2 __attribute__((target("avx2")))
// Aligned 32-byte loads never cross a page, like libc's own string scans;
// the bytes read past the NUL are never used.
#define QUEMBA_AVX2_SCAN QUEMBA_AVX2 __attribute__((no_sanitize_address, no_sanitize_thread))

namespace quemba::detail {
namespace {

// Blocks are stored only when all of them is taken: the units after the
// last one taken belong to the caller. A block with a stop goes to the
// SSE2 kernel, with what is left.
template <bool kLatin1>
QUEMBA_AVX2 uint32_t Widen(const unsigned char *s, uint16_t *d, uint32_t n) {
    uint32_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    while (n - i >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + i));
        __m256i stop = _mm256_cmpeq_epi8(v, zero);
        if (!kLatin1) stop = _mm256_or_si256(stop, v);
        if (_mm256_movemask_epi8(stop) != 0) break;
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + i), _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + i + 16),
                            _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
        i += 32;
    }
    // The rest in the SSE2 kernel's blocks of 16 and 8.
    return i + (kLatin1 ? kSse2Kernels.widenLatin1 : kSse2Kernels.widenAscii)(s + i, d + i, n - i);
}

template <bool kLatin1>
QUEMBA_AVX2 uint32_t Narrow(const uint16_t *s, char *d, uint32_t n) {
    uint32_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i high = _mm256_set1_epi16(static_cast<short>(kLatin1 ? 0xFF00 : 0xFF80));
    while (n - i >= 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + i + 16));
        // Per unit: all-ones where it narrows (not NUL, no high bits).
        const __m256i okA = _mm256_andnot_si256(_mm256_cmpeq_epi16(a, zero),
                                                _mm256_cmpeq_epi16(_mm256_and_si256(a, high), zero));
        const __m256i okB = _mm256_andnot_si256(_mm256_cmpeq_epi16(b, zero),
                                                _mm256_cmpeq_epi16(_mm256_and_si256(b, high), zero));
        if (_mm256_movemask_epi8(_mm256_packs_epi16(okA, okB)) != -1) break;
        // The packs work per 128-bit lane: put the quarters back in order.
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + i), bytes);
        i += 32;
    }
    return i + (kLatin1 ? kSse2Kernels.narrowLatin1 : kSse2Kernels.narrowAscii)(s + i, d + i, n - i);
}

template <bool kUnit>
QUEMBA_AVX2 __attribute__((always_inline)) inline __m256i Stops(__m256i v, __m256i zero, __m256i unit) {
    const __m256i nul = _mm256_cmpeq_epi16(v, zero);
    return kUnit ? _mm256_or_si256(nul, _mm256_cmpeq_epi16(v, unit)) : nul;
}

// Units before the NUL (kUnit: or before `unit`), at most max.
template <bool kUnit>
QUEMBA_AVX2_SCAN uint32_t Scan(const uint16_t *s, uint32_t max, uint16_t unit) {
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 31;
    if (misalign & 1) return kUnit ? kScalarKernels.unitOrNul(s, max, unit) : kScalarKernels.unitLength(s, max);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i stopUnit = _mm256_set1_epi16(static_cast<short>(unit));
    const auto *block = reinterpret_cast<const __m256i *>(reinterpret_cast<uintptr_t>(s) - misalign);
    unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(Stops<kUnit>(_mm256_load_si256(block), zero, stopUnit)));
    mask >>= misalign;
    uint32_t base = 0;
    uint32_t step = static_cast<uint32_t>(32 - misalign) / 2;
    for (;;) {
        if (mask != 0) {
            const uint32_t at = base + static_cast<uint32_t>(__builtin_ctz(mask)) / 2;
            return at < max ? at : max;
        }
        base += step;
        if (base >= max) return max;
        step = 16;
        ++block;
        mask = static_cast<unsigned>(_mm256_movemask_epi8(Stops<kUnit>(_mm256_load_si256(block), zero, stopUnit)));
    }
}

QUEMBA_AVX2_SCAN uint32_t UnitLength(const uint16_t *s, uint32_t max) { return Scan<false>(s, max, 0); }

QUEMBA_AVX2_SCAN uint32_t UnitOrNul(const uint16_t *s, uint32_t max, uint16_t unit) { return Scan<true>(s, max, unit); }

QUEMBA_AVX2_SCAN const uint16_t *FindPathSeparator(const uint16_t *s) {
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 31;
    if (misalign & 1) return kScalarKernels.findPathSeparator(s);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i sep0 = _mm256_set1_epi16(static_cast<short>(kPathSeparators[0]));
    const __m256i sep1 = _mm256_set1_epi16(static_cast<short>(kPathSeparators[1]));
    const __m256i sep2 = _mm256_set1_epi16(static_cast<short>(kPathSeparators[2]));
    const __m256i sep3 = _mm256_set1_epi16(static_cast<short>(kPathSeparators[3]));
    const auto *block = reinterpret_cast<const __m256i *>(reinterpret_cast<uintptr_t>(s) - misalign);
    unsigned skip = static_cast<unsigned>(misalign);
    for (;; ++block, skip = 0) {
        const __m256i v = _mm256_load_si256(block);
        const __m256i hit =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(v, sep0), _mm256_cmpeq_epi16(v, sep1)),
                            _mm256_or_si256(_mm256_cmpeq_epi16(v, sep2), _mm256_cmpeq_epi16(v, sep3)));
        unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(hit, _mm256_cmpeq_epi16(v, zero))));
        mask = (mask >> skip) << skip;
        if (mask != 0) {
            const auto *at = reinterpret_cast<const uint16_t *>(block) + __builtin_ctz(mask) / 2;
            return *at == 0 ? nullptr : at;
        }
    }
}

}  // namespace

const KernelTable kAvx2Kernels = {
    "avx2",          Widen<false>,    Widen<true>, Narrow<false>, Narrow<true>, UnitLength, UnitOrNul, FindPathSeparator,
    Utf8ToUnitsSse2, UnitsToUtf8Sse2, Utf8ToUnitsAsLibcSse2, UnitsToUtf8AsLibcSse2,
};

}  // namespace quemba::detail
