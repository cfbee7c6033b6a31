// Collation and time formatting by the current locale.
#include "locale/multibyte.h"

#include <cstring>
#include <ctime>

extern "C" QUEMBA_API int32_t KXLstrcoll(const char *s1, const char *s2) {
    return strcoll(s1, s2);
}

extern "C" QUEMBA_API uint32_t KXLstrxfrm(char *dest, const char *src, uint32_t n) {
    return static_cast<uint32_t>(strxfrm(dest, src, n));
}

extern "C" QUEMBA_API uint32_t KXLstrftime(char *s, uint32_t max, const char *format, const struct tm *time) {
    return static_cast<uint32_t>(strftime(s, max, format, time));
}

namespace {

// Room for one character and its terminator; a length query never
// reports more than kCharLookAhead bytes.
constexpr size_t kCharBuffer = 32;
static_assert(quemba::detail::kCharLookAhead < kCharBuffer);

int32_t Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

extern "C" QUEMBA_API int32_t KXstrncoll(const char *s1, const char *s2, uint32_t n) {
    const bool single = quemba::detail::SingleByteLocale();
    mbstate_t state1{};
    mbstate_t state2{};
    char c1[kCharBuffer];
    char c2[kCharBuffer];
    for (; n != 0; --n) {
        if (*s1 == '\0') return *s2 == '\0' ? 0 : -1;
        if (*s2 == '\0') return 1;
        int32_t len1 = 1;
        int32_t len2 = 1;
        if (!single) {
            len1 = quemba::detail::CharLength(s1, &state1);
            len2 = quemba::detail::CharLength(s2, &state2);
            // No character to collate: order the rest by its bytes.
            if (len1 < 0 || len2 < 0) return Sign(strcmp(s1, s2));
        }
        memcpy(c1, s1, static_cast<size_t>(len1));
        c1[len1] = '\0';
        memcpy(c2, s2, static_cast<size_t>(len2));
        c2[len2] = '\0';
        const int order = strcoll(c1, c2);
        if (order != 0) return order;
        s1 += len1;
        s2 += len2;
    }
    return 0;
}
