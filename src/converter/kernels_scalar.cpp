// The kernels for any x86 CPU: four bytes at a time where that pays.
#include <cstring>

#include "converter/kernels.h"

namespace quemba::detail {
namespace {

template <bool kLatin1>
uint32_t Widen(const unsigned char *s, uint16_t *d, uint32_t n) {
    uint32_t i = 0;
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
    while (i < n) {
        const unsigned char c = s[i];
        if (c == 0 || (!kLatin1 && c >= 0x80)) break;
        d[i] = c;
        ++i;
    }
    return i;
}

template <bool kLatin1>
uint32_t Narrow(const uint16_t *s, char *d, uint32_t n) {
    uint32_t i = 0;
    while (i < n) {
        const uint16_t u = s[i];
        if (u == 0 || u > (kLatin1 ? 0xFF : 0x7F)) break;
        d[i] = static_cast<char>(u);
        ++i;
    }
    return i;
}

uint32_t UnitLength(const uint16_t *s, uint32_t max) {
    uint32_t i = 0;
    while (i < max && s[i] != 0) ++i;
    return i;
}

uint32_t UnitOrNul(const uint16_t *s, uint32_t max, uint16_t unit) {
    uint32_t i = 0;
    while (i < max && s[i] != 0 && s[i] != unit) ++i;
    return i;
}

const uint16_t *FindPathSeparator(const uint16_t *s) {
    for (; *s != 0; ++s) {
        for (const uint16_t sep : kPathSeparators) {
            if (*s == sep) return s;
        }
    }
    return nullptr;
}

// No blocks: the one-sequence code takes it all.
BlockRun NoUtf8ToUnits(const unsigned char *, uint32_t, uint16_t *, uint32_t) { return {0, 0}; }
BlockRun NoUnitsToUtf8(const uint16_t *, uint32_t, unsigned char *, uint32_t) { return {0, 0}; }

}  // namespace

const KernelTable kScalarKernels = {
    "scalar",      Widen<false>,  Widen<true>, Narrow<false>, Narrow<true>, UnitLength, UnitOrNul, FindPathSeparator,
    NoUtf8ToUnits, NoUnitsToUtf8, nullptr, nullptr,
};

}  // namespace quemba::detail
