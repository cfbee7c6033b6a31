#include <quemba/unistr.h>

// Only positions before the terminator are tried: an empty s gives null
// even for an empty sub.
extern "C" QUEMBA_API uint16_t *unistr(const uint16_t *s, const uint16_t *sub) {
    for (; *s != 0; ++s) {
        uint32_t i = 0;
        while (sub[i] != 0 && s[i] == sub[i]) ++i;
        if (sub[i] == 0) return const_cast<uint16_t *>(s);
    }
    return nullptr;
}
