#include <quemba/unistr.h>

// The terminator takes part in the search, so c == 0 finds it.
extern "C" QUEMBA_API uint16_t *unichr(const uint16_t *s, uint16_t c) {
    for (;; ++s) {
        if (*s == c) return const_cast<uint16_t *>(s);
        if (*s == 0) return nullptr;
    }
}
