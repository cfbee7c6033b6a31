// Locale selection by the library's category numbers, answered with the
// environment locale's country code as three digits.
#include <quemba/locale_services.h>

#include <climits>
#include <string>

#include "locale_env.h"
#include "quemba_test.h"

namespace {

TEST(SetLocale, CategoryNumbersMapToHostCategories) {
    const int hosts[] = {LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME, LC_TELEPHONE};
    for (int32_t category = 0; category <= 5; ++category) {
        qtest::LocaleScope scope("C");
        ASSERT_NE(KXLsetlocale(category, "de_DE.UTF-8"), nullptr);
        for (int i = 0; i < 6; ++i) {
            const bool follows = category == 0 ? true : i == category - 1;
            EXPECT_EQ(qtest::Category(hosts[i]), follows ? "de_DE.UTF-8" : "C") << category << " " << i;
        }
    }
}

TEST(SetLocale, RejectedRequestsAndQueriesChangeNothing) {
    qtest::LocaleScope scope("de_DE.UTF-8");
    qtest::EnvScope env("LANG", "fi_FI.UTF-8");
    char *id = KXLsetlocale(2, nullptr);
    ASSERT_STREQ(id, "358");
    qtest::EnvScope other("LANG", "en_US.UTF-8");
    const std::pair<int32_t, const char *> cases[] = {
        {6, ""}, {-1, ""}, {INT32_MIN, "C"}, {0, "xx_NOWHERE.UTF-8"}, {5, "xx_NOWHERE"}};
    for (const auto &[category, locale] : cases) {
        EXPECT_EQ(KXLsetlocale(category, locale), nullptr) << category;
        EXPECT_EQ(qtest::Category(LC_ALL), "de_DE.UTF-8");
        EXPECT_STREQ(id, "358");
    }
}

// Prefixes that three digits cannot hold (qz_QZ 1234, qy_QY -7) are no country.
TEST(SetLocale, CountryIdIsTheEnvironmentsWhateverIsSelected) {
    const std::pair<const char *, const char *> cases[] = {
        {"POSIX", "000"}, {"en_US.UTF-8", "001"}, {"de_DE.UTF-8", "049"},
        {"fi_FI.UTF-8", "358"}, {"qz_QZ.UTF-8", "000"}, {"qy_QY.UTF-8", "000"}};
    const char *first = nullptr;
    for (const auto &[environment, expected] : cases) {
        qtest::LocaleScope scope("C");
        qtest::EnvScope env("LC_ALL", environment);
        for (const char *selected : {"", "fi_FI.UTF-8", "de_DE.UTF-8"}) {
            const char *id = KXLsetlocale(0, selected);
            EXPECT_STREQ(id, expected) << environment << " " << selected;
            if (first == nullptr) first = id;
            EXPECT_EQ(id, first) << "one buffer for every answer";
        }
    }
}

}  // namespace
