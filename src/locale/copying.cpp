// Bounded copies that never split a character.
#include "locale/multibyte.h"

#include <cstring>

extern "C" QUEMBA_API char *KXstrncpy(char *dest, const char *src, uint32_t n) {
    if (dest == nullptr || src == nullptr) return nullptr;
    if (n == 0) return dest;
    char *out = dest;
    if (quemba::detail::SingleByteLocale()) {
        while (*src != '\0') {
            *out++ = *src++;
            if (--n == 0) return dest;  // count used up: no terminator
        }
        *out = '\0';
        return dest;
    }
    mbstate_t state{};
    while (*src != '\0') {
        const int32_t len = quemba::detail::CharLength(src, &state);
        if (len < 0) break;
        memcpy(out, src, static_cast<size_t>(len));
        out += len;
        src += len;
        if (--n == 0) return dest;
    }
    *out = '\0';
    return dest;
}

extern "C" QUEMBA_API char *KXLstrbcpy(char *dest, const char *src, uint32_t size) {
    if (dest == nullptr || src == nullptr) return nullptr;
    if (size == 0) return dest;  // no room even for the terminator
    uint32_t room = size - 1;
    char *out = dest;
    if (quemba::detail::SingleByteLocale()) {
        while (room != 0 && *src != '\0') {
            *out++ = *src++;
            --room;
        }
    } else {
        mbstate_t state{};
        while (room != 0 && *src != '\0') {
            const int32_t len = quemba::detail::CharLength(src, &state);
            // An incomplete sequence, taken as unsigned, never fits.
            if (len == -1 || static_cast<uint32_t>(len) > room) break;
            memcpy(out, src, static_cast<size_t>(len));
            out += len;
            src += len;
            room -= static_cast<uint32_t>(len);
        }
    }
    *out = '\0';
    return dest;
}
