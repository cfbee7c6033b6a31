// Measuring NUL-terminated input, at most as far as a step can read.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quemba::detail {

// How far a step with `space` output units can read: each unit it produces
// consumes at most `longest` input units, and the margin gives the last
// character it may examine more input than any character has. So a
// measure bounded by this examines the same bytes as the full length would.
inline uint32_t Reach(uint32_t space, uint32_t longest) {
    const uint64_t bound = static_cast<uint64_t>(space) * longest + 16;
    return bound >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bound);
}

// Input units before the NUL, at most `limit`.
inline uint32_t Measure(const unsigned char *s, uint32_t limit) {
    return static_cast<uint32_t>(strnlen(reinterpret_cast<const char *>(s), limit));
}

// The same for UTF-16 input.
#if defined(__SSE2__)
// Aligned 16-byte loads never cross a page, like libc's own string scans;
// the bytes read past the NUL are never used.
__attribute__((no_sanitize_address, no_sanitize_thread)) inline uint32_t UnitLength(const uint16_t *s, uint32_t max) {
    uint32_t i = 0;
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 15;
    if (misalign & 1) {
        while (i < max && s[i] != 0) ++i;
        return i;
    }
    const __m128i zero = _mm_setzero_si128();
    const auto *block = reinterpret_cast<const __m128i *>(reinterpret_cast<uintptr_t>(s) - misalign);
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero)) >> misalign;
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
        mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero));
    }
}
#else
inline uint32_t UnitLength(const uint16_t *s, uint32_t max) {
    uint32_t i = 0;
    while (i < max && s[i] != 0) ++i;
    return i;
}
#endif

inline uint32_t Measure(const uint16_t *s, uint32_t limit) { return UnitLength(s, limit); }

}  // namespace quemba::detail
