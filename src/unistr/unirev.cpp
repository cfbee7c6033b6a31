#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint16_t *unirev(uint16_t *s) {
    uint32_t length = quemba::detail::UnitLength(s);
    for (uint32_t i = 0; i < length / 2; ++i) {
        uint16_t t = s[i];
        s[i] = s[length - 1 - i];
        s[length - 1 - i] = t;
    }
    return s;
}
