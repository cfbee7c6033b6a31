// Integers as text in any radix from 2 to 36.
#include <quemba/locale_services.h>

namespace {

char *UnsignedText(uint32_t value, char *buf, int32_t radix) {
    if (radix < 2 || radix > 36) {
        buf[0] = '\0';
        return buf;
    }
    const auto base = static_cast<uint32_t>(radix);
    char digits[32];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdefghijklmnopqrstuvwxyz"[value % base];
        value /= base;
    } while (value != 0);
    char *out = buf;
    while (count != 0) *out++ = digits[--count];
    *out = '\0';
    return buf;
}

}  // namespace

extern "C" QUEMBA_API char *KXultoa(uint32_t value, char *buf, int32_t radix) {
    return UnsignedText(value, buf, radix);
}

extern "C" QUEMBA_API char *KXltoa(int32_t value, char *buf, int32_t radix) {
    if (radix == 10 && value < 0) {
        buf[0] = '-';
        // Negate as unsigned so that INT32_MIN keeps its magnitude.
        UnsignedText(0u - static_cast<uint32_t>(value), buf + 1, radix);
        return buf;
    }
    return UnsignedText(static_cast<uint32_t>(value), buf, radix);
}
