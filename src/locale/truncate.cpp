// Shortening a string in place to fit a buffer.
#include "locale/multibyte.h"

#include <cstring>

extern "C" QUEMBA_API int32_t KXLTruncateString(char *s, int32_t max) {
    if (max < 0) max = 0;  // nothing fits a buffer without room
    const auto length = static_cast<int32_t>(strlen(s));
    if (length < max) return length;
    *quemba::detail::PrevChar(s, s + max) = '\0';
    return static_cast<int32_t>(strlen(s));
}
