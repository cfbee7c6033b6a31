// Small loops shared by the uni functions. Kept inline so that every
// function stays one tight loop without calls through the PLT; the length
// is measured by the SIMD kernels (one call through their table).
#pragma once

#include <cstdint>

#include "converter/kernels.h"

namespace quemba::detail {

inline uint32_t UnitLength(const uint16_t *s) { return Kernels().unitLength(s, UINT32_MAX); }

// Whether c is one of the units of the NUL-terminated set.
inline bool InSet(uint16_t c, const uint16_t *set) {
    for (; *set != 0; ++set) {
        if (*set == c) return true;
    }
    return false;
}

inline int32_t UnitDifference(uint16_t a, uint16_t b) {
    return static_cast<int32_t>(a) - static_cast<int32_t>(b);
}

}  // namespace quemba::detail
