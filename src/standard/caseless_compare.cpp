// One-unit lower-casing through the standard set, and case-blind UTF-16
// comparison built on it.
#include <quemba/standard.h>

#include <pthread.h>

#include "standard/standard_set.h"

namespace {

// Serialises the first use from several threads: only one of them loads the
// set, and takes the one reference that is never given back.
pthread_mutex_t first_use = PTHREAD_MUTEX_INITIALIZER;

bool LowerThroughStandard(uint16_t unit, uint16_t *lower) {
    const uint16_t source[2] = {unit, 0};
    uint16_t output[2] = {0, 0};
    if (KXUSUnicodeToLowerCase(output, 2, source, nullptr) != CVT_OK) return false;
    *lower = output[0];
    return true;
}

uint16_t Lower(uint16_t unit) {
    uint16_t lower = unit;
    if (quemba::detail::IsLoaded(KXZStandardLowerCase()) && LowerThroughStandard(unit, &lower)) {
        return lower;
    }
    int32_t init = CVT_OK;
    pthread_mutex_lock(&first_use);
    if (!quemba::detail::IsLoaded(KXZStandardLowerCase())) init = KXUSStandardUnicodeInit();
    pthread_mutex_unlock(&first_use);
    if (init != CVT_OK || !LowerThroughStandard(unit, &lower)) return unit;
    return lower;
}

}  // namespace

extern "C" QUEMBA_API int32_t _unilower(int32_t ch) {
    return Lower(static_cast<uint16_t>(ch));
}

extern "C" QUEMBA_API int32_t kxusuniicmp(const uint16_t *s1, const uint16_t *s2) {
    for (;; ++s1, ++s2) {
        const int32_t a = Lower(*s1);
        const int32_t b = Lower(*s2);
        if (a != b) return a - b;
        if (*s1 == 0) return 0;
    }
}

extern "C" QUEMBA_API int32_t kxusuninicmp(const uint16_t *s1, const uint16_t *s2, uint32_t n) {
    for (; n != 0; ++s1, ++s2) {
        const int32_t a = Lower(*s1);
        const int32_t b = Lower(*s2);
        if (a != b) return a - b;
        if (*s1 == 0 || --n == 0) return 0;
    }
    return 0;
}
