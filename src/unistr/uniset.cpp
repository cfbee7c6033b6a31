#include <quemba/unistr.h>

extern "C" QUEMBA_API uint16_t *uniset(uint16_t *s, uint16_t c) {
    for (uint16_t *p = s; *p != 0; ++p) *p = c;
    return s;
}
