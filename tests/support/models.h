// The reference models: each public behaviour as the plainest code would do
// it, one libc call per character. The test programs, the sweep and the fuzz
// targets all hold the library to these. No heap where a sweep calls them
// millions of times.
//
// Engine steps: one mbrtowc or wcrtomb (or towupper/towlower) per character,
// with every step's stop rules. An invalid sequence is one unmappable byte, a
// character above U+FFFF is unmappable with all its bytes, so is the first
// byte of an incomplete one at the end of a NUL-terminated source. A
// character libc keeps in the conversion state is given back at every stop;
// counts are reported only where nothing is kept, so a kept character that
// does not fit takes the step back to that point.
#pragma once

#include <quemba/converter.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

namespace qref {

constexpr uint32_t kUnset = 0xDEADBEEF;
constexpr uint32_t kMaxOut = 4096;

// Output units, or bytes one per unit.
struct Output {
    uint16_t units[kMaxOut];
    uint32_t size = 0;

    void push_back(uint16_t u) { units[size++] = u; }
    const uint16_t *data() const { return units; }
    std::u16string str16() const { return std::u16string(units, units + size); }
    std::string bytes() const {
        std::string s(size, '\0');
        for (uint32_t i = 0; i < size; ++i) s[i] = static_cast<char>(units[i]);
        return s;
    }
    bool operator==(const Output &o) const {
        return size == o.size && std::memcmp(units, o.units, size * sizeof units[0]) == 0;
    }
};

struct Result {
    int32_t status = 0;
    uint32_t consumed = kUnset;
    uint32_t produced = kUnset;
    uint32_t noMap = kUnset;
    Output out;

    bool operator==(const Result &o) const {
        return status == o.status && consumed == o.consumed && produced == o.produced &&
               noMap == o.noMap && out == o.out;
    }
};

// The checks every step makes before it converts anything; false when one
// of them decided the result.
inline bool Starts(bool empty, bool atNul, uint32_t space, Result &r) {
    r.consumed = r.produced = 0;
    if (empty) r.status = CVT_E_SOURCE_EXHAUSTED;
    else if (atNul) r.status = CVT_OK;
    else if (space == 0) r.status = CVT_E_BUFFER_FULL;
    else return true;
    return false;
}

// The checks after each character: the count used up, the space full, the
// terminator reached (never read past a counted source).
inline bool Ends(bool countDone, bool atNul, uint32_t space, Result &r) {
    if (countDone) r.status = CVT_E_SOURCE_EXHAUSTED;
    else if (r.out.size == space) r.status = atNul ? CVT_OK : CVT_E_BUFFER_FULL;
    else if (atNul) r.status = CVT_OK;
    else return false;
    return true;
}

constexpr wchar_t kNoWide = -1;

// mbrtowc; a character given without a byte taken that leaves the state as
// it was would come again for ever (glibc's JIS X 0213 decoders), so it
// clears the state.
inline size_t Decode(wchar_t *wide, const char *s, size_t n, std::mbstate_t &state) {
    const std::mbstate_t before = state;
    *wide = kNoWide;
    const size_t k = std::mbrtowc(wide, s, n, &state);
    if (k == 0 && *wide != kNoWide && *wide != 0 && std::memcmp(&before, &state, sizeof state) == 0) state = {};
    return k;
}

// What libc keeps, given back by showing it the end of the text.
inline bool FlushDecoded(std::mbstate_t &state, uint32_t space, Result &r) {
    for (int i = 0; i < 8 && !std::mbsinit(&state); ++i) {
        wchar_t wide = kNoWide;
        if (Decode(&wide, "", 1, state) != 0 || wide == 0 || wide == kNoWide) break;
        if (r.out.size == space) return false;
        r.out.push_back(static_cast<uint16_t>(wide));
    }
    return true;
}

inline bool FlushEncoded(std::mbstate_t &state, uint32_t space, Result &r) {
    if (std::mbsinit(&state)) return true;
    char scratch[MB_LEN_MAX];
    const size_t n = std::wcrtomb(scratch, L'\0', &state);
    if (n == static_cast<size_t>(-1) || n <= 1) return true;
    if (n - 1 > space - r.out.size) return false;
    for (size_t i = 0; i + 1 < n; ++i) r.out.push_back(static_cast<unsigned char>(scratch[i]));
    return true;
}

// The stop after a character or a refusal, with what libc keeps given back:
// `clean` holds the counts where it last kept nothing.
template <typename Flush>
inline void Finish(std::mbstate_t &state, uint32_t space, uint32_t &in, uint32_t cleanIn, uint32_t cleanOut,
                   Result &r, Flush flush) {
    if (std::mbsinit(&state)) return;
    if (r.status != CVT_E_BUFFER_FULL && !flush(state, space, r)) r.status = CVT_E_BUFFER_FULL;
    if (r.status == CVT_E_BUFFER_FULL) {
        in = cleanIn;
        r.out.size = cleanOut;
        r.noMap = kUnset;
    }
}

// KXUToUnicode.
inline Result ToUnicode(const char *src, int32_t count, uint32_t space) {
    Result r;
    if (space > kMaxOut) std::abort();
    if (!Starts(count == 0, src[0] == 0, space, r)) return r;
    const bool counted = count > 0;
    const uint32_t avail = counted ? static_cast<uint32_t>(count) : static_cast<uint32_t>(std::strlen(src));
    uint32_t in = 0, cleanIn = 0, cleanOut = 0;
    std::mbstate_t state{};
    for (;;) {
        const std::mbstate_t before = state;
        wchar_t wide = kNoWide;
        const size_t n = Decode(&wide, src + in, avail - in, state);
        if (n == static_cast<size_t>(-2)) {
            state = before;
            if (counted) {
                r.status = CVT_E_SOURCE_EXHAUSTED;
            } else {
                in += 1;
                r.noMap = 1;
                r.status = CVT_E_NO_MAP;
            }
            break;
        }
        if (n == static_cast<size_t>(-1) || wide == 0 || (n == 0 && wide == kNoWide)) {
            state = before;
            in += 1;
            r.noMap = 1;
            r.status = CVT_E_NO_MAP;
            break;
        }
        in += static_cast<uint32_t>(n);
        if (wide != kNoWide && static_cast<uint32_t>(wide) > 0xFFFF) {
            r.noMap = static_cast<uint32_t>(n);
            r.status = CVT_E_NO_MAP;
            break;
        }
        if (wide != kNoWide) r.out.push_back(static_cast<uint16_t>(wide));
        if (std::mbsinit(&state)) {
            cleanIn = in;
            cleanOut = r.out.size;
        }
        const bool done = counted && in == static_cast<uint32_t>(count);
        if (Ends(done, !done && src[in] == 0, space, r)) break;
    }
    Finish(state, space, in, cleanIn, cleanOut, r, FlushDecoded);
    r.consumed = in;
    r.produced = r.out.size;
    return r;
}

enum class Map { Bytes, Upper, Lower };

// KXUToByte (bytes one per output unit), KXUToUpper and KXUToLower: one
// libc call per unit.
inline Result FromUnits(Map map, const uint16_t *src, int32_t count, uint32_t space) {
    Result r;
    if (space > kMaxOut) std::abort();
    if (!Starts(count == 0, src[0] == 0, space, r)) return r;
    const bool counted = count > 0;
    uint32_t in = 0, cleanIn = 0, cleanOut = 0;
    std::mbstate_t state{};
    for (;;) {
        const wint_t u = src[in];
        if (map == Map::Bytes) {
            const std::mbstate_t before = state;
            char scratch[MB_LEN_MAX];
            const size_t n = std::wcrtomb(scratch, static_cast<wchar_t>(u), &state);
            if (n == static_cast<size_t>(-1)) {
                state = before;
                in += 1;
                r.noMap = 1;
                r.status = CVT_E_NO_MAP;
                break;
            }
            if (n > space - r.out.size) {
                state = before;
                r.status = CVT_E_BUFFER_FULL;
                break;
            }
            for (size_t i = 0; i < n; ++i) r.out.push_back(static_cast<unsigned char>(scratch[i]));
        } else {
            r.out.push_back(static_cast<uint16_t>(map == Map::Upper ? std::towupper(u) : std::towlower(u)));
        }
        in += 1;
        if (std::mbsinit(&state)) {
            cleanIn = in;
            cleanOut = r.out.size;
        }
        const bool done = counted && in == static_cast<uint32_t>(count);
        if (Ends(done, !done && src[in] == 0, space, r)) break;
    }
    Finish(state, space, in, cleanIn, cleanOut, r, FlushEncoded);
    r.consumed = in;
    r.produced = r.out.size;
    return r;
}

// ==== converter handles ====


// ==== table handle, UTF-8 ====


// ==== multibyte helpers, locale services ====

// The character at p, as mbrtowc reads at most limit bytes: 0 at the
// terminator, -1 invalid, -2 incomplete. A charset that holds a character
// until it has seen the next takes it alone: the shortest prefix it reads.
inline int32_t CharLen(const char *p, size_t limit = 16) {
    std::mbstate_t st{};
    const size_t whole = std::mbrtowc(nullptr, p, limit, &st);
    for (size_t k = 1; k < whole && whole <= limit; ++k) {
        st = {};
        const size_t r = std::mbrtowc(nullptr, p, k, &st);
        if (r != static_cast<size_t>(-2)) return static_cast<int32_t>(r);
    }
    return static_cast<int32_t>(whole);
}

// Where each whole character of s starts, then where the walk stopped:
// at the terminator or at a bad sequence.
inline void Walk(const char *s, std::vector<uint32_t> &at) {
    at.assign(1, 0);
    for (int32_t n; (n = CharLen(s + at.back())) > 0;) at.push_back(at.back() + static_cast<uint32_t>(n));
}

// KXPrevChar as an offset: the character that holds byte pos-1, or 0.
inline uint32_t PrevAt(const std::vector<uint32_t> &at, size_t pos) {
    const auto i = std::lower_bound(at.begin() + 1, at.end(), pos);
    return pos == 0 || i == at.end() ? 0 : *(i - 1);
}

// KXstrncoll: character pairs through strcoll, bytes after a bad sequence.
inline int32_t StrnColl(const char *a, const char *b, uint32_t n) {
    for (; n != 0; --n) {
        if (*a == 0 || *b == 0) return (*a != 0) - (*b != 0);
        int32_t la = 1, lb = 1;
        if (MB_CUR_MAX > 1 && ((la = CharLen(a)) < 0 || (lb = CharLen(b)) < 0)) {
            const int c = std::strcmp(a, b);
            return (c > 0) - (c < 0);
        }
        char ca[24] = {}, cb[24] = {};
        std::memcpy(ca, a, static_cast<size_t>(la));
        std::memcpy(cb, b, static_cast<size_t>(lb));
        if (const int o = std::strcoll(ca, cb)) return o;
        a += la;
        b += lb;
    }
    return 0;
}

// The UTF-16 form KXLstricmp compares: KXUToUnicode's conversion, with
// each byte it refuses as 0xDC00 + byte and a character above U+FFFF as
// its surrogate pair.
inline void Utf16Form(const char *s, std::u16string &u) {
    u.clear();
    for (;;) {
        const Result r = ToUnicode(s, -1, kMaxOut);
        u.append(r.out.units, r.out.units + r.out.size);
        s += r.consumed;
        if (r.status == CVT_E_NO_MAP && r.noMap == 1) u += char16_t(0xDC00 | static_cast<uint8_t>(s[-1]));
        wchar_t w = 0;
        std::mbstate_t st{};
        if (r.status == CVT_E_NO_MAP && r.noMap > 1 && std::mbrtowc(&w, s - r.noMap, r.noMap, &st) == r.noMap) {
            u += char16_t(0xD800 | ((w - 0x10000) >> 10));
            u += char16_t(0xDC00 | ((w - 0x10000) & 0x3FF));
        }
        if (r.status != CVT_E_NO_MAP && r.status != CVT_E_BUFFER_FULL) return;
    }
}

// Digits of v in radix 2..36 by plain division; "" for another radix.
inline std::string Radix(uint32_t v, int32_t radix) {
    std::string d;
    if (radix < 2 || radix > 36) return d;
    do d.insert(d.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[v % static_cast<uint32_t>(radix)]);
    while ((v /= static_cast<uint32_t>(radix)) != 0);
    return d;
}


// ==== UTF-16 strings, case ====


}  // namespace qref
