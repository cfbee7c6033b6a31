#include <quemba/unistr.h>

extern "C" QUEMBA_API uint16_t *unirchr(const uint16_t *s, uint16_t c) {
    const uint16_t *found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (*s == 0) return const_cast<uint16_t *>(found);
    }
}
