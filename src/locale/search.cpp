// Searching a string for any character of a set.
#include "locale/multibyte.h"

#include <cstring>

extern "C" QUEMBA_API char *KXLstrpbrk(const char *s, const char *accept) {
    if (MB_CUR_MAX == 1) return const_cast<char *>(strpbrk(s, accept));
    mbstate_t sState{};
    for (const char *c = s; *c != '\0'; c = quemba::detail::NextChar(c, &sState)) {
        mbstate_t aState{};
        for (const char *a = accept; *a != '\0'; a = quemba::detail::NextChar(a, &aState)) {
            const int32_t aLen = quemba::detail::CharLength(a, &aState);
            const int32_t cLen = quemba::detail::CharLength(c, &sState);
            if (aLen < 0 || cLen < 0) return nullptr;
            if (aLen == cLen && memcmp(a, c, static_cast<size_t>(aLen)) == 0) {
                return const_cast<char *>(c);
            }
        }
    }
    return nullptr;
}
