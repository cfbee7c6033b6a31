// ASCII (or Latin-1) bytes widened to units and units narrowed to bytes,
// in blocks while every one of them qualifies.
#pragma once

#include <cstdint>

#include "converter/kernels.h"

namespace quemba::detail {

// Runs shorter than the SIMD kernels' smallest block are done here, without
// the call.
constexpr uint32_t kShortRun = 8;

// Widens bytes 0x01-0x7F (kLatin1: 0x01-0xFF) to units, up to n of them;
// returns how many it took. Nothing past the last unit taken is written.
template <bool kLatin1>
inline uint32_t WidenRun(const unsigned char *s, uint16_t *d, uint32_t n) {
    if (n >= kShortRun) {
        const KernelTable &k = Kernels();
        return kLatin1 ? k.widenLatin1(s, d, n) : k.widenAscii(s, d, n);
    }
    uint32_t i = 0;
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
    if (n >= kShortRun) {
        const KernelTable &k = Kernels();
        return kLatin1 ? k.narrowLatin1(s, d, n) : k.narrowAscii(s, d, n);
    }
    uint32_t i = 0;
    while (i < n) {
        const uint16_t u = s[i];
        if (u == 0 || u > (kLatin1 ? 0xFF : 0x7F)) break;
        d[i] = static_cast<char>(u);
        ++i;
    }
    return i;
}

}  // namespace quemba::detail
