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
    static const char16_t kAlphabet[] = {u'a',   u'Z',   u'0',    u'9',    u'A',    u'F',    u'[',    u']',
                                         u'\\',  u'/',   0x00A5, 0x20A9, 0xF8F7, 0x20AC, 0x00E9, 0x00C9,
                                         0x00DF, 0x0130, 0x03A3, 0x0416, 0x3042, 0x4E2D, 0xFF21, 0xD800,
                                         0xDC00, 0xFFFD, 0xFFFF, 0x0080, 0x00FF, 0x0000};
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
        if (data[i] < 0x40) units += kAlphabet[data[i] % std::size(kAlphabet)];
        else if (i + 1 < size) units += char16_t(data[i] << 8 | data[i + 1]), ++i;
    }
    family.units(units, variant / 2);
    return 0;
}
