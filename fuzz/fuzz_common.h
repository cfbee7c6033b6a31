// Shared pieces of the fuzz targets: locale choice, guarded buffers,
// invariant checks that abort with a message.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: invariant failed: %s (locale %s)\n", __FILE__,   \
                         __LINE__, #cond, std::setlocale(LC_CTYPE, nullptr));             \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace qfuzz {

// Each target's body; fuzz_main.cpp gives libFuzzer its entry points.
int FuzzOne(FuzzedDataProvider &in);

inline const char *const kLocales[] = {
    "C",           "en_US.UTF-8",  "de_DE.UTF-8", "de_DE.ISO-8859-1", "ja_JP.EUC-JP",
    "fi_FI.UTF-8", "ru_RU.CP1251", "qz_QZ.UTF-8", "qy_QY.UTF-8"};
constexpr size_t kLocaleCount = sizeof kLocales / sizeof kLocales[0];

// A fixed environment: the build's locales, "C" everywhere else.
inline void InitEnvironment() {
    setenv("LOCPATH", QUEMBA_LOCALE_DIR, 0);
    static const char *const vars[] = {"LC_ALL", "LC_CTYPE", "LC_COLLATE", "LC_MONETARY",
                                       "LC_NUMERIC", "LC_TIME", "LC_MESSAGES", "LC_TELEPHONE",
                                       "LANGUAGE"};
    for (const char *v : vars) unsetenv(v);
    setenv("LANG", "C", 1);
}

inline const char *PickLocale(FuzzedDataProvider &in) {
    const char *name = kLocales[in.ConsumeIntegralInRange<size_t>(0, kLocaleCount - 1)];
    if (std::setlocale(LC_ALL, name) == nullptr) {
        std::fprintf(stderr, "test locale %s missing (LOCPATH=%s)\n", name, getenv("LOCPATH"));
        std::abort();
    }
    return name;
}

// Output buffer of `size` units between guard units; the content starts
// filled with a pattern so that unwritten units are recognisable.
template <typename T>
class Guarded {
public:
    static constexpr size_t kGuard = 16;
    static constexpr T kCanary = static_cast<T>(sizeof(T) == 1 ? 0xA5 : 0xA5A5);
    static constexpr T kFill = static_cast<T>(sizeof(T) == 1 ? 0x5A : 0x5A5A);
    explicit Guarded(size_t size) : size_(size), store_(size + 2 * kGuard, kCanary) {
        for (size_t i = 0; i < size; ++i) store_[kGuard + i] = kFill;
    }
    T *data() { return store_.data() + kGuard; }
    uint32_t size() const { return static_cast<uint32_t>(size_); }
    T operator[](size_t i) const { return store_[kGuard + i]; }
    bool intact() const {
        for (size_t i = 0; i < kGuard; ++i) {
            if (store_[i] != kCanary || store_[kGuard + size_ + i] != kCanary) return false;
        }
        return true;
    }
    std::vector<T> prefix(size_t n) const {
        return std::vector<T>(store_.begin() + kGuard, store_.begin() + kGuard + n);
    }

private:
    size_t size_;
    std::vector<T> store_;
};

// A NUL-terminated UTF-16 string from the input: a mix of raw units and
// units from a small alphabet that reaches escapes, separators and the
// characters the test locales know.
inline std::vector<uint16_t> ConsumeUnits(FuzzedDataProvider &in, size_t max) {
    static const uint16_t kAlphabet[] = {
        u'a',    u'Z',    u'0',    u'9',    u'A',    u'F',    u'[',    u']',    u'\\',
        u'/',    0x00A5, 0x20A9, 0xF8F7, 0x20AC, 0x00E9, 0x00C9, 0x00DF, 0x0130, 0x03A3,
        0x0416, 0x3042, 0x4E2D, 0xFF21, 0xD800, 0xDC00, 0xFFFD, 0xFFFF, 0x0080, 0x00FF};
    std::vector<uint16_t> units;
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, max);
    for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
        const uint8_t b = in.ConsumeIntegral<uint8_t>();
        uint16_t u;
        if (b < 0x80) {
            u = kAlphabet[b % (sizeof kAlphabet / sizeof kAlphabet[0])];
        } else if (b < 0xC0) {
            u = static_cast<uint16_t>(b & 0x7F);  // ASCII, digits and brackets
        } else {
            u = in.ConsumeIntegral<uint16_t>();
        }
        if (u == 0) u = u'x';
        units.push_back(u);
    }
    units.push_back(0);
    return units;
}

// A byte string from the input with no NUL inside (NULs become 'x' unless
// keepNul), always followed by a NUL.
inline std::string ConsumeBytes(FuzzedDataProvider &in, size_t max, bool keepNul = false) {
    std::string s = in.ConsumeRandomLengthString(max);
    if (!keepNul) {
        for (char &c : s) {
            if (c == 0) c = 'x';
        }
    }
    return s;
}

inline size_t UnitLength(const uint16_t *s) {
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

}  // namespace qfuzz
