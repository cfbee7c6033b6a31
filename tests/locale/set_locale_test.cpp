// Locale selection by the library's category numbers and the three-digit
// country ID it answers with.
#include <quemba/locale_services.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "locale_env.h"
#include "quemba_test.h"

namespace {

const int kHostCategories[] = {LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME,
                               LC_MESSAGES, LC_TELEPHONE};

TEST(SetLocale, CategoryNumbersMapToHostCategories) {
    struct Case {
        int32_t category;
        std::vector<int> changed;  // host categories that must follow
    };
    const Case cases[] = {
        {0, {LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME, LC_MESSAGES, LC_TELEPHONE}},
        {1, {LC_COLLATE}},
        {2, {LC_CTYPE}},
        {3, {LC_MONETARY}},
        {4, {LC_NUMERIC}},
        {5, {LC_TIME}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.category);
        qtest::CLocaleAfter after;
        ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
        ASSERT_NE(KXLsetlocale(c.category, "de_DE.UTF-8"), nullptr);
        for (int host : kHostCategories) {
            const bool follows = std::find(c.changed.begin(), c.changed.end(), host) != c.changed.end();
            EXPECT_EQ(qtest::CategoryName(host), follows ? "de_DE.UTF-8" : "C") << "host category " << host;
        }
    }
}

TEST(SetLocale, RejectedRequestsChangeNothing) {
    qtest::CLocaleAfter after;
    qtest::EnvScope env("LANG", "fi_FI.UTF-8");
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char *id = KXLsetlocale(2, nullptr);
    ASSERT_NE(id, nullptr);
    ASSERT_STREQ(id, "358");
    const std::string before = qtest::CategoryName(LC_ALL);

    qtest::EnvScope other("LANG", "en_US.UTF-8");
    struct Case {
        int32_t category;
        const char *locale;
    };
    const Case cases[] = {{6, ""}, {-1, ""}, {100, "C"}, {INT32_MIN, "C"}, {0, "xx_NOWHERE.UTF-8"},
                          {5, "xx_NOWHERE.UTF-8"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.category);
        EXPECT_EQ(KXLsetlocale(c.category, c.locale), nullptr);
        EXPECT_EQ(qtest::CategoryName(LC_ALL), before);
        EXPECT_STREQ(id, "358") << "a failed call overwrote the country ID";
    }
}

TEST(SetLocale, QueryChangesNothing) {
    qtest::CLocaleAfter after;
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_NE(setlocale(LC_CTYPE, "fi_FI.UTF-8"), nullptr);
    const std::string before = qtest::CategoryName(LC_ALL);
    EXPECT_STREQ(KXLsetlocale(2, nullptr), "000");
    EXPECT_EQ(qtest::CategoryName(LC_ALL), before);
}

// The ID is the environment's telephone prefix; prefixes that do not fit
// three digits (qz_QZ 1234, qy_QY -7) read as no country.
TEST(SetLocale, CountryIdComesFromTheEnvironment) {
    struct Case {
        const char *environment;
        const char *id;
    };
    const Case cases[] = {{"C", "000"},           {"POSIX", "000"},       {"en_US.UTF-8", "001"},
                          {"de_DE.UTF-8", "049"}, {"fi_FI.UTF-8", "358"}, {"qz_QZ.UTF-8", "000"},
                          {"qy_QY.UTF-8", "000"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.environment);
        qtest::CLocaleAfter after;
        qtest::EnvScope env("LC_ALL", c.environment);
        for (const char *selected : {"", "C", "fi_FI.UTF-8", "de_DE.UTF-8"}) {
            SCOPED_TRACE(selected);
            const char *id = KXLsetlocale(0, selected);
            ASSERT_NE(id, nullptr);
            EXPECT_STREQ(id, c.id);
        }
    }
}

TEST(SetLocale, ResultIsOneBufferThatEachSuccessOverwrites) {
    qtest::CLocaleAfter after;
    const char *first;
    {
        qtest::EnvScope env("LC_ALL", "de_DE.UTF-8");
        first = KXLsetlocale(4, "C");
        ASSERT_STREQ(first, "049");
    }
    qtest::EnvScope env("LC_ALL", "en_US.UTF-8");
    const char *second = KXLsetlocale(4, "C");
    EXPECT_EQ(second, first);
    EXPECT_STREQ(first, "001");
}

}  // namespace
