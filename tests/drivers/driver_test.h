// Helpers for the driver tests: converters that unload themselves, guarded
// calls, and generated input.
#pragma once

#include <quemba/converter.h>

#include <climits>
#include <cwchar>
#include <iterator>
#include <random>
#include <string>

#include "quemba_test.h"

namespace dtest {

class Loaded {
public:
    Loaded() { EXPECT_EQ(KXUXLoadByteUnicodeConverter(0, &h_), CVT_OK); }
    explicit Loaded(uint32_t caseSubKind) { EXPECT_EQ(KXUXLoadCaseConverter(caseSubKind, &h_), CVT_OK); }
    ~Loaded() { KXUXUnloadConverter(h_); }
    Loaded(const Loaded &) = delete;
    Loaded &operator=(const Loaded &) = delete;
    operator ConverterHandle() const { return h_; }

private:
    ConverterHandle h_ = nullptr;
};

// What one call into a guarded buffer of `size` units left behind: the
// first `count` units (when inside the buffer), whether a 0 unit follows them
// inside the buffer, and whether the canaries are untouched.
template <typename Unit>
struct Outcome {
    int32_t result = 0;
    uint32_t count = qtest::kUnset;
    std::basic_string<Unit> text;
    bool terminated = false, intact = false;
};

template <typename Unit, typename Call>
Outcome<Unit> Guard(uint32_t size, Call call) {
    qtest::Guarded<Unit> out(size);
    Outcome<Unit> o;
    o.result = call(out.data(), out.size(), &o.count);
    if (o.count <= size) o.text.assign(out.data(), o.count);
    o.terminated = o.count < size && out[o.count] == 0;
    o.intact = out.intact();
    return o;
}

using UniToByteFn = int32_t (*)(ConverterHandle, char *, uint32_t, const uint16_t *, uint32_t *);
using UniToUniFn = int32_t (*)(ConverterHandle, uint16_t *, uint32_t, const uint16_t *, uint32_t *);

inline uint16_t *U16(char16_t *p) { return reinterpret_cast<uint16_t *>(p); }
inline Outcome<char16_t> BytesToUni(ConverterHandle h, const std::string &src, int32_t length, uint32_t size) {
    return Guard<char16_t>(size, [&](char16_t *o, uint32_t n, uint32_t *c) {
        return KXUXLenByteToUnicode(h, U16(o), n, src.c_str(), length, c);
    });
}
inline Outcome<char> UniToBytes(UniToByteFn fn, ConverterHandle h, const std::u16string &src, uint32_t size) {
    return Guard<char>(size, [&](char *o, uint32_t n, uint32_t *c) { return fn(h, o, n, qtest::U(src), c); });
}
inline Outcome<char16_t> UniToUni(UniToUniFn fn, ConverterHandle h, const std::u16string &src, uint32_t size) {
    return Guard<char16_t>(size, [&](char16_t *o, uint32_t n, uint32_t *c) { return fn(h, U16(o), n, qtest::U(src), c); });
}

// The byte form of s in the current locale; false if a unit has none.
inline bool Encode(const std::u16string &s, std::string *bytes) {
    std::mbstate_t state{};
    bytes->clear();
    for (char16_t unit : s) {
        char buf[MB_LEN_MAX];
        const size_t n = std::wcrtomb(buf, static_cast<wchar_t>(unit), &state);
        if (n == static_cast<size_t>(-1)) return false;
        bytes->append(buf, n);
    }
    return true;
}

// Random text from pieces that matter to the drivers, plus arbitrary units.
template <typename String, size_t N>
String Random(std::mt19937 &rng, size_t length, const String (&pieces)[N], uint32_t maxUnit) {
    std::uniform_int_distribution<size_t> pick(0, N);
    String s;
    while (s.size() < length) {
        const size_t i = pick(rng);
        s += i < N ? pieces[i] : String(1, static_cast<typename String::value_type>(1 + rng() % maxUnit));
    }
    s.resize(length);
    return s;
}

// Escapes and look-alikes, separators, units each locale can or cannot encode.
inline std::u16string RandomUnits(std::mt19937 &rng, size_t length) {
    static const std::u16string pieces[] = {
        u"a", u"Z", u"F", u"f", u"[", u"]", u"/", u"\\", u"\u00A5", u"\u20A9", u"\uF8F7", u"\u00E9",
        u"\u0416", u"\u4E2D", u"\u3042", u"\u20AC", u"\xD800", u"[41]", u"[7F]", u"[e9]", u"[00E9]"};
    return Random(rng, length, pieces, 0xFFFF);
}

// Unit escapes and look-alikes, valid, broken and cut multibyte sequences.
inline std::string RandomBytes(std::mt19937 &rng, size_t length) {
    static const std::string pieces[] = {
        "a", "Z", "[", "]", "[0041]", "[4E2D]", "[00e9]", "[00E9", "\xC3\xA9", "\xE4\xB8\xAD",
        "\xF0\x9F\x98\x80", "\xC3", "\xE4\xB8", "\xA4\xA2", "\x8E\xB1", "\xE9", "\xFF", "\x80", "\\"};
    return Random(rng, length, pieces, 0xFF);
}

inline bool HasUnitEscapeLookAlike(const std::u16string &s) {
    auto hex = [](char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); };
    for (size_t k = 0; k + 5 < s.size(); ++k) {
        if (s[k] == u'[' && hex(s[k + 1]) && hex(s[k + 2]) && hex(s[k + 3]) && hex(s[k + 4]) &&
            s[k + 5] == u']') {
            return true;
        }
    }
    return false;
}

}  // namespace dtest
