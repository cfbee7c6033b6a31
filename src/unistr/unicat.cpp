#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint16_t *unicat(uint16_t *dest, const uint16_t *src) {
    uint16_t *d = dest + quemba::detail::UnitLength(dest);
    while ((*d++ = *src++) != 0) {
    }
    return dest;
}
