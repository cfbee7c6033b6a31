// The checks shared by the test programs and the fuzz targets. A check that
// fails reports through qcheck::Fail: a test program records it and goes
// on, a fuzz target prints it and aborts. No GoogleTest in here.
#pragma once

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

// True when cond holds; otherwise reports it with the input under check.
#define QCHECK(cond) qcheck::Check((cond), __FILE__, __LINE__, #cond)

namespace qcheck {

// Defined once per program: check_gtest.cpp, or the fuzz driver.
void Fail(const char *file, int line, const char *what);
inline bool Check(bool ok, const char *file, int line, const char *what) {
    if (!ok) Fail(file, line, what);
    return ok;
}

// What is under check, printed with each failure.
inline std::string &Context() {
    static std::string context;
    return context;
}

constexpr uint32_t kUnset = 0xDEADBEEF;

// Every charset glibc runs locales in (among them those that put "[" inside
// characters, have 4-byte forms or keep characters in the conversion state),
// then our own test locales.
inline const std::vector<std::string> &Locales() {
    static const std::vector<std::string> names = {
        "C",                 "en_US.UTF-8",       "de_DE.ISO-8859-1", "ja_JP.EUC-JP",     "ru_RU.CP1251",
        "hy_AM.ARMSCII-8",   "zh_TW.BIG5",        "zh_HK.BIG5-HKSCS", "he_IL.CP1255",     "ko_KR.EUC-KR",
        "zh_TW.EUC-TW",      "zh_CN.GB18030",     "zh_CN.GB2312",     "zh_CN.GBK",        "ka_GE.GEORGIAN-PS",
        "pl_PL.ISO-8859-2",  "mt_MT.ISO-8859-3",  "mk_MK.ISO-8859-5", "ar_AE.ISO-8859-6", "el_GR.ISO-8859-7",
        "he_IL.ISO-8859-8",  "tr_TR.ISO-8859-9",  "lg_UG.ISO-8859-10", "lt_LT.ISO-8859-13", "cy_GB.ISO-8859-14",
        "fr_FR.ISO-8859-15", "ru_RU.KOI8-R",      "tg_TJ.KOI8-T",     "uk_UA.KOI8-U",     "kk_KZ.PT154",
        "kk_KZ.RK1048",      "th_TH.TIS-620",     "ja_JP.SHIFT_JIS",  "ja_JP.WINDOWS-31J", "ko_KR.CP949",
        "ko_KR.JOHAB",       "ja_JP.EUC-JISX0213", "ja_JP.SHIFT_JISX0213", "vi_VN.CP1258", "vi_VN.TCVN5712-1",
        "ta_IN.TSCII",       "de_DE.UTF-8",       "fi_FI.UTF-8",      "qz_QZ.UTF-8",      "qy_QY.UTF-8"};
    return names;
}

// Sets LC_ALL; a missing test locale is a broken build, not a result.
inline void UseLocale(const std::string &name) {
    if (std::setlocale(LC_ALL, name.c_str()) == nullptr) {
        std::fprintf(stderr, "test locale %s is missing (LOCPATH=%s)\n", name.c_str(), getenv("LOCPATH"));
        std::abort();
    }
}

// Under valgrind or qemu the sweeps take every n-th input only.
inline unsigned Stride(unsigned quick) { return getenv("QUEMBA_QUICK") != nullptr ? quick : 1; }

// A buffer of `size` units between canary units, its content filled with
// a pattern so that unwritten units show.
template <typename T>
class Guarded {
public:
    static constexpr size_t kGuard = 8;
    static constexpr T kCanary = static_cast<T>(sizeof(T) == 1 ? 0xA5 : 0xA5A5);
    static constexpr T kFill = static_cast<T>(sizeof(T) == 1 ? 0x5A : 0x5A5A);
    // The bound keeps gcc -m32 from warning of sizes it cannot rule out.
    explicit Guarded(size_t size) : size_(size < SIZE_MAX / 4 ? size : (std::abort(), 0)), store_(size_ + 2 * kGuard, kCanary) {
        for (size_t i = 0; i < size_; ++i) store_[kGuard + i] = kFill;
    }
    T *data() { return store_.data() + kGuard; }
    const T *data() const { return store_.data() + kGuard; }
    uint32_t size() const { return static_cast<uint32_t>(size_); }
    T &operator[](size_t i) { return store_[kGuard + i]; }
    T operator[](size_t i) const { return store_[kGuard + i]; }
    bool intact() const {
        for (size_t i = 0; i < kGuard; ++i) {
            if (store_[i] != kCanary || store_[kGuard + size_ + i] != kCanary) return false;
        }
        return true;
    }
    // Nothing written from `from` to the end.
    bool untouchedFrom(size_t from) const {
        for (size_t i = from; i < size_; ++i) {
            if (store_[kGuard + i] != kFill) return false;
        }
        return true;
    }

private:
    size_t size_;
    std::vector<T> store_;
};

// Units as the API takes them.
inline const uint16_t *U(const std::u16string &s) { return reinterpret_cast<const uint16_t *>(s.c_str()); }
inline std::u16string S16(const uint16_t *p, size_t n) { return std::u16string(p, p + n); }

// Every check takes one input and a variant: any number, which the check
// decodes into its settings (policy, room, counted or terminated ...). The
// sweep gives each input the next variant; a fuzz target takes it from the
// fuzzer's bytes. Units come without a terminator; a check adds its own.
using BytesCheck = void (*)(const std::string &bytes, uint32_t variant);
using UnitsCheck = void (*)(const std::u16string &units, uint32_t variant);
struct Family {
    const char *name;
    BytesCheck bytes;  // null where the family takes no bytes
    UnitsCheck units;  // null where it takes no units
};
// Defined in checks.cpp.
const std::vector<Family> &Families();
const Family &FamilyNamed(const char *name);

// The failure context, cheaply (the sweep sets it millions of times):
// family, locale, variant and the input's first units in hex.
template <typename T>
void Say(const char *family, const T *in, size_t n, uint32_t variant) {
    std::string &c = Context();
    c.assign(family).append(" in ").append(std::setlocale(LC_CTYPE, nullptr)).append(": variant ").append(std::to_string(variant));
    for (size_t i = 0; i < n && i < 16; ++i) {
        c += ' ';
        for (size_t d = 2 * sizeof(T); d-- > 0;) c += "0123456789ABCDEF"[static_cast<std::make_unsigned_t<T>>(in[i]) >> (4 * d) & 15];
    }
}

}  // namespace qcheck
