#include <quemba/unistr.h>

extern "C" QUEMBA_API uint16_t *uninset(uint16_t *s, uint16_t c, int32_t n) {
    for (int32_t i = 0; i < n && s[i] != 0; ++i) s[i] = c;
    return s;
}
