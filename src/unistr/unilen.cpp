#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint32_t unilen(const uint16_t *s) {
    return quemba::detail::UnitLength(s);
}

extern "C" QUEMBA_API uint32_t unisize(const uint16_t *s) {
    return 2 * quemba::detail::UnitLength(s) + 2;
}
