// The country-information record: layout, numeric and monetary fields of the
// program's locale, telephone and AM/PM data of the environment's locale.
#include <quemba/locale_services.h>

#include <langinfo.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

#include "locale_env.h"
#include "quemba_test.h"
#include "strdup_fault.h"

namespace {

static_assert(sizeof(CountryInfo) == 192);
static_assert(offsetof(CountryInfo, decimal_point) == 0);
static_assert(offsetof(CountryInfo, thousands_sep) == 4);
static_assert(offsetof(CountryInfo, grouping) == 8);
static_assert(offsetof(CountryInfo, int_curr_symbol) == 12);
static_assert(offsetof(CountryInfo, currency_symbol) == 20);
static_assert(offsetof(CountryInfo, mon_decimal_point) == 24);
static_assert(offsetof(CountryInfo, mon_thousands_sep) == 28);
static_assert(offsetof(CountryInfo, mon_grouping) == 32);
static_assert(offsetof(CountryInfo, positive_sign) == 40);
static_assert(offsetof(CountryInfo, negative_sign) == 44);
static_assert(offsetof(CountryInfo, int_frac_digits) == 48);
static_assert(offsetof(CountryInfo, frac_digits) == 49);
static_assert(offsetof(CountryInfo, p_cs_precedes) == 50);
static_assert(offsetof(CountryInfo, p_sep_by_space) == 51);
static_assert(offsetof(CountryInfo, n_cs_precedes) == 52);
static_assert(offsetof(CountryInfo, n_sep_by_space) == 53);
static_assert(offsetof(CountryInfo, p_sign_posn) == 54);
static_assert(offsetof(CountryInfo, n_sign_posn) == 55);
static_assert(offsetof(CountryInfo, code_page) == 56);
static_assert(offsetof(CountryInfo, country_code) == 60);
static_assert(offsetof(CountryInfo, sep_1) == 64);
static_assert(offsetof(CountryInfo, sep_2) == 66);
static_assert(offsetof(CountryInfo, sep_3) == 68);
static_assert(offsetof(CountryInfo, sep_4) == 70);
static_assert(offsetof(CountryInfo, reserved) == 72);
static_assert(offsetof(CountryInfo, am_string) == 76);
static_assert(offsetof(CountryInfo, pm_string) == 109);
static_assert(offsetof(CountryInfo, reserved_tail) == 142);

constexpr unsigned char kFill = 0xA5;

// A record full of canary bytes, so that every byte the fill leaves alone shows.
CountryInfo Canaried() {
    CountryInfo info;
    std::memset(&info, kFill, sizeof info);
    return info;
}

const unsigned char *Bytes(const CountryInfo &info) {
    return reinterpret_cast<const unsigned char *>(&info);
}

// The field's text up to its NUL; a field without a NUL inside is reported.
template <size_t N>
std::string Text(const char (&field)[N]) {
    const void *nul = std::memchr(field, '\0', N);
    if (nul == nullptr) return "<unterminated>";
    return std::string(field, static_cast<const char *>(nul) - field);
}

struct Conventions {
    const char *locale;
    const char *decimal_point, *thousands_sep, *grouping, *int_curr_symbol, *currency_symbol;
    const char *mon_decimal_point, *mon_thousands_sep, *mon_grouping, *positive_sign, *negative_sign;
    char bytes[8];  // int_frac_digits .. n_sign_posn
};

constexpr char M = CHAR_MAX;

// qz_QZ: one 4-byte character per separator, a 5-byte currency symbol and a
// 4-byte positive sign, none of which fits; fi_FI's 3-byte thousands
// separator just fits.
const Conventions kConventions[] = {
    {"C", ".", "", "0", "", "", "", "", "0", "", "", {M, M, M, M, M, M, M, M}},
    {"de_DE.UTF-8", ",", ".", "3\3", "EUR ", "\u20ac", ",", ".", "3\3", "", "-", {2, 2, 0, 1, 0, 1, 1, 1}},
    {"fi_FI.UTF-8", ",", "\u202f", "3\3", "EUR ", "\u20ac", ",", "\u202f", "3\3", "", "-", {2, 2, 0, 1, 0, 1, 1, 1}},
    {"qz_QZ.UTF-8", "", "", "3\2", "XTS ", "", "", "", "4\2", "", "-", {3, 1, 1, 2, 0, 1, 4, 3}},
};

TEST(CountryInfo, NumericAndMonetaryFieldsComeFromTheProgramsLocale) {
    for (const Conventions &c : kConventions) {
        SCOPED_TRACE(c.locale);
        qtest::LocaleScope scope(c.locale);
        CountryInfo info = Canaried();
        ASSERT_EQ(_KXGetCountryInfo(&info), 0);
        EXPECT_EQ(Text(info.decimal_point), c.decimal_point);
        EXPECT_EQ(Text(info.thousands_sep), c.thousands_sep);
        EXPECT_EQ(Text(info.grouping), c.grouping);
        EXPECT_EQ(Text(info.int_curr_symbol), c.int_curr_symbol);
        EXPECT_EQ(Text(info.currency_symbol), c.currency_symbol);
        EXPECT_EQ(Text(info.mon_decimal_point), c.mon_decimal_point);
        EXPECT_EQ(Text(info.mon_thousands_sep), c.mon_thousands_sep);
        EXPECT_EQ(Text(info.mon_grouping), c.mon_grouping);
        EXPECT_EQ(Text(info.positive_sign), c.positive_sign);
        EXPECT_EQ(Text(info.negative_sign), c.negative_sign);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(Bytes(info)) + 48, 8), std::string(c.bytes, 8));
        EXPECT_EQ(info.code_page, 0u);
        EXPECT_EQ(std::memcmp(info.sep_1, " \0/\0:", 6), 0);
        EXPECT_EQ(info.sep_4[0], '\0');
        EXPECT_EQ(static_cast<unsigned char>(info.sep_4[1]), kFill) << "byte 71 is not written";
        EXPECT_EQ(info.reserved, 0u);
        for (size_t i = offsetof(CountryInfo, reserved_tail); i < sizeof info; ++i) {
            ASSERT_EQ(Bytes(info)[i], kFill) << "byte " << i << " of the reserved tail was written";
        }
    }
}

struct EnvironmentCase {
    const char *variable;  // LANG or LC_ALL
    const char *locale;
    int32_t country_code;
    const char *am, *pm;
};

// de_DE and fi_FI have empty AM/PM strings; qz_QZ's AM is 32 bytes (kept)
// and its PM 33 bytes (dropped); a name libc does not know reads as "C".
const EnvironmentCase kEnvironments[] = {
    {"LANG", "C", 0, "AM", "PM"},
    {"LANG", "en_US.UTF-8", 1, "AM", "PM"},
    {"LC_ALL", "de_DE.UTF-8", 49, "", ""},
    {"LANG", "fi_FI.UTF-8", 358, "", ""},
    {"LC_ALL", "qz_QZ.UTF-8", 1234, "ante meridiem, quemba zone: \u00e4\u00f6", ""},
    {"LC_ALL", "qy_QY.UTF-8", -7, "AM", "PM"},
    {"LC_ALL", "xx_NOWHERE.UTF-8", 0, "AM", "PM"},
};

TEST(CountryInfo, TelephoneAndTimeComeFromTheEnvironmentAndAreRestored) {
    for (const EnvironmentCase &e : kEnvironments) {
        SCOPED_TRACE(std::string(e.variable) + "=" + e.locale);
        qtest::CLocaleAfter after;
        // The program's own choices, which must neither leak in nor be lost.
        ASSERT_NE(setlocale(LC_TIME, "de_DE.UTF-8"), nullptr);
        ASSERT_NE(setlocale(LC_TELEPHONE, "fi_FI.UTF-8"), nullptr);
        qtest::EnvScope env(e.variable, e.locale);
        CountryInfo info = Canaried();
        ASSERT_EQ(_KXGetCountryInfo(&info), 0);
        EXPECT_EQ(info.country_code, e.country_code);
        EXPECT_EQ(Text(info.am_string), e.am);
        EXPECT_EQ(Text(info.pm_string), e.pm);
        EXPECT_EQ(qtest::CategoryName(LC_TIME), "de_DE.UTF-8");
        EXPECT_EQ(qtest::CategoryName(LC_TELEPHONE), "fi_FI.UTF-8");
        EXPECT_STREQ(nl_langinfo(_NL_TELEPHONE_INT_PREFIX), "358");
        EXPECT_STREQ(nl_langinfo(AM_STR), "");
        EXPECT_EQ(qtest::CategoryName(LC_NUMERIC), "C");
    }
}

TEST(CountryInfo, AmStringByteLengthDecidesNotCharacterCount) {
    qtest::EnvScope env("LC_ALL", "qz_QZ.UTF-8");
    qtest::CLocaleAfter after;
    CountryInfo info = Canaried();
    ASSERT_EQ(_KXGetCountryInfo(&info), 0);
    EXPECT_EQ(std::strlen(info.am_string), 32u);
    EXPECT_EQ(info.pm_string[0], '\0');
}

TEST(CountryInfo, FailedNameCopyLeavesCategoriesAsTheyWere) {
    struct Case {
        int nth;               // which copy fails: 1 LC_TELEPHONE, 2 LC_TIME
        bool country_written;  // the telephone step completed
    };
    for (const Case c : {Case{1, false}, Case{2, true}}) {
        SCOPED_TRACE(c.nth);
        qtest::CLocaleAfter after;
        ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
        ASSERT_NE(setlocale(LC_TIME, "fi_FI.UTF-8"), nullptr);
        qtest::EnvScope env("LC_ALL", "en_US.UTF-8");
        CountryInfo info = Canaried();
        int32_t result;
        {
            qtest::StrdupFailure failure(c.nth);
            result = _KXGetCountryInfo(&info);
            EXPECT_TRUE(failure.fired());
        }
        EXPECT_EQ(result, -1);
        EXPECT_EQ(Text(info.decimal_point), ",");
        EXPECT_EQ(info.code_page, 0u);
        if (c.country_written) {
            EXPECT_EQ(info.country_code, 1);
        } else {
            EXPECT_EQ(Bytes(info)[offsetof(CountryInfo, country_code)], kFill);
        }
        EXPECT_EQ(Bytes(info)[offsetof(CountryInfo, am_string)], kFill);
        EXPECT_EQ(Bytes(info)[offsetof(CountryInfo, sep_1)], kFill);
        EXPECT_EQ(qtest::CategoryName(LC_TELEPHONE), "de_DE.UTF-8");
        EXPECT_EQ(qtest::CategoryName(LC_TIME), "fi_FI.UTF-8");
    }
}

TEST(CountryInfo, LocaleconvReturnsItsArgument) {
    CountryInfo info = Canaried();
    EXPECT_EQ(KXLlocaleconv(&info), &info);
    EXPECT_EQ(Text(info.decimal_point), ".");
    EXPECT_EQ(info.code_page, 0u);

    EXPECT_EQ(_KXGetCountryInfo(nullptr), -1);
    EXPECT_EQ(KXLlocaleconv(nullptr), nullptr);

    qtest::StrdupFailure failure(1);
    EXPECT_EQ(KXLlocaleconv(&info), &info);
}

// Lives here because this file owns the program's strdup.
TEST(SetLocale, FailedFillKeepsTheNewSettingAndTheOldId) {
    qtest::CLocaleAfter after;
    qtest::EnvScope env("LC_ALL", "fi_FI.UTF-8");
    char *id = KXLsetlocale(4, "C");
    ASSERT_STREQ(id, "358");
    qtest::EnvScope other("LC_ALL", "de_DE.UTF-8");
    {
        qtest::StrdupFailure failure(2);
        EXPECT_EQ(KXLsetlocale(4, "de_DE.UTF-8"), nullptr);
        EXPECT_TRUE(failure.fired());
    }
    EXPECT_EQ(qtest::CategoryName(LC_NUMERIC), "de_DE.UTF-8");
    EXPECT_STREQ(id, "358");
}

TEST(Version, Is6020) {
    uint8_t v[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    KXGetKXLOCALEVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ(v[0], 6);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], 2);
    EXPECT_EQ(v[3], 0);

    uint8_t revision = 0xFF;
    KXGetKXLOCALEVersion(nullptr, nullptr, &revision, nullptr);
    EXPECT_EQ(revision, 2);
}

}  // namespace
