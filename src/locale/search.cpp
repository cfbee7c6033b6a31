// Searching a string for any character of a set.
#include "locale/multibyte.h"

#include <cstring>

using namespace quemba::detail;

extern "C" QUEMBA_API char *KXLstrpbrk(const char *s, const char *accept) {
    if (MB_CUR_MAX == 1) return const_cast<char *>(strpbrk(s, accept));
    mbstate_t s_state{};
    for (const char *c = s; *c != '\0'; c = next_char_r(c, &s_state)) {
        mbstate_t a_state{};
        for (const char *a = accept; *a != '\0'; a = next_char_r(a, &a_state)) {
            const int32_t a_len = char_length(a, &a_state);
            const int32_t c_len = char_length(c, &s_state);
            if (a_len < 0 || c_len < 0) return nullptr;
            if (a_len == c_len && memcmp(a, c, static_cast<size_t>(a_len)) == 0) {
                return const_cast<char *>(c);
            }
        }
    }
    return nullptr;
}
