// Short decimal text of a small number.
#include <quemba/converter.h>

namespace {

constexpr uint32_t kLargest = 9999;

}  // namespace

extern "C" QUEMBA_API void KXZIToA(uint32_t value, char *text) {
    if (text == nullptr) return;
    // Four digits is all the caller's buffer holds.
    if (value > kLargest) value = kLargest;
    char *out = text;
    bool started = false;
    for (uint32_t divisor = 1000; divisor != 0; divisor /= 10) {
        const uint32_t digit = value / divisor;
        if (digit != 0 || divisor == 1) started = true;
        if (started) *out++ = static_cast<char>('0' + digit);
        value -= digit * divisor;
    }
    *out = '\0';
}
