#include <quemba/unistr.h>

extern "C" QUEMBA_API uint16_t *unincpy(uint16_t *dest, const uint16_t *src, int32_t n) {
    int32_t i = 0;
    for (; i < n && src[i] != 0; ++i) dest[i] = src[i];
    // One terminator when the source ended first; the rest is left alone.
    if (i < n) dest[i] = 0;
    return dest;
}
