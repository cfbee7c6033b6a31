// Shared helpers for the test programs: locales, UTF-16 literals, guarded buffers.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <string>
#include <cctype>
#include <vector>

namespace qtest {

inline constexpr const char *kC = "C", *kLatin1 = "de_DE.ISO-8859-1", *kCp1251 = "ru_RU.CP1251",
                            *kUtf8 = "en_US.UTF-8", *kEucJp = "ja_JP.EUC-JP";

// An out-parameter value that no call under test produces.
inline constexpr uint32_t kUnset = 0xDEADBEEF;

// Every test locale; the generated ones come from LOCPATH.
inline const std::vector<std::string> &AllLocales() {
    static const std::vector<std::string> names = {kC, kUtf8, "de_DE.UTF-8", kLatin1, kEucJp, "fi_FI.UTF-8", kCp1251};
    return names;
}

// One locale per charset: every charset glibc supports locales in, and
// those that put "[" inside characters, have 4-byte forms or keep
// characters in the conversion state.
inline const std::vector<std::string> &CharsetLocales() {
    static const std::vector<std::string> names = {
        "C",                 "en_US.UTF-8",       "de_DE.ISO-8859-1", "ja_JP.EUC-JP",     "ru_RU.CP1251",
        "hy_AM.ARMSCII-8",   "zh_TW.BIG5",        "zh_HK.BIG5-HKSCS", "he_IL.CP1255",     "ko_KR.EUC-KR",
        "zh_TW.EUC-TW",      "zh_CN.GB18030",     "zh_CN.GB2312",     "zh_CN.GBK",        "ka_GE.GEORGIAN-PS",
        "pl_PL.ISO-8859-2",  "mt_MT.ISO-8859-3",  "mk_MK.ISO-8859-5", "ar_AE.ISO-8859-6", "el_GR.ISO-8859-7",
        "he_IL.ISO-8859-8",  "tr_TR.ISO-8859-9",  "lg_UG.ISO-8859-10", "lt_LT.ISO-8859-13", "cy_GB.ISO-8859-14",
        "fr_FR.ISO-8859-15", "ru_RU.KOI8-R",      "tg_TJ.KOI8-T",     "uk_UA.KOI8-U",     "kk_KZ.PT154",
        "kk_KZ.RK1048",      "th_TH.TIS-620",     "ja_JP.SHIFT_JIS",  "ja_JP.WINDOWS-31J", "ko_KR.CP949",
        "ko_KR.JOHAB",       "ja_JP.EUC-JISX0213", "ja_JP.SHIFT_JISX0213", "vi_VN.CP1258", "vi_VN.TCVN5712-1",
        "ta_IN.TSCII"};
    return names;
}

// A test name for a locale name.
inline std::string LocaleTestName(const std::string &locale) {
    std::string name = locale;
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

// Switches LC_ALL for the lifetime of the object and restores "C" after.
class LocaleScope {
public:
    explicit LocaleScope(const std::string &name) : ok_(setlocale(LC_ALL, name.c_str()) != nullptr) {
        const char *path = getenv("LOCPATH");
        EXPECT_TRUE(ok_) << "test locale " << name << " is missing (LOCPATH=" << (path ? path : "unset") << ")";
    }
    ~LocaleScope() { setlocale(LC_ALL, "C"); }
    LocaleScope(const LocaleScope &) = delete;
    LocaleScope &operator=(const LocaleScope &) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

inline const uint16_t *U(const char16_t *s) { return reinterpret_cast<const uint16_t *>(s); }
inline const uint16_t *U(const std::u16string &s) { return reinterpret_cast<const uint16_t *>(s.c_str()); }
inline std::u16string S16(const uint16_t *p, size_t n) {
    return std::u16string(reinterpret_cast<const char16_t *>(p), n);
}
inline std::u16string S16(const uint16_t *p) {
    size_t n = 0;
    while (p[n] != 0) ++n;
    return S16(p, n);
}
// Each byte as the unit of the same value, for tables written in bytes.
inline std::u16string Widen(const std::string &s) {
    std::u16string w;
    for (const char c : s) w += char16_t(static_cast<unsigned char>(c));
    return w;
}
// Offset of a result pointer from base, -1 for null.
template <typename T>
long Offset(const T *p, const T *base) { return p == nullptr ? -1 : p - base; }

// A buffer of `size` units with canary units on both sides. Tests hand
// data() and size() to the function under test, then check intact().
template <typename T>
class Guarded {
public:
    static constexpr size_t kGuard = 8;
    explicit Guarded(size_t size, T fill = static_cast<T>(0x5A5A))
        : size_(size), store_(size + 2 * kGuard, Canary()) {
        for (size_t i = 0; i < size_; ++i) store_[kGuard + i] = fill;
    }
    T *data() { return store_.data() + kGuard; }
    const T *data() const { return store_.data() + kGuard; }
    uint32_t size() const { return static_cast<uint32_t>(size_); }
    T &operator[](size_t i) { return data()[i]; }
    bool intact() const {
        for (size_t i = 0; i < kGuard; ++i) {
            if (store_[i] != Canary() || store_[kGuard + size_ + i] != Canary()) return false;
        }
        return true;
    }
    static constexpr T Canary() { return static_cast<T>(sizeof(T) == 1 ? 0xA5 : 0xA5A5); }

private:
    size_t size_;
    std::vector<T> store_;
};

// A guarded copy of s with its terminator.
inline Guarded<char> GuardedCopy(const std::string &s) {
    Guarded<char> buf(s.size() + 1);
    std::memcpy(buf.data(), s.c_str(), s.size() + 1);
    return buf;
}

}  // namespace qtest
