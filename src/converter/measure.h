// Measuring NUL-terminated input, at most as far as a step can read.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>

#include "converter/kernels.h"

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
inline uint32_t UnitLength(const uint16_t *s, uint32_t max) { return Kernels().unitLength(s, max); }

inline uint32_t Measure(const uint16_t *s, uint32_t limit) { return UnitLength(s, limit); }

}  // namespace quemba::detail
