// Locale selection and the country-information fill, with the environment's
// locale and the program's categories chosen by the fuzzer among the test
// locales (and names libc rejects); also the callers that fill the record:
// the code-page query, the standard set and the collation loader.
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <cwchar>

#include "fuzz_common.h"

namespace {

const char *PickName(FuzzedDataProvider &in) {
    const size_t i = in.ConsumeIntegralInRange<size_t>(0, qfuzz::kLocaleCount + 2);
    if (i < qfuzz::kLocaleCount) return qfuzz::kLocales[i];
    return i == qfuzz::kLocaleCount ? "xx_XX.NOPE" : i == qfuzz::kLocaleCount + 1 ? "POSIX" : "";
}

struct EnvFacts {
    int32_t country;
    std::string am, pm;
};

// The name the environment gives a category (LC_ALL, then the category's
// own variable, then LANG; empty ones do not count); "C" when it names no
// test locale. (newlocale with a rejected name leaks in glibc.)
const char *EnvName(const char *var) {
    for (const char *v : {"LC_ALL", var, "LANG"}) {
        const char *value = getenv(v);
        if (value == nullptr || *value == 0) continue;
        if (std::strcmp(value, "POSIX") == 0) return "C";
        for (const char *known : qfuzz::kLocales) {
            if (std::strcmp(value, known) == 0) return known;
        }
        return "C";
    }
    return "C";
}

// What the environment's locale says; the program's categories are put
// back. (newlocale with LOCPATH set leaks in this glibc; setlocale does not.)
EnvFacts Environment() {
    EnvFacts f;
    const std::string tel = std::setlocale(LC_TELEPHONE, nullptr), time = std::setlocale(LC_TIME, nullptr);
    FUZZ_CHECK(std::setlocale(LC_TELEPHONE, EnvName("LC_TELEPHONE")) != nullptr);
    FUZZ_CHECK(std::setlocale(LC_TIME, EnvName("LC_TIME")) != nullptr);
    f.country = static_cast<int32_t>(std::strtol(nl_langinfo(_NL_TELEPHONE_INT_PREFIX), nullptr, 10));
    f.am = nl_langinfo(AM_STR);
    f.pm = nl_langinfo(PM_STR);
    std::setlocale(LC_TELEPHONE, tel.c_str());
    std::setlocale(LC_TIME, time.c_str());
    return f;
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}

template <size_t N>
bool Holds(const char (&field)[N], const char *text) {
    return std::strlen(text) < N ? std::strcmp(field, text) == 0 : field[0] == 0;
}

// A text too long for its field keeps a prefix of whole characters.
template <size_t N>
bool HoldsPrefix(const char (&field)[N], const char *text) {
    if (std::strlen(text) < N) return std::strcmp(field, text) == 0;
    const size_t kept = strnlen(field, N);
    if (kept >= N || std::strncmp(field, text, kept) != 0) return false;
    std::mbstate_t state{};
    for (size_t at = 0; at < kept;) {
        const size_t n = std::mbrtowc(nullptr, field + at, kept - at, &state);
        if (n == 0 || n > kept - at) return false;
        at += n;
    }
    return true;
}

std::string Categories() {
    std::string all;
    for (int c : {LC_CTYPE, LC_NUMERIC, LC_TIME, LC_COLLATE, LC_MONETARY, LC_TELEPHONE}) {
        all += std::setlocale(c, nullptr);
        all += ';';
    }
    return all;
}

void CheckRecord(const uint8_t *raw, const EnvFacts &env) {
    const auto *info = reinterpret_cast<const CountryInfo *>(raw);
    for (size_t i = 142; i < sizeof(CountryInfo); ++i) FUZZ_CHECK(raw[i] == 0xEE);
    const struct lconv *lc = localeconv();
    FUZZ_CHECK(HoldsPrefix(info->decimal_point, lc->decimal_point) && HoldsPrefix(info->thousands_sep, lc->thousands_sep));
    FUZZ_CHECK(HoldsPrefix(info->int_curr_symbol, lc->int_curr_symbol) && HoldsPrefix(info->currency_symbol, lc->currency_symbol));
    FUZZ_CHECK(HoldsPrefix(info->mon_decimal_point, lc->mon_decimal_point));
    FUZZ_CHECK(HoldsPrefix(info->mon_thousands_sep, lc->mon_thousands_sep));
    FUZZ_CHECK(HoldsPrefix(info->positive_sign, lc->positive_sign) && HoldsPrefix(info->negative_sign, lc->negative_sign));
    FUZZ_CHECK(Terminated(info->grouping) && Terminated(info->mon_grouping));
    FUZZ_CHECK(info->grouping[0] == static_cast<char>(lc->grouping[0] + '0'));
    FUZZ_CHECK(info->frac_digits == lc->frac_digits && info->n_sign_posn == lc->n_sign_posn);
    FUZZ_CHECK(info->code_page == 0 && info->country_code == env.country);
    FUZZ_CHECK(Holds(info->am_string, env.am.c_str()) && Holds(info->pm_string, env.pm.c_str()));
    FUZZ_CHECK(std::memcmp(info->sep_1, " ", 2) == 0 && std::memcmp(info->sep_2, "/", 2) == 0);
    FUZZ_CHECK(std::memcmp(info->sep_3, ":", 2) == 0 && info->sep_4[0] == 0 && info->reserved == 0);
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    // The environment: LANG, and sometimes LC_ALL or one category over it.
    setenv("LANG", PickName(in), 1);
    for (const char *var : {"LC_ALL", "LC_TIME", "LC_TELEPHONE"}) {
        if (in.ConsumeBool()) setenv(var, PickName(in), 1);
        else unsetenv(var);
    }
    // The program's own settings, category by category.
    std::setlocale(LC_ALL, "C");
    for (int c : {LC_CTYPE, LC_NUMERIC, LC_TIME, LC_MONETARY, LC_TELEPHONE}) {
        if (in.ConsumeBool()) std::setlocale(c, PickName(in));
    }
    const EnvFacts env = Environment();
    const int32_t shown = env.country >= 0 && env.country <= 999 ? env.country : 0;
    char want[8];
    std::snprintf(want, sizeof want, "%03d", shown);

    // Selection by the library's numbers.
    static const int kHost[] = {LC_ALL, LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME};
    const int32_t category = in.ConsumeIntegralInRange<int32_t>(-2, 7);
    const int nameKind = in.ConsumeIntegralInRange(0, 2);
    const char *name = nameKind == 0 ? nullptr : PickName(in);
    const std::string before = Categories();
    std::string expectedAfter;
    bool accepted = false;
    if (category >= 0 && category <= 5) {
        // What libc does with the same request, undone again.
        const std::string old = std::setlocale(kHost[category], nullptr);
        const char *r = std::setlocale(kHost[category], name);
        accepted = r != nullptr;
        expectedAfter = Categories();
        std::setlocale(LC_ALL, "C");
        // Restore the program's categories one by one.
        size_t pos = 0;
        for (int c : {LC_CTYPE, LC_NUMERIC, LC_TIME, LC_COLLATE, LC_MONETARY, LC_TELEPHONE}) {
            const size_t end = before.find(';', pos);
            std::setlocale(c, before.substr(pos, end - pos).c_str());
            pos = end + 1;
        }
        (void)old;
        FUZZ_CHECK(Categories() == before);
    }
    char *id = KXLsetlocale(category, name);
    if (!accepted) {
        FUZZ_CHECK(id == nullptr && Categories() == before);
    } else {
        FUZZ_CHECK(id != nullptr && std::strcmp(id, want) == 0 && Categories() == expectedAfter);
        FUZZ_CHECK(KXLsetlocale(2, nullptr) == id);
    }

    // The fill, directly and through its callers; the tail stays untouched
    // and LC_TIME/LC_TELEPHONE are back as they were.
    alignas(CountryInfo) uint8_t raw[sizeof(CountryInfo)];
    std::memset(raw, 0xEE, sizeof raw);
    const std::string mid = Categories();
    FUZZ_CHECK(_KXGetCountryInfo(reinterpret_cast<CountryInfo *>(raw)) == 0);
    FUZZ_CHECK(Categories() == mid);
    CheckRecord(raw, env);
    std::memset(raw, 0xEE, sizeof raw);
    FUZZ_CHECK(KXLlocaleconv(reinterpret_cast<CountryInfo *>(raw)) == reinterpret_cast<CountryInfo *>(raw));
    CheckRecord(raw, env);
    FUZZ_CHECK(Categories() == mid);

    uint32_t codePage = 0xDEADBEEF, country = 0xDEADBEEF;
    FUZZ_CHECK(KXUSGetCodePage(&codePage, &country) == 0 && codePage == 0 && country == static_cast<uint32_t>(env.country));
    ConverterHandle h = reinterpret_cast<ConverterHandle>(&codePage);
    const uint32_t asked = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<uint32_t>(0, 2000);
    const uint32_t effective = asked == 0 ? static_cast<uint32_t>(env.country) : asked;
    FUZZ_CHECK(KXUXLoadCollationConverter(asked, &h) == (effective > 999 ? CVT_E_BAD_PARAMETER : CVT_E_LOAD_FAILED));
    FUZZ_CHECK(h == nullptr);
    if (in.ConsumeBool()) {
        FUZZ_CHECK(KXUSStandardUnicodeInit() == CVT_OK);
        FUZZ_CHECK(KXUSGetCodePage(&codePage, nullptr) == 0 && codePage == 0);
        KXUSStandardUnicodeRelease();
        FUZZ_CHECK(Categories() == mid);
    }
    uint8_t v[4] = {9, 9, 9, 9};
    KXGetKXLOCALEVersion(&v[0], &v[1], &v[2], &v[3]);
    FUZZ_CHECK(v[0] == 6 && v[1] == 0 && v[2] == 2 && v[3] == 0);
    return 0;
}
