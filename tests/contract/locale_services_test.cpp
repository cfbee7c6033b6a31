// Locale selection, the country information of our own locales and the
// environment's, and the rows of the byte-string helpers the models leave
// open: null pointers, sizes at their edges, results written out by hand.
#include <quemba/locale_services.h>

#include <langinfo.h>

#include <climits>

#include "qtest.h"

using namespace qtest;
using namespace std::string_literals;

namespace {

constexpr const char *kQz = "qz_QZ.UTF-8", *kQy = "qy_QY.UTF-8", *kDe = "de_DE.UTF-8", *kFi = "fi_FI.UTF-8";

// Category 0 is every category, 1..5 one each; the others stay "C".
TEST(SetLocale, CategoryNumbersAndRefusals) {
    const int hosts[] = {LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME, LC_TELEPHONE};
    for (int32_t category = 0; category <= 5; ++category) {
        LocaleScope scope(kC);
        ASSERT_NE(KXLsetlocale(category, kDe), nullptr);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(Category(hosts[i]), category == 0 || i == category - 1 ? kDe : kC) << category;
    }
    LocaleScope scope(kDe);
    EnvScope env("LANG", kFi);
    char *id = KXLsetlocale(2, nullptr);
    ASSERT_STREQ(id, "358");
    EnvScope other("LANG", kUtf8);
    for (const auto &[category, locale] : {std::pair<int32_t, const char *>{6, ""}, {-1, ""}, {INT32_MIN, "C"},
                                           {0, "xx_NOWHERE.UTF-8"}, {5, "xx_NOWHERE"}}) {
        EXPECT_TRUE(KXLsetlocale(category, locale) == nullptr && Category(LC_ALL) == kDe && !strcmp(id, "358")) << category;
    }
}

// The environment's telephone prefix, whatever is selected; prefixes that
// three digits cannot hold (qz_QZ 1234, qy_QY -7) are no country.
TEST(SetLocale, CountryIdComesFromTheEnvironment) {
    const char *first = nullptr;
    for (const auto &[environment, expected] : {std::pair{"POSIX", "000"}, {kUtf8, "001"}, {kDe, "049"},
                                                 {kFi, "358"}, {kQz, "000"}, {kQy, "000"}}) {
        LocaleScope scope(kC);
        EnvScope env("LC_ALL", environment);
        for (const char *selected : {"", kFi, kDe}) {
            const char *id = KXLsetlocale(0, selected);
            EXPECT_STREQ(id, expected) << environment << " " << selected;
            EXPECT_EQ(id, first != nullptr ? first : (first = id)) << "one buffer for every answer";
        }
    }
}

// qz_QZ's AM is 32 bytes (30 characters), its PM 33 bytes; a locale libc
// does not know reads as "C", not as the program's own setting.
TEST(CountryInfo, TelephoneAndTimeOfTheEnvironmentThenRestored) {
    const struct { const char *variable, *locale; int32_t country; const char *am, *pm; } cases[] = {
        {"LANG", kC, 0, "AM", "PM"}, {"LANG", kUtf8, 1, "AM", "PM"}, {"LC_ALL", kDe, 49, "", ""},
        {"LANG", kFi, 358, "", ""}, {"LC_ALL", kQy, -7, "AM", "PM"}, {"LC_ALL", "xx_NOWHERE.UTF-8", 0, "AM", "PM"},
        {"LC_ALL", kQz, 1234, "ante meridiem, quemba zone: \u00e4\u00f6", ""},
    };
    for (const auto &c : cases) {
        LocaleScope scope(kC);
        ASSERT_TRUE(setlocale(LC_TIME, kDe) && setlocale(LC_TELEPHONE, kFi));
        EnvScope env(c.variable, c.locale);
        CountryInfo info;
        ASSERT_EQ(KXLlocaleconv(&info), &info);
        EXPECT_TRUE(info.country_code == c.country && std::string(info.am_string) == c.am && std::string(info.pm_string) == c.pm)
            << c.locale;
        EXPECT_TRUE(Category(LC_TIME) == kDe && Category(LC_TELEPHONE) == kFi &&
                    std::string(nl_langinfo(_NL_TELEPHONE_INT_PREFIX)) == "358") << c.locale;
    }
    EXPECT_TRUE(_KXGetCountryInfo(nullptr) == -1 && KXLlocaleconv(nullptr) == nullptr);
    uint8_t v[4] = {9, 9, 9, 9};
    KXGetKXLOCALEVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ(std::string(v, v + 4), "\6\0\2\0"s);
    KXGetKXLOCALEVersion(nullptr, nullptr, &v[0], nullptr);  // nulls are skipped
    EXPECT_EQ(v[0], 2);
}

// Null pointers and sizes at their edges; nothing written where nothing fits.
TEST(Multibyte, EdgesAndNullPointers) {
    for (const char *locale : {kC, kUtf8, kEucJp}) {
        LocaleScope scope(locale);
        Guarded<char> dest(4);
        const char text[] = "abc";
        EXPECT_TRUE(!KXstrncpy(dest.data(), nullptr, 3) && !KXstrncpy(nullptr, text, 3) && !KXLstrbcpy(nullptr, text, 4) &&
                    !KXLstrbcpy(dest.data(), nullptr, 4) && KXLstrbcpy(dest.data(), text, 0) == dest.data() &&
                    KXstrncpy(dest.data(), text, 0) == dest.data() && dest.untouchedFrom(0) && dest.intact());
        EXPECT_TRUE(!KXNextChar(nullptr) && !KXNextChar_r(nullptr, nullptr) && !KXPrevChar(nullptr, text) &&
                    KXPrevChar(text + 1, text) == nullptr && KXNextChar(text + 3) == text + 3);
        EXPECT_TRUE(KXLmblen(nullptr, 4) == 0 && KXLmblen("", 1) == 0 && KXLmblen("a", 0) == -1);
        char s[] = "abcdef";
        EXPECT_TRUE(KXLTruncateString(s, INT32_MIN) == 0 && s[0] == 0 && std::string(s + 1, 5) == "bcdef");
        EXPECT_TRUE(KXultoa(5, s, INT32_MIN) == s && s[0] == 0 && KXltoa(-5, s, 64) == s && s[0] == 0 && std::string(KXltoa(0, s, 10)) == "0");
    }
}

TEST(Collation, PassThroughAndCountedExamples) {
    EXPECT_GT(KXLstrcoll("a", "B"), 0);  // in C
    LocaleScope scope(kDe);
    EXPECT_TRUE(KXLstrcoll("a", "B") < 0 && KXstrncoll("\xC3\xA9x", "\xC3\xA9y", 1) == 0);
    EXPECT_TRUE(KXstrncoll("ab", "abc", 5) == -1 && KXstrncoll("abc", "ab", 5) == 1 && KXstrncoll("a", "b", 0) == 0);
    EXPECT_EQ(KXstrncoll("a\xFF" "x", "a\xFF" "y", 5), -1);  // after a bad sequence: bytes
    // Transforms order like the collation, and fit when sized by a query.
    Guarded<char> xa(KXLstrxfrm(nullptr, "a", 0) + 1), xb(KXLstrxfrm(nullptr, "B", 0) + 1), small(2);
    EXPECT_TRUE(KXLstrxfrm(xa.data(), "a", xa.size()) == xa.size() - 1 && KXLstrxfrm(xb.data(), "B", xb.size()) == xb.size() - 1);
    EXPECT_TRUE(std::strcmp(xa.data(), xb.data()) < 0 && KXLstrxfrm(small.data(), "abcdef", 2) == KXLstrxfrm(nullptr, "abcdef", 0) &&
                xa.intact() && xb.intact() && small.intact());
    struct tm t = {};
    t.tm_year = 124, t.tm_mon = 2, t.tm_mday = 5, t.tm_wday = 2;
    Guarded<char> day(16), tight(10);
    EXPECT_TRUE(KXLstrftime(day.data(), day.size(), "%A", &t) == 8u && std::string(day.data()) == "Dienstag");
    EXPECT_TRUE(KXLstrftime(tight.data(), tight.size(), "%Y-%m-%d", &t) == 0u && day.intact() && tight.intact());
}

}  // namespace
