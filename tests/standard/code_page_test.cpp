// The code page and country code that the standard set reports.
#include <quemba/standard.h>

#include "locale_env.h"
#include "quemba_test.h"
#include "standard_state.h"
#include "strdup_fault.h"

namespace {

class CodePage : public qtest::StandardSetTest {};

// The country code is the environment's telephone prefix whatever the
// program selected; the code page is byteUni's while it is loaded, else 0.
TEST_F(CodePage, CountryFromTheEnvironmentCodePageFromTheStandardConverter) {
    const std::pair<const char *, uint32_t> cases[] = {
        {"C", 0}, {"de_DE.UTF-8", 49}, {"fi_FI.UTF-8", 358}, {"qz_QZ.UTF-8", 1234}, {"qy_QY.UTF-8", uint32_t(-7)}};
    for (const auto &[environment, country] : cases) {
        qtest::LocaleScope scope("en_US.UTF-8");
        qtest::EnvScope env("LC_ALL", environment);
        for (uint32_t loaded : {0u, 850u, 0u}) {
            ASSERT_EQ(loaded == 0 ? (KXUSStandardUnicodeRelease(), CVT_OK) : KXUSStandardUnicodeOverride(loaded), CVT_OK);
            uint32_t codePage = 1, countryCode = 1;
            EXPECT_EQ(KXUSGetCodePage(&codePage, &countryCode) | KXUSGetCodePage(nullptr, nullptr), CVT_OK);
            EXPECT_TRUE(codePage == loaded && countryCode == country) << environment;
        }
    }
}

// A fill that fails reports no country; the standard converter's code page
// does not depend on it.
TEST_F(CodePage, FailedFillReportsZeroCountry) {
    qtest::EnvScope env("LC_ALL", "de_DE.UTF-8");
    for (uint32_t loaded : {0u, 850u}) {
        for (int nth : {1, 2}) {
            ASSERT_EQ(loaded != 0 ? KXUSStandardUnicodeOverride(loaded) : CVT_OK, CVT_OK);
            uint32_t codePage = 1, country = 1;
            qtest::strdup_countdown = nth;
            EXPECT_EQ(KXUSGetCodePage(&codePage, &country), CVT_OK);
            EXPECT_TRUE(qtest::strdup_countdown == 0 && codePage == loaded && country == 0);
        }
    }
}

TEST_F(CodePage, InitLeavesTheProgramsTimeAndTelephoneCategories) {
    qtest::LocaleScope scope("C");
    ASSERT_NE(setlocale(LC_TIME, "de_DE.UTF-8"), nullptr);
    ASSERT_NE(setlocale(LC_TELEPHONE, "fi_FI.UTF-8"), nullptr);
    qtest::EnvScope env("LANG", "en_US.UTF-8");
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    EXPECT_EQ(qtest::Category(LC_TIME), "de_DE.UTF-8");
    EXPECT_EQ(qtest::Category(LC_TELEPHONE), "fi_FI.UTF-8");
}

}  // namespace
