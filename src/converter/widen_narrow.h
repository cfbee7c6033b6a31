// ASCII (or Latin-1) bytes widened to units and units narrowed to bytes,
// in blocks while every one of them qualifies.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quemba::detail {

// Widens bytes 0x01-0x7F (kLatin1: 0x01-0xFF) to units, up to n of them;
// returns how many it took.
template <bool kLatin1>
inline uint32_t WidenRun(const unsigned char *s, uint16_t *d, uint32_t n) {
    uint32_t i = 0;
#if defined(__SSE2__)
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
    // Short strings: one block of eight.
    if (n - i >= 8) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + i));
        __m128i stop = _mm_cmpeq_epi8(v, zero);
        if (!kLatin1) stop = _mm_or_si128(stop, v);
        if ((_mm_movemask_epi8(stop) & 0xFF) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_unpacklo_epi8(v, zero));
            i += 8;
        }
    }
#else
    while (n - i >= 4) {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        uint32_t stop = (w - 0x01010101u) & ~w & 0x80808080u;  // a zero byte
        if (!kLatin1) stop |= w & 0x80808080u;
        if (stop != 0) break;
        d[i] = s[i];
        d[i + 1] = s[i + 1];
        d[i + 2] = s[i + 2];
        d[i + 3] = s[i + 3];
        i += 4;
    }
#endif
    while (i < n) {
        const unsigned char c = s[i];
        if (c == 0 || (!kLatin1 && c >= 0x80)) break;
        d[i] = c;
        ++i;
    }
    return i;
}

// Narrows units 0x0001-0x007F (kLatin1: 0x0001-0x00FF) to bytes, up to n.
template <bool kLatin1>
inline uint32_t NarrowRun(const uint16_t *s, char *d, uint32_t n) {
    uint32_t i = 0;
#if defined(__SSE2__)
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
    // Short strings: one block of eight.
    if (n - i >= 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i okA = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(_mm_and_si128(a, high), zero));
        if ((_mm_movemask_epi8(_mm_packs_epi16(okA, zero)) & 0xFF) == 0xFF) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(d + i), _mm_packus_epi16(a, zero));
            i += 8;
        }
    }
#endif
    while (i < n) {
        const uint16_t u = s[i];
        if (u == 0 || u > (kLatin1 ? 0xFF : 0x7F)) break;
        d[i] = static_cast<char>(u);
        ++i;
    }
    return i;
}

}  // namespace quemba::detail
