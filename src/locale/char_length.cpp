// Measuring byte strings in bytes and in characters.
#include "locale/multibyte.h"

#include <cstring>

extern "C" QUEMBA_API int32_t KXLmblen(const char *s, uint32_t n) {
    return mblen(s, n);
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
