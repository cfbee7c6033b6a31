#include <quemba/unistr.h>

#include "unistr/unistr_internal.h"

namespace {

// Where the next unitok(NULL, ...) continues; shared by the whole process.
uint16_t *last = nullptr;

}  // namespace

extern "C" QUEMBA_API uint16_t *unitok(uint16_t *s, const uint16_t *delim) {
    using quemba::detail::InSet;
    if (s == nullptr) {
        // Nothing tokenised yet: there is no position to continue from.
        if (last == nullptr) return nullptr;
        s = last;
    }
    while (*s != 0 && InSet(*s, delim)) ++s;
    if (*s == 0) {
        last = s;
        return nullptr;
    }
    uint16_t *token = s;
    while (*s != 0 && !InSet(*s, delim)) ++s;
    if (*s != 0) {
        *s = 0;
        last = s + 1;
    } else {
        last = s;
    }
    return token;
}
