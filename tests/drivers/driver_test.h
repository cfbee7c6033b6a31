// Helpers for the driver tests: converters that unload themselves, guarded
// calls of each conversion family, and generated input.
#pragma once

#include <quemba/converter.h>

#include <climits>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <random>
#include <string>

#include "quemba_test.h"

namespace dtest {

// A converter loaded for the test's lifetime.
class Loaded {
public:
    Loaded() { EXPECT_EQ(KXUXLoadByteUnicodeConverter(0, &h_), CVT_OK); }
    explicit Loaded(uint32_t caseSubKind) {
        EXPECT_EQ(KXUXLoadCaseConverter(caseSubKind, &h_), CVT_OK);
    }
    ~Loaded() {
        if (h_ != nullptr) KXUXUnloadConverter(h_);
    }
    Loaded(const Loaded &) = delete;
    Loaded &operator=(const Loaded &) = delete;
    ConverterHandle get() const { return h_; }
    operator ConverterHandle() const { return h_; }

private:
    ConverterHandle h_ = nullptr;
};

// What one guarded conversion left behind.
template <typename Unit>
struct Outcome {
    int32_t result = 0;
    uint32_t count = 0;
    std::basic_string<Unit> text;  // the first `count` units, if they lie inside the buffer
    bool terminated = false;       // a 0 unit right after them, inside the buffer
    bool intact = false;           // canaries on both sides untouched
};

template <typename Unit, typename Call>
Outcome<Unit> Guard(uint32_t size, Call call) {
    qtest::Guarded<Unit> out(size);
    Outcome<Unit> o;
    o.count = 0xDEADBEEF;
    o.result = call(out.data(), out.size(), &o.count);
    if (o.count <= size) {
        o.text.assign(out.data(), o.count);
        o.terminated = o.count < size && out[o.count] == 0;
    }
    o.intact = out.intact();
    return o;
}

using UniOutcome = Outcome<char16_t>;
using ByteOutcome = Outcome<char>;

inline UniOutcome BytesToUni(ConverterHandle h, const std::string &src, int32_t length,
                             uint32_t size) {
    return Guard<char16_t>(size, [&](char16_t *o, uint32_t n, uint32_t *c) {
        return KXUXLenByteToUnicode(h, reinterpret_cast<uint16_t *>(o), n, src.c_str(), length, c);
    });
}

using UniToByteFn = int32_t (*)(ConverterHandle, char *, uint32_t, const uint16_t *, uint32_t *);

inline ByteOutcome UniToBytes(UniToByteFn fn, ConverterHandle h, const std::u16string &src,
                              uint32_t size) {
    return Guard<char>(size, [&](char *o, uint32_t n, uint32_t *c) {
        return fn(h, o, n, qtest::U(src), c);
    });
}

inline UniOutcome UniToUni(decltype(&KXUXUnicodeToCase) fn, ConverterHandle h,
                           const std::u16string &src, uint32_t size) {
    return Guard<char16_t>(size, [&](char16_t *o, uint32_t n, uint32_t *c) {
        return fn(h, reinterpret_cast<uint16_t *>(o), n, qtest::U(src), c);
    });
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

// Text that exercises the drivers: escapes and look-alikes, separators,
// characters that some test locales can encode and others cannot.
inline std::u16string RandomUnits(std::mt19937 &rng, size_t length) {
    static const std::u16string kPieces[] = {
        u"a", u"Z", u"0", u"F", u"f", u"[", u"]", u"/", u" ", u"\\", u"\u00A5", u"\u20A9",
        u"\uF8F7", u"\u00E9", u"\u00FC", u"\u0416", u"\u4E2D", u"\u3042", u"\u20AC",
        u"\uFFFD", u"\xD800", u"\xDC00", u"[41]", u"[7F]", u"[e9]", u"[4G]", u"[00E9]"};
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces));
    std::uniform_int_distribution<uint32_t> anyUnit(1, 0xFFFF);
    std::u16string s;
    while (s.size() < length) {
        const size_t i = pick(rng);
        if (i == std::size(kPieces)) {
            s += static_cast<char16_t>(anyUnit(rng));
        } else {
            s += kPieces[i];
        }
    }
    s.resize(length);
    return s;
}

// Bytes with unit escapes and look-alikes, valid and broken multibyte
// sequences of the test encodings, and stray high bytes.
inline std::string RandomBytes(std::mt19937 &rng, size_t length) {
    static const char *const kPieces[] = {
        "a", "Z", "9", "[", "]", "[0041]", "[00E9]", "[4E2D]", "[00e9]", "[00E9", "[FFFD]",
        "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xC3", "\xE4\xB8", "\xA4\xA2",
        "\x8E\xB1", "\xE9", "\xFF", "\x80", "\x98", "\xCC", "\\"};
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces));
    std::uniform_int_distribution<int> anyByte(1, 255);
    std::string s;
    while (s.size() < length) {
        const size_t i = pick(rng);
        if (i == std::size(kPieces)) {
            s += static_cast<char>(anyByte(rng));
        } else {
            s += kPieces[i];
        }
    }
    s.resize(length);
    return s;
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
