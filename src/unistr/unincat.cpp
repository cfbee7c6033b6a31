#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint16_t *unincat(uint16_t *dest, const uint16_t *src, int32_t n) {
    uint16_t *d = dest + quemba::detail::UnitLength(dest);
    for (int32_t i = 0; i < n && *src != 0; ++i) *d++ = *src++;
    *d = 0;
    return dest;
}
