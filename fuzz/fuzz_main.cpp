// One libFuzzer target per family of shared checks (QUEMBA_FUZZ_FAMILY):
// the first byte picks the locale, the next four the variant, the rest is
// the input: bytes, or units made from byte pairs where the family takes
// units (a byte below 0x40 then stands for a unit the checks care about).
#include <cstring>

#include "check.h"

void qcheck::Fail(const char *file, int line, const char *what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, what, Context().c_str());
    std::abort();
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("LOCPATH", QUEMBA_LOCALE_DIR, 0);
    for (const char *v : {"LC_ALL", "LC_CTYPE", "LC_COLLATE", "LC_MONETARY", "LC_NUMERIC", "LC_TIME",
                          "LC_MESSAGES", "LC_TELEPHONE", "LANGUAGE"}) {
        unsetenv(v);
    }
    setenv("LANG", "C", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const qcheck::Family &family = qcheck::FamilyNamed(QUEMBA_FUZZ_FAMILY);
    static const char16_t kAlphabet[] = u"aZ09AF[]\\/\u00A5\u20A9\uF8F7\u20AC\u00E9\u00C9\u00DF\u0130\u03A3"
                                        u"\u0416\u3042\u4E2D\uFF21\uD800\uDC00\uFFFD\uFFFF\u0080\u00FF\u0000";
    if (size < 5) return 0;
    const auto &locales = qcheck::Locales();
    qcheck::UseLocale(locales[data[0] % locales.size()]);
    uint32_t variant;
    std::memcpy(&variant, data + 1, sizeof variant);
    data += 5;
    size -= 5;
    if (family.units == nullptr || (family.bytes != nullptr && variant % 2 == 0)) {
        family.bytes(std::string(reinterpret_cast<const char *>(data), size), variant / 2);
        return 0;
    }
    std::u16string units;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < 0x40) units += kAlphabet[data[i] % (std::size(kAlphabet) - 1)];
        else if (i + 1 < size) units += char16_t(data[i] << 8 | data[i + 1]), ++i;
    }
    family.units(units, variant / 2);
    return 0;
}
