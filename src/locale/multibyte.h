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
// negative for an invalid (-1) or incomplete (-2) sequence.
inline int32_t CharLength(const char *p, mbstate_t *state, size_t limit = kCharLookAhead) {
    return static_cast<int32_t>(mbrtowc(nullptr, p, limit, state));
}

char *NextChar(const char *s, mbstate_t *state);
char *PrevChar(const char *start, const char *pos);

}  // namespace quemba::detail
