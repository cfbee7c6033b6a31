#include <quemba/unistr.h>

extern "C" QUEMBA_API uint16_t *unipcpy(uint16_t *dest, const uint16_t *src) {
    while ((*dest = *src++) != 0) ++dest;
    return dest;
}
