// The country-information record (its layout is checked by the C consumer):
// the program locale's numeric and monetary fields, the environment locale's
// telephone prefix and AM/PM.
#include <quemba/locale_services.h>

#include <langinfo.h>

#include <climits>

#include "locale_env.h"
#include "quemba_test.h"
#include "strdup_fault.h"

namespace {

// Canary-filled, so that every byte the fill leaves alone shows.
struct Record {
    CountryInfo info;
    Record() { std::memset(&info, 0xA5, sizeof info); }
    // Text up to the NUL; bytes at offset..offset+width with no NUL are a fault.
    std::string Text(size_t offset, size_t width) const {
        const char *p = reinterpret_cast<const char *>(&info) + offset;
        return std::memchr(p, 0, width) != nullptr ? std::string(p) : "<unterminated>";
    }
    unsigned char Byte(size_t offset) const { return reinterpret_cast<const unsigned char *>(&info)[offset]; }
};

// The ten texts joined by '|', then the eight one-byte fields.
std::string Conventions(const Record &r) {
    const size_t fields[][2] = {{0, 4}, {4, 4}, {8, 4}, {12, 8}, {20, 4}, {24, 4}, {28, 4}, {32, 8}, {40, 4}, {44, 4}};
    std::string s;
    for (auto [offset, width] : fields) s += r.Text(offset, width) + "|";
    return s + std::string(reinterpret_cast<const char *>(&r.info) + 48, 8);
}

TEST(CountryInfo, NumericAndMonetaryFieldsComeFromTheProgramsLocale) {
    const std::string M(8, CHAR_MAX);
    const std::string Y("\2\2\1\0\1\0\1\1", 8);
    // A text too long for its field keeps the whole characters (as LC_CTYPE
    // reads them) that leave room for the terminator, a grouping its whole
    // sizes. qz_QZ: 4-byte separators, "Q\u00a4\u00a4", "plus"; qy_QY:
    // "\u20ac\u20ac", groupings 3;3;3;3;3 and 3;2;2;2;2;2;2;2;2, "\u00b1\u00b1",
    // "\u2212\u2212". fi_FI's 3-byte thousands separator just fits.
    struct Case { const char *locale, *ctype; std::string expected; };
    const Case cases[] = {
        {"C", "C", ".||0|||||0|||" + M},
        {"de_DE.UTF-8", "de_DE.UTF-8", ",|.|3\3|EUR |\u20ac|,|.|3\3||-|" + std::string("\2\2\0\1\0\1\1\1", 8)},
        {"fi_FI.UTF-8", "fi_FI.UTF-8", ",|\u202f|3\3|EUR |\u20ac|,|\u202f|3\3||-|" + std::string("\2\2\0\1\0\1\1\1", 8)},
        {"qz_QZ.UTF-8", "qz_QZ.UTF-8", "||3\2|XTS |Q\u00a4|||4\2|plu|-|" + std::string("\3\1\1\2\0\1\4\3", 8)},
        {"qy_QY.UTF-8", "qy_QY.UTF-8", ".|,|3\3\3|USD |\u20ac|.|,|3\2\2\2\2\2\2|\u00b1|\u2212|" + Y},
        {"qy_QY.UTF-8", "C", ".|,|3\3\3|USD ||.|,|3\2\2\2\2\2\2|||" + Y},
        {"qy_QY.UTF-8", "de_DE.ISO-8859-1", ".|,|3\3\3|USD |\u20ac|.|,|3\2\2\2\2\2\2|\xc2\xb1\xc2|\u2212|" + Y},
        // A text that fits is kept whole, whatever LC_CTYPE makes of it.
        {"ru_RU.CP1251", "C", ",|\xA0|3\3|RUB |\xF0\xF3\xE1|,|\xA0|3\3||-|" + std::string("\2\2\0\1\0\1\1\1", 8)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.ctype);
        qtest::LocaleScope scope(c.locale);
        ASSERT_NE(setlocale(LC_CTYPE, c.ctype), nullptr);
        Record r;
        ASSERT_EQ(_KXGetCountryInfo(&r.info), 0);
        EXPECT_EQ(Conventions(r), c.expected);
        EXPECT_EQ(r.info.code_page, 0u);
        EXPECT_EQ(std::memcmp(r.info.sep_1, " \0/\0:\0", 7), 0);
        EXPECT_EQ(r.Byte(71), 0xA5);
        EXPECT_EQ(r.info.reserved, 0u);
        for (size_t i = 142; i < sizeof(CountryInfo); ++i) ASSERT_EQ(r.Byte(i), 0xA5) << i;
    }
}

TEST(CountryInfo, TelephoneAndTimeComeFromTheEnvironmentAndAreRestored) {
    struct Case {
        const char *variable, *locale;
        int32_t country;
        const char *am, *pm;
    };
    // qz_QZ's AM is 32 bytes (30 characters), its PM 33 bytes; a locale libc
    // does not know reads as "C", not as the program's own setting.
    const Case cases[] = {
        {"LANG", "C", 0, "AM", "PM"},           {"LANG", "en_US.UTF-8", 1, "AM", "PM"},
        {"LC_ALL", "de_DE.UTF-8", 49, "", ""},  {"LANG", "fi_FI.UTF-8", 358, "", ""},
        {"LC_ALL", "qy_QY.UTF-8", -7, "AM", "PM"}, {"LC_ALL", "xx_NOWHERE.UTF-8", 0, "AM", "PM"},
        {"LC_ALL", "qz_QZ.UTF-8", 1234, "ante meridiem, quemba zone: \u00e4\u00f6", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.locale);
        qtest::LocaleScope scope("C");
        ASSERT_NE(setlocale(LC_TIME, "de_DE.UTF-8"), nullptr);
        ASSERT_NE(setlocale(LC_TELEPHONE, "fi_FI.UTF-8"), nullptr);
        qtest::EnvScope env(c.variable, c.locale);
        Record r;
        ASSERT_EQ(_KXGetCountryInfo(&r.info), 0);
        EXPECT_EQ(r.info.country_code, c.country);
        EXPECT_EQ(r.Text(76, 33), c.am);
        EXPECT_EQ(r.Text(109, 33), c.pm);
        EXPECT_EQ(qtest::Category(LC_TIME), "de_DE.UTF-8");
        EXPECT_EQ(qtest::Category(LC_TELEPHONE), "fi_FI.UTF-8");
        EXPECT_STREQ(nl_langinfo(_NL_TELEPHONE_INT_PREFIX), "358");
    }
}

TEST(CountryInfo, FailedNameCopyStopsTheFillAndRestoresCategories) {
    qtest::LocaleScope scope("de_DE.UTF-8");
    ASSERT_NE(setlocale(LC_TIME, "fi_FI.UTF-8"), nullptr);
    qtest::EnvScope env("LC_ALL", "en_US.UTF-8");
    for (int nth : {1, 2}) {  // the copy of LC_TELEPHONE's name, then LC_TIME's
        Record r;
        qtest::strdup_countdown = nth;
        EXPECT_EQ(_KXGetCountryInfo(&r.info), -1);
        EXPECT_EQ(qtest::strdup_countdown, 0);
        EXPECT_EQ(r.Text(0, 4), ",");
        EXPECT_EQ(r.info.country_code, nth == 1 ? int32_t(0xA5A5A5A5) : 1);
        EXPECT_EQ(r.Byte(76), 0xA5);
        EXPECT_EQ(qtest::Category(LC_TELEPHONE), "de_DE.UTF-8");
        EXPECT_EQ(qtest::Category(LC_TIME), "fi_FI.UTF-8");
    }
    // KXLsetlocale then fails too, keeping the new setting and the old ID.
    char *id = KXLsetlocale(4, "C");
    ASSERT_STREQ(id, "001");
    qtest::EnvScope other("LC_ALL", "de_DE.UTF-8");
    qtest::strdup_countdown = 2;
    EXPECT_EQ(KXLsetlocale(4, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(qtest::Category(LC_NUMERIC), "de_DE.UTF-8");
    EXPECT_STREQ(id, "001");
}

TEST(CountryInfo, LocaleconvAndVersion) {
    Record r;
    EXPECT_EQ(KXLlocaleconv(&r.info), &r.info);
    EXPECT_EQ(r.Text(0, 4), ".");
    EXPECT_EQ(_KXGetCountryInfo(nullptr), -1);
    EXPECT_EQ(KXLlocaleconv(nullptr), nullptr);

    uint8_t v[4] = {9, 9, 9, 9};
    KXGetKXLOCALEVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ(std::string(v, v + 4), std::string("\6\0\2\0", 4));
    KXGetKXLOCALEVersion(nullptr, nullptr, &v[0], nullptr);
    EXPECT_EQ(v[0], 2);
}

}  // namespace
