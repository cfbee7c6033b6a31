// Character stepping shared by the byte-string helpers.
#pragma once

#include <quemba/locale_services.h>

#include "common/char_look_ahead.h"

#include <cstdlib>
#include <cwchar>

namespace quemba::detail {

// Both kinds of test (MB_CUR_MAX == 1, MB_CUR_MAX < 2) agree.
inline bool SingleByteLocale() { return MB_CUR_MAX < 2; }

// Byte length of the character at p: positive, 0 at the terminator,
// negative for an invalid (-1) or incomplete (-2) sequence. Each character
// is read from the initial state, which `state` is left in: some charsets
// keep a character until they have seen the next (TCVN5712-1 takes "ab" in
// one call), so the length is that of the shortest prefix libc takes.
inline int32_t CharLength(const char *p, mbstate_t *state, size_t limit = kCharLookAhead) {
    *state = mbstate_t{};
    const size_t n = mbrtowc(nullptr, p, limit, state);
    *state = mbstate_t{};
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n <= 1) return static_cast<int32_t>(n);
    mbstate_t probe{};
    if (mbrtowc(nullptr, p, n - 1, &probe) == static_cast<size_t>(-2)) return static_cast<int32_t>(n);
    for (size_t shorter = 1; shorter < n; ++shorter) {
        probe = mbstate_t{};
        const size_t k = mbrtowc(nullptr, p, shorter, &probe);
        if (k != static_cast<size_t>(-2)) return k == static_cast<size_t>(-1) ? -1 : static_cast<int32_t>(shorter);
    }
    return static_cast<int32_t>(n);
}

char *NextChar(const char *s, mbstate_t *state);
char *PrevChar(const char *start, const char *pos);

}  // namespace quemba::detail
