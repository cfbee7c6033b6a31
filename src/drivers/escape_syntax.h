// The escape syntax shared by the default and OEM Euro scanners and parsers.
#pragma once

#include <cstdint>

namespace quemba::detail {

// Unit escape in byte text: "[XXXX]"; byte escape in UTF-16 text: "[XX]".
inline constexpr uint32_t kUnitEscapeLength = 6;
inline constexpr uint32_t kByteEscapeLength = 4;
inline constexpr uint16_t kOpen = 0x5B;
inline constexpr uint16_t kClose = 0x5D;

// Only "0"-"9" and upper-case "A"-"F": the escapes are written in upper case
// and anything else is ordinary text.
template <typename Unit>
constexpr bool IsHex(Unit c) {
    return (c >= 0x30 && c <= 0x39) || (c >= 0x41 && c <= 0x46);
}

// Any other unit counts c - 0x37, wrapping: a parser trusts its scanner,
// and a program's own scanner may mark text that is no escape.
template <typename Unit>
constexpr uint32_t DigitValue(Unit c) {
    return c >= 0x30 && c <= 0x39 ? static_cast<uint32_t>(c) - 0x30 : static_cast<uint32_t>(c) - 0x37;
}

// Tests left to right and stops at the first mismatch, so a NUL ends the
// test before anything behind it is read.
inline bool IsUnitEscape(const unsigned char *p) {
    return p[0] == kOpen && IsHex(p[1]) && IsHex(p[2]) && IsHex(p[3]) && IsHex(p[4]) &&
           p[5] == kClose;
}

inline bool IsByteEscape(const uint16_t *p) {
    return p[0] == kOpen && IsHex(p[1]) && IsHex(p[2]) && p[3] == kClose;
}

// Sums, not bit fields: a value outside 0-15 carries into the next digit.
inline uint16_t UnitEscapeValue(const unsigned char *p) {
    return static_cast<uint16_t>(DigitValue(p[1]) * 4096 + DigitValue(p[2]) * 256 +
                                 DigitValue(p[3]) * 16 + DigitValue(p[4]));
}

inline unsigned char ByteEscapeValue(const uint16_t *p) {
    return static_cast<unsigned char>(DigitValue(p[1]) * 16 + DigitValue(p[2]));
}

// The parsers test nothing but this: no unit behind a NUL is read.
template <typename Unit>
bool HasNul(const Unit *p, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
        if (p[i] == 0) return true;
    }
    return false;
}

// Out-counts of the callbacks are optional for direct callers.
inline void StoreCount(uint32_t *out, uint32_t value) {
    if (out != nullptr) *out = value;
}

}  // namespace quemba::detail
