#include <quemba/unistr.h>

extern "C" QUEMBA_API uint16_t *unicpy(uint16_t *dest, const uint16_t *src) {
    uint16_t *d = dest;
    while ((*d++ = *src++) != 0) {
    }
    return dest;
}
