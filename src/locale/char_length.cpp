// Measuring byte strings in bytes and in characters.
#include "locale/multibyte.h"

#include <cstring>

extern "C" QUEMBA_API int32_t KXLmblen(const char *s, uint32_t n) {
    // No charset of a locale depends on a shift state.
    if (s == nullptr || *s == '\0') return 0;
    if (n == 0) return -1;
    mbstate_t state{};
    const int32_t len = quemba::detail::CharLength(s, &state, n);
    return len < 0 ? -1 : len;
}

extern "C" QUEMBA_API uint32_t KXstrlen(const char *s) {
    return static_cast<uint32_t>(strlen(s));
}

extern "C" QUEMBA_API uint32_t KXLmbslen(const char *s) {
    if (quemba::detail::SingleByteLocale()) return static_cast<uint32_t>(strlen(s));
    uint32_t count = 0;
    mbstate_t state{};
    const size_t limit = MB_CUR_MAX;
    while (*s != '\0') {
        const int32_t len = quemba::detail::CharLength(s, &state, limit);
        if (len <= 0) break;  // a bad sequence ends the count
        s += len;
        ++count;
    }
    return count;
}
