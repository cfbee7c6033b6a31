// In-place case change of single-byte characters.
#include "locale/multibyte.h"

#include <cctype>

namespace {

char *ChangeCase(char *s, int (*map)(int)) {
    mbstate_t state{};
    for (char *p = s; *p != '\0';) {
        const int32_t len = quemba::detail::CharLength(p, &state);
        if (len < 0) break;  // leave the bad sequence and the rest alone
        // Through unsigned char, so bytes 0x80..0xFF map like any other.
        if (len == 1) *p = static_cast<char>(map(static_cast<unsigned char>(*p)));
        p += len;
    }
    return s;
}

}  // namespace

extern "C" QUEMBA_API char *KXLstrlwr(char *s) { return ChangeCase(s, tolower); }

extern "C" QUEMBA_API char *KXLstrupr(char *s) { return ChangeCase(s, toupper); }
