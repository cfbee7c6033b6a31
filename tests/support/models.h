// The reference models: each public behaviour as the plainest code would do
// it, one libc call per character, no heap in what the sweep calls millions
// of times. Engine steps: an invalid sequence is one unmappable byte, a
// character above U+FFFF is unmappable with all its bytes, so is the first
// byte of an incomplete one at the end of a NUL-terminated source. What libc
// keeps in the state is given back at every stop; a kept character that does
// not fit takes the step back to where nothing was kept.
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
#include <type_traits>
#include <vector>

namespace qref {

constexpr uint32_t kUnset = 0xDEADBEEF;
constexpr uint32_t kMaxOut = 4096;

// Output units, or bytes one per unit.
struct Output {
    uint16_t units[kMaxOut];
    uint32_t size = 0;

    void push_back(uint16_t u) { units[size++] = u; }
};

struct Result {
    int32_t status = 0;
    uint32_t consumed = kUnset, produced = kUnset, noMap = kUnset;
    Output out;
};

// Before any character; false when that decided the result.
inline bool Starts(bool empty, bool atNul, uint32_t space, Result &r) {
    r.consumed = r.produced = 0;
    r.status = empty ? CVT_E_SOURCE_EXHAUSTED : atNul ? CVT_OK : CVT_E_BUFFER_FULL;
    return !empty && !atNul && space != 0;
}

// After each character (never read past a counted source).
inline bool Ends(bool countDone, bool atNul, uint32_t space, Result &r) {
    r.status = countDone ? CVT_E_SOURCE_EXHAUSTED : atNul ? CVT_OK : CVT_E_BUFFER_FULL;
    return countDone || atNul || r.out.size == space;
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
    wchar_t wide = kNoWide;
    for (int i = 0; i < 8 && !std::mbsinit(&state) && Decode(&wide, "", 1, state) == 0 && wide != 0 && wide != kNoWide; ++i) {
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
    const bool kept = !std::mbsinit(&state);
    if (kept && r.status != CVT_E_BUFFER_FULL && !flush(state, space, r)) r.status = CVT_E_BUFFER_FULL;
    if (kept && r.status == CVT_E_BUFFER_FULL) in = cleanIn, r.out.size = cleanOut, r.noMap = kUnset;
    r.consumed = in, r.produced = r.out.size;
}

// KXUToUnicode.
inline Result ToUnicode(const char *src, int32_t count, uint32_t space) {
    Result r;
    if (!Starts(count == 0, src[0] == 0, space, r)) return r;
    const bool counted = count > 0;
    const uint32_t avail = counted ? static_cast<uint32_t>(count) : static_cast<uint32_t>(std::strlen(src));
    uint32_t in = 0, cleanIn = 0, cleanOut = 0;
    std::mbstate_t state{};
    for (;;) {
        const std::mbstate_t before = state;
        wchar_t wide = kNoWide;
        const size_t n = Decode(&wide, src + in, avail - in, state);
        const bool shortEnd = n == static_cast<size_t>(-2) && counted;
        if (shortEnd || n == static_cast<size_t>(-2) || n == static_cast<size_t>(-1) || wide == 0 || (n == 0 && wide == kNoWide)) {
            state = before;
            if (!shortEnd) in += 1, r.noMap = 1;
            r.status = shortEnd ? CVT_E_SOURCE_EXHAUSTED : CVT_E_NO_MAP;
            break;
        }
        in += static_cast<uint32_t>(n);
        if (wide != kNoWide && static_cast<uint32_t>(wide) > 0xFFFF) {
            r.noMap = static_cast<uint32_t>(n), r.status = CVT_E_NO_MAP;
            break;
        }
        if (wide != kNoWide) r.out.push_back(static_cast<uint16_t>(wide));
        if (std::mbsinit(&state)) cleanIn = in, cleanOut = r.out.size;
        const bool done = counted && in == static_cast<uint32_t>(count);
        if (Ends(done, !done && src[in] == 0, space, r)) break;
    }
    Finish(state, space, in, cleanIn, cleanOut, r, FlushDecoded);
    return r;
}

enum class Map { Bytes, Upper, Lower };

// KXUToByte (bytes one per output unit), KXUToUpper and KXUToLower: one
// libc call per unit.
inline Result FromUnits(Map map, const uint16_t *src, int32_t count, uint32_t space) {
    Result r;
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
            if (n == static_cast<size_t>(-1) || n > space - r.out.size) {
                state = before;
                if (n == static_cast<size_t>(-1)) in += 1, r.noMap = 1;
                r.status = n == static_cast<size_t>(-1) ? CVT_E_NO_MAP : CVT_E_BUFFER_FULL;
                break;
            }
            for (size_t i = 0; i < n; ++i) r.out.push_back(static_cast<unsigned char>(scratch[i]));
        } else {
            r.out.push_back(static_cast<uint16_t>(map == Map::Upper ? std::towupper(u) : std::towlower(u)));
        }
        in += 1;
        if (std::mbsinit(&state)) cleanIn = in, cleanOut = r.out.size;
        const bool done = counted && in == static_cast<uint32_t>(count);
        if (Ends(done, !done && src[in] == 0, space, r)) break;
    }
    Finish(state, space, in, cleanIn, cleanOut, r, FlushEncoded);
    return r;
}

// ==== converter handles ====
// The drivers: engine steps over pieces that end at an escape (and, for
// paths, at a separator), the no-map action at each refusal. Any length:
// a step that fills the model's room is followed by the next.
template <typename T>
inline uint32_t Code(T c) { return static_cast<uint32_t>(static_cast<typename std::make_unsigned<T>::type>(c)); }
inline bool IsHex(uint32_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
template <typename T>
inline uint32_t HexValue(const T *s, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = v << 4 | (Code(s[i]) <= '9' ? Code(s[i]) - '0' : Code(s[i]) - 'A' + 10);
    return v;
}

// Where the first escape of `width` units ("[", hex digits, "]") starts
// within length (-1: up to the NUL); -1 when there is none.
template <typename T>
inline int32_t ScanEscape(const T *s, int32_t length, uint32_t width) {
    for (uint32_t k = 0; (length < 0 || k + width <= static_cast<uint32_t>(length)) && s[k] != 0; ++k) {
        uint32_t i = 0;
        while (i < width && (i == 0 ? s[k] == '[' : i + 1 == width ? s[k + i] == ']' : IsHex(Code(s[k + i])))) ++i;
        if (i == width) return static_cast<int32_t>(k);
    }
    return -1;
}

// The no-map action for n refused bytes or units; false where it stops.
template <typename T>
inline bool NoMap(int32_t action, uint16_t sub, const T *bad, uint32_t n, std::u16string &out) {
    if (action == NOMAP_SUBSTITUTE) out += static_cast<char16_t>(sub);
    for (uint32_t i = 0; action == NOMAP_FIXER && i < n; ++i) {
        out += u'[';
        for (int d = 2 * sizeof(T) - 1; d >= 0; --d) out += u"0123456789ABCDEF"[(Code(bad[i]) >> 4 * d) & 15];
        out += u']';
    }
    return action == NOMAP_SUBSTITUTE || action == NOMAP_FIXER;
}

// Bytes to UTF-16 (length -1: up to the NUL). A character left incomplete
// by an escape's bracket is read whole when the bracket ends it.
inline int32_t BytesToUnits(const char *src, int32_t remaining, int32_t action, uint16_t subUni, bool scan, std::u16string &out) {
    for (int32_t across = 0;;) {
        if (remaining == 0) return CVT_OK;
        const int32_t escape = across == 0 && scan ? ScanEscape(src, remaining, 6) : -1;
        scan = scan && (across != 0 || escape >= 0);
        const int32_t piece = across != 0 ? across : escape >= 0 ? escape : remaining;
        const bool whole = across != 0;
        const Result r = ToUnicode(src, piece, kMaxOut);
        out.append(reinterpret_cast<const char16_t *>(r.out.units), r.out.size);
        src += r.consumed, across = 0;
        if (remaining > 0) remaining -= static_cast<int32_t>(r.consumed);
        if (r.status == CVT_OK) return piece == -1 ? CVT_OK : CVT_E_EARLY_TERMINATOR;
        if (r.status == CVT_E_BUFFER_FULL) continue;
        if (r.status == CVT_E_NO_MAP && !NoMap(action, subUni, src - r.noMap, r.noMap, out)) return CVT_E_NO_MAP;
        const uint32_t left = piece > 0 && r.status != CVT_E_NO_MAP ? static_cast<uint32_t>(piece) - r.consumed : 0;
        std::mbstate_t state{};
        const size_t n = left == 0 || escape < 0 ? 0 : std::mbrtowc(nullptr, src, remaining < 0 ? strnlen(src, 16) : std::min<size_t>(remaining, 16), &state);
        if (n > left && n < static_cast<size_t>(-2)) {
            across = static_cast<int32_t>(n);
        } else if (left != 0) {
            src += 1, remaining -= remaining > 0 ? 1 : 0;
            if (!NoMap(action, subUni, src - 1, 1, out)) return CVT_E_NO_MAP;
        } else if (r.status != CVT_E_NO_MAP && !whole) {
            if (escape < 0) return CVT_OK;
            out += static_cast<char16_t>(HexValue(src + 1, 4));
            src += 6, remaining -= remaining > 0 ? 6 : 0;
        }
    }
}

inline bool IsSeparator(uint16_t u) { return u == 0x5C || u == 0xA5 || u == 0x20A9 || u == 0xF8F7; }

// NUL-terminated UTF-16 to bytes, one per output unit; for a path each
// separator is the byte 0x5C.
inline int32_t UnitsToBytes(const uint16_t *src, bool path, int32_t action, uint8_t subByte, bool scan, std::u16string &out) {
    for (;;) {
        const int32_t escape = scan ? ScanEscape(src, -1, 4) : -1;
        int32_t separator = -1;
        for (int32_t k = 0; path && separator < 0 && src[k] != 0; ++k) separator = IsSeparator(src[k]) ? k : -1;
        const bool atSeparator = separator >= 0 && (escape < 0 || separator < escape);
        const int32_t end = atSeparator ? separator : escape;
        const Result r = FromUnits(Map::Bytes, src, end, kMaxOut);
        out.append(reinterpret_cast<const char16_t *>(r.out.units), r.out.size);
        src += r.consumed;
        if (r.status == CVT_OK || (r.status == CVT_E_SOURCE_EXHAUSTED && end < 0)) return CVT_OK;
        if (r.status == CVT_E_NO_MAP && !NoMap(action, subByte, src - r.noMap, r.noMap, out)) return CVT_E_NO_MAP;
        if (r.status != CVT_E_SOURCE_EXHAUSTED) continue;
        out += atSeparator ? u'\\' : static_cast<char16_t>(HexValue(src + 1, 2));
        src += atSeparator ? 1 : 4;
    }
}

// ==== table handle, UTF-8 ====

// KXLocalToUnicode: a rejected byte is one substitute and a fresh state, a
// character above U+FFFF one substitute for all its bytes; what libc keeps
// comes out before a refusal and at the end. r.out holds the units.
inline int32_t TableToUnits(const char *s, uint16_t sub, uint32_t room, Result &r) {
    size_t left = std::strlen(s);
    std::mbstate_t state{};
    bool kept = true;
    while (*s != 0 && r.out.size < room) {
        const std::mbstate_t before = state;
        wchar_t wide = kNoWide;
        size_t n = Decode(&wide, s, left, state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || wide == 0 || (n == 0 && wide == kNoWide)) {
            state = before;
            if (!(kept = FlushDecoded(state, room, r))) break;
            if (sub == 0) return LOC_E_NO_MAP;
            if (r.out.size == room) break;
            state = {};
            wide = sub;
            n = 1;
        } else if (wide != kNoWide && static_cast<uint32_t>(wide) > 0xFFFF) {
            if (sub == 0) return LOC_E_NO_MAP;
            wide = sub;
        }
        if (wide != kNoWide) r.out.push_back(static_cast<uint16_t>(wide));  // else a character libc keeps
        s += n, left -= n;
    }
    if (kept) kept = FlushDecoded(state, room, r);
    return *s != 0 || !kept ? LOC_E_BUFFER_TOO_SMALL : 0;
}

// KXUnicodeToLocal: unit by unit, no character cut; r.out holds the bytes.
inline int32_t TableToBytes(const uint16_t *u, uint8_t sub, uint32_t room, Result &r) {
    std::mbstate_t state{};
    bool kept = true;
    for (; *u != 0 && r.out.size < room; ++u) {
        const std::mbstate_t before = state;
        char scratch[MB_LEN_MAX];
        size_t n = std::wcrtomb(scratch, static_cast<wchar_t>(*u), &state);
        if (n == static_cast<size_t>(-1)) {
            state = before;
            if (!(kept = FlushEncoded(state, room, r))) break;
            if (sub == 0) return LOC_E_NO_MAP;
            if (r.out.size == room) break;
            state = {};
            scratch[0] = static_cast<char>(sub);
            n = 1;
        } else if (n > room - r.out.size) {
            state = before;
            break;
        }
        for (size_t i = 0; i < n; ++i) r.out.push_back(static_cast<unsigned char>(scratch[i]));
    }
    if (kept) kept = FlushEncoded(state, room, r);
    return *u != 0 || !kept ? LOC_E_BUFFER_TOO_SMALL : 0;
}

// UTF-8 as the rule reads: a lead, its continuation bytes, and a value that
// needs that many bytes. Length 1 to 3, or LOC_E_BAD_UTF8.
inline int Utf8Class(const unsigned char *b, unsigned *value = nullptr) {
    auto cont = [](unsigned c) { return c >= 0x80 && c <= 0xBF; };
    const int n = b[0] < 0x80 ? 1 : b[0] < 0xC0 || b[0] >= 0xF0 || !cont(b[1]) ? 0 : b[0] < 0xE0 ? 2 : cont(b[2]) ? 3 : 0;
    const unsigned v = n < 2 ? b[0] : n == 2 ? (b[0] & 0x1F) << 6 | (b[1] & 0x3F)
                                         : (b[0] & 0x0F) << 12 | (b[1] & 0x3F) << 6 | (b[2] & 0x3F);
    if (value != nullptr) *value = v;
    return n == 0 || v < (n == 2 ? 0x80u : n == 3 ? 0x800u : 0u) ? LOC_E_BAD_UTF8 : n;
}

// The units before the first malformed sequence; bad is its offset or -1.
inline long Utf8Decode(const char *text, Output &out) {
    const auto *b = reinterpret_cast<const unsigned char *>(text);
    unsigned v = 0;
    for (long i = 0, n; b[i] != 0; i += n, out.push_back(static_cast<uint16_t>(v)))
        if ((n = Utf8Class(b + i, &v)) < 0) return i;
    return -1;
}

inline std::string Utf8Encode(const uint16_t *u) {
    std::string s;
    for (; *u != 0; ++u) {
        if (*u < 0x80) s += static_cast<char>(*u);
        else if (*u < 0x800) s += {static_cast<char>(0xC0 + *u / 64), static_cast<char>(0x80 + *u % 64)};
        else s += {static_cast<char>(0xE0 + *u / 4096), static_cast<char>(0x80 + *u / 64 % 64), static_cast<char>(0x80 + *u % 64)};
    }
    return s;
}

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
            if (static_cast<uint32_t>(w) > 0x10FFFF) {  // no UTF-16 for it: its first byte apart, as a bad one
                s -= r.noMap - 1;
                u += char16_t(0xDC00 | static_cast<uint8_t>(s[-1]));
                continue;
            }
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

// unicmp and friends over at most n units, optionally towlower'ed: the
// difference of the first differing units, unsigned.
inline int32_t UniCompare(const uint16_t *a, const uint16_t *b, uint64_t n, bool fold) {
    for (uint64_t i = 0; i < n; ++i) {
        const int32_t x = fold ? static_cast<uint16_t>(std::towlower(a[i])) : a[i];
        const int32_t y = fold ? static_cast<uint16_t>(std::towlower(b[i])) : b[i];
        if (x != y || a[i] == 0) return x - y;
    }
    return 0;
}

}  // namespace qref
