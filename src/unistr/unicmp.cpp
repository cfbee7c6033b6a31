#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

using quemba::detail::UnitDifference;

extern "C" QUEMBA_API int32_t unicmp(const uint16_t *s1, const uint16_t *s2) {
    while (*s1 == *s2 && *s1 != 0) {
        ++s1;
        ++s2;
    }
    return UnitDifference(*s1, *s2);
}

extern "C" QUEMBA_API int32_t unincmp(const uint16_t *s1, const uint16_t *s2, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        if (s1[i] != s2[i] || s1[i] == 0) return UnitDifference(s1[i], s2[i]);
    }
    return 0;
}
