#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint32_t unispn(const uint16_t *s, const uint16_t *accept) {
    uint32_t n = 0;
    while (s[n] != 0 && quemba::detail::InSet(s[n], accept)) ++n;
    return n;
}
