// Exact comparison of two byte strings through their UTF-16 forms.
//
// Both strings are converted lazily, one character at a time, so nothing
// is allocated and no failure can pass for equality.
#include "locale/multibyte.h"

#include <cstring>

#include "common/kept_characters.h"

namespace {

// Yields the UTF-16 units of one byte string, then 0 for ever.
class UnitReader {
public:
    explicit UnitReader(const char *s) : p_(s), left_(strlen(s)) {}

    uint16_t next() {
        if (pending_ != 0) {
            const uint16_t low = pending_;
            pending_ = 0;
            return low;
        }
        for (;;) {
            // What libc keeps (a letter waiting for its accent, a second
            // code point) comes out at the end, or before a bad byte.
            if (left_ == 0 || givingBack_) return Kept();
            const mbstate_t before = state_;
            wchar_t wc = quemba::detail::kNoWide;
            // Limited to the bytes before the terminator, as a whole-string
            // conversion would give, so a cut-off character is incomplete.
            const size_t len = quemba::detail::DecodeOne(&wc, p_, left_, state_);
            const bool refused = len == static_cast<size_t>(-1) || len == static_cast<size_t>(-2);
            if (!refused && wc == quemba::detail::kNoWide && len != 0) {
                p_ += len;
                left_ -= len;
                continue;
            }
            const auto code = static_cast<uint32_t>(wc);
            if (quemba::detail::NoText(len, wc) || (code >= 0xD800 && code <= 0xDFFF) ||
                code > 0x10FFFF) {
                if (!mbsinit(&before)) {
                    state_ = before;
                    givingBack_ = true;  // what was kept first, then this byte again
                    continue;
                }
                // A lone low surrogate, which no character converts to, keeps
                // the byte apart from all text; the walk resumes after it.
                const auto byte = static_cast<unsigned char>(*p_);
                ++p_;
                --left_;
                state_ = mbstate_t{};
                return static_cast<uint16_t>(0xDC00 | byte);
            }
            p_ += len;
            left_ -= len;
            return Unit(code);
        }
    }

private:
    uint16_t Unit(uint32_t code) {
        if (code <= 0xFFFF) return static_cast<uint16_t>(code);
        const uint32_t offset = code - 0x10000;
        pending_ = static_cast<uint16_t>(0xDC00 | (offset & 0x3FF));
        return static_cast<uint16_t>(0xD800 | (offset >> 10));
    }

    // The next character libc kept, or 0 at the end of the text.
    uint16_t Kept() {
        wchar_t wc = quemba::detail::kNoWide;
        if (!mbsinit(&state_) && quemba::detail::DecodeOne(&wc, "", 1, state_) == 0 && wc != 0 &&
            wc != quemba::detail::kNoWide) {
            return Unit(static_cast<uint32_t>(wc));
        }
        state_ = mbstate_t{};
        givingBack_ = false;
        return left_ == 0 ? 0 : next();
    }

    bool givingBack_ = false;
    const char *p_;
    size_t left_;
    mbstate_t state_{};
    uint16_t pending_ = 0;
};

}  // namespace

extern "C" QUEMBA_API int32_t KXLstricmp(const char *s1, const char *s2) {
    UnitReader r1(s1);
    UnitReader r2(s2);
    for (;;) {
        const uint16_t u1 = r1.next();
        const uint16_t u2 = r2.next();
        if (u1 != u2 || u1 == 0) return static_cast<int32_t>(u1) - static_cast<int32_t>(u2);
    }
}
