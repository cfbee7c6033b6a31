// Stepping forwards and backwards one character.
#include "locale/multibyte.h"

#include <cstring>

namespace quemba::detail {

char *NextChar(const char *s, mbstate_t *state) {
    if (s == nullptr) return nullptr;
    if (*s == '\0') return const_cast<char *>(s);
    mbstate_t own{};
    const int32_t len = CharLength(s, state != nullptr ? state : &own);
    if (len >= 0) return const_cast<char *>(s + len);
    return const_cast<char *>(s + strlen(s));  // skip the rest after a bad sequence
}

char *PrevChar(const char *start, const char *pos) {
    if (start == nullptr) return nullptr;
    // pos may belong to another object: compare addresses, not pointers.
    const auto first = reinterpret_cast<uintptr_t>(start);
    const auto target = reinterpret_cast<uintptr_t>(pos);
    if (target < first) return nullptr;
    if (target == first) return const_cast<char *>(start);
    mbstate_t state{};
    const char *p = start;
    for (;;) {
        const int32_t len = CharLength(p, &state);
        if (len <= 0) return const_cast<char *>(start);
        if (reinterpret_cast<uintptr_t>(p) + static_cast<uint32_t>(len) >= target) {
            return const_cast<char *>(p);
        }
        p += len;
    }
}

}  // namespace quemba::detail

extern "C" QUEMBA_API char *KXNextChar_r(const char *s, mbstate_t *state) {
    return quemba::detail::NextChar(s, state);
}

extern "C" QUEMBA_API char *KXNextChar(const char *s) {
    if (s == nullptr) return nullptr;
    if (*s == '\0') return const_cast<char *>(s);
    return quemba::detail::NextChar(s, nullptr);
}

extern "C" QUEMBA_API char *KXPrevChar(const char *start, const char *pos) {
    return quemba::detail::PrevChar(start, pos);
}
