#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

extern "C" QUEMBA_API uint16_t *unipbrk(const uint16_t *s, const uint16_t *accept) {
    for (; *s != 0; ++s) {
        if (quemba::detail::InSet(*s, accept)) return const_cast<uint16_t *>(s);
    }
    return nullptr;
}
