// The kernels for SSE2: 16 bytes (8 units) a block. Built for i386 as well,
// where only the functions here may use SSE2.
#include <emmintrin.h>

#include "converter/kernels.h"

#define QUEMBA_SSE2 __attribute__((target("sse2")))
// Aligned 16-byte loads never cross a page, like libc's own string scans;
// the bytes read past the NUL are never used.
#define QUEMBA_SSE2_SCAN QUEMBA_SSE2 __attribute__((no_sanitize_address, no_sanitize_thread))

namespace quemba::detail {
namespace {

template <bool kLatin1>
QUEMBA_SSE2 uint32_t Widen(const unsigned char *s, uint16_t *d, uint32_t n) {
    uint32_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    // A block is stored only when all of it is taken: the units after the
    // last one taken belong to the caller (the step reports as produced
    // exactly what it wrote). The block with the stop goes to the loop below.
    while (n - i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        __m128i stop = _mm_cmpeq_epi8(v, zero);
        if (!kLatin1) stop = _mm_or_si128(stop, v);
        if (_mm_movemask_epi8(stop) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i + 8), _mm_unpackhi_epi8(v, zero));
        i += 16;
    }
    // Short strings: one block of eight, then the last eight again from
    // before i (units written twice are the same).
    const auto eight = [&](uint32_t at) QUEMBA_SSE2 {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + at));
        __m128i stop = _mm_cmpeq_epi8(v, zero);
        if (!kLatin1) stop = _mm_or_si128(stop, v);
        if ((_mm_movemask_epi8(stop) & 0xFF) != 0) return false;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + at), _mm_unpacklo_epi8(v, zero));
        return true;
    };
    if (n - i >= 8 && eight(i)) i += 8;
    if (i < n && n - i < 8 && n >= 8 && eight(n - 8)) i = n;
    while (i < n) {
        const unsigned char c = s[i];
        if (c == 0 || (!kLatin1 && c >= 0x80)) break;
        d[i] = c;
        ++i;
    }
    return i;
}

template <bool kLatin1>
QUEMBA_SSE2 uint32_t Narrow(const uint16_t *s, char *d, uint32_t n) {
    uint32_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i high = _mm_set1_epi16(static_cast<short>(kLatin1 ? 0xFF00 : 0xFF80));
    while (n - i >= 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + 8));
        // Per unit: all-ones where it narrows (not NUL, no high bits).
        const __m128i okA = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(_mm_and_si128(a, high), zero));
        const __m128i okB = _mm_andnot_si128(_mm_cmpeq_epi16(b, zero), _mm_cmpeq_epi16(_mm_and_si128(b, high), zero));
        // Stored only when every unit narrows: the bytes after the last one
        // taken belong to the caller. The block with the stop goes below.
        if (_mm_movemask_epi8(_mm_packs_epi16(okA, okB)) != 0xFFFF) break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_packus_epi16(a, b));
        i += 16;
    }
    // Short strings: as Widen does.
    const auto eight = [&](uint32_t at) QUEMBA_SSE2 {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + at));
        const __m128i okA = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(_mm_and_si128(a, high), zero));
        if ((_mm_movemask_epi8(_mm_packs_epi16(okA, zero)) & 0xFF) != 0xFF) return false;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(d + at), _mm_packus_epi16(a, zero));
        return true;
    };
    if (n - i >= 8 && eight(i)) i += 8;
    if (i < n && n - i < 8 && n >= 8 && eight(n - 8)) i = n;
    while (i < n) {
        const uint16_t u = s[i];
        if (u == 0 || u > (kLatin1 ? 0xFF : 0x7F)) break;
        d[i] = static_cast<char>(u);
        ++i;
    }
    return i;
}

template <bool kUnit>
QUEMBA_SSE2 __attribute__((always_inline)) inline __m128i Stops(__m128i v, __m128i zero, __m128i unit) {
    const __m128i nul = _mm_cmpeq_epi16(v, zero);
    return kUnit ? _mm_or_si128(nul, _mm_cmpeq_epi16(v, unit)) : nul;
}

// Units before the NUL (kUnit: or before `unit`), at most max.
template <bool kUnit>
QUEMBA_SSE2_SCAN uint32_t Scan(const uint16_t *s, uint32_t max, uint16_t unit) {
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 15;
    if (misalign & 1) return kUnit ? kScalarKernels.unitOrNul(s, max, unit) : kScalarKernels.unitLength(s, max);
    const __m128i zero = _mm_setzero_si128();
    const __m128i stopUnit = _mm_set1_epi16(static_cast<short>(unit));
    const auto *block = reinterpret_cast<const __m128i *>(reinterpret_cast<uintptr_t>(s) - misalign);
    int mask = _mm_movemask_epi8(Stops<kUnit>(_mm_load_si128(block), zero, stopUnit)) >> misalign;
    uint32_t base = 0;
    uint32_t step = static_cast<uint32_t>(16 - misalign) / 2;
    for (;;) {
        if (mask != 0) {
            const uint32_t at = base + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
            return at < max ? at : max;
        }
        base += step;
        if (base >= max) return max;
        step = 8;
        ++block;
        mask = _mm_movemask_epi8(Stops<kUnit>(_mm_load_si128(block), zero, stopUnit));
    }
}

QUEMBA_SSE2_SCAN uint32_t UnitLength(const uint16_t *s, uint32_t max) { return Scan<false>(s, max, 0); }

QUEMBA_SSE2_SCAN uint32_t UnitOrNul(const uint16_t *s, uint32_t max, uint16_t unit) { return Scan<true>(s, max, unit); }

QUEMBA_SSE2_SCAN const uint16_t *FindPathSeparator(const uint16_t *s) {
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 15;
    if (misalign & 1) return kScalarKernels.findPathSeparator(s);
    const __m128i zero = _mm_setzero_si128();
    const __m128i sep0 = _mm_set1_epi16(static_cast<short>(kPathSeparators[0]));
    const __m128i sep1 = _mm_set1_epi16(static_cast<short>(kPathSeparators[1]));
    const __m128i sep2 = _mm_set1_epi16(static_cast<short>(kPathSeparators[2]));
    const __m128i sep3 = _mm_set1_epi16(static_cast<short>(kPathSeparators[3]));
    const auto *block = reinterpret_cast<const __m128i *>(reinterpret_cast<uintptr_t>(s) - misalign);
    int skip = static_cast<int>(misalign);
    for (;; ++block, skip = 0) {
        const __m128i v = _mm_load_si128(block);
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, sep0), _mm_cmpeq_epi16(v, sep1)),
                                         _mm_or_si128(_mm_cmpeq_epi16(v, sep2), _mm_cmpeq_epi16(v, sep3)));
        const int mask = (_mm_movemask_epi8(_mm_or_si128(hit, _mm_cmpeq_epi16(v, zero))) >> skip) << skip;
        if (mask != 0) {
            const auto *at = reinterpret_cast<const uint16_t *>(block) + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
            return *at == 0 ? nullptr : at;
        }
    }
}

}  // namespace

// The UTF-8 blocks: all of their code under SSE2 (gcc -m32 has it nowhere else).
#if !defined(__SSE2__)
#pragma GCC push_options
#pragma GCC target("sse2")
#endif
namespace {
#include "legacy/utf8_blocks.h"
}  // namespace

BlockRun Utf8ToUnitsSse2(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
    return Utf8BlocksToUnits<false>(s, n, d, room);
}

BlockRun Utf8ToUnitsAsLibcSse2(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
    return Utf8BlocksToUnits<true>(s, n, d, room);
}

BlockRun UnitsToUtf8Sse2(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room) {
    return UnitsToUtf8Blocks<false>(s, n, d, room);
}

BlockRun UnitsToUtf8AsLibcSse2(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room) {
    return UnitsToUtf8Blocks<true>(s, n, d, room);
}
#if !defined(__SSE2__)
#pragma GCC pop_options
#endif

const KernelTable kSse2Kernels = {
    "sse2",    Widen<false>,      Widen<true>, Narrow<false>, Narrow<true>, UnitLength, UnitOrNul, FindPathSeparator,
    Utf8ToUnitsSse2, UnitsToUtf8Sse2, Utf8ToUnitsAsLibcSse2, UnitsToUtf8AsLibcSse2,
};

}  // namespace quemba::detail
