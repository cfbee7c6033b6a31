#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint32_t unicspn(const uint16_t *s, const uint16_t *reject) {
    uint32_t n = 0;
    while (s[n] != 0 && !quemba::detail::InSet(s[n], reject)) ++n;
    return n;
}
