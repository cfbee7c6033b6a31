// The code page and country code that the standard set reports.
#include <quemba/standard.h>

#include <string>

#include "locale_env.h"
#include "quemba_test.h"
#include "standard_state.h"
#include "strdup_fault.h"

namespace {

class CodePage : public qtest::StandardSetTest {};

constexpr uint32_t kUntouched = 0xDEADBEEF;

TEST_F(CodePage, NullPointersAreSkipped) {
    EXPECT_EQ(KXUSGetCodePage(nullptr, nullptr), CVT_OK);
    qtest::EnvScope env("LC_ALL", "de_DE.UTF-8");
    ASSERT_EQ(KXUSStandardUnicodeOverride(850), CVT_OK);
    uint32_t value = kUntouched;
    EXPECT_EQ(KXUSGetCodePage(&value, nullptr), CVT_OK);
    EXPECT_EQ(value, 850u);
    value = kUntouched;
    EXPECT_EQ(KXUSGetCodePage(nullptr, &value), CVT_OK);
    EXPECT_EQ(value, 49u);
}

// The country code is the environment's telephone prefix, whatever the
// program selected; qy_QY's -7 comes back as its 32-bit pattern.
TEST_F(CodePage, CountryCodeComesFromTheEnvironment) {
    struct Case {
        const char *environment;
        uint32_t country;
    };
    const Case cases[] = {{"C", 0},           {"en_US.UTF-8", 1},     {"de_DE.UTF-8", 49},
                          {"fi_FI.UTF-8", 358}, {"qz_QZ.UTF-8", 1234}, {"qy_QY.UTF-8", 0xFFFFFFF9u}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.environment);
        qtest::CLocaleAfter after;
        ASSERT_NE(setlocale(LC_ALL, "fi_FI.UTF-8"), nullptr);
        qtest::EnvScope env("LC_ALL", c.environment);
        uint32_t codePage = kUntouched, country = kUntouched;
        EXPECT_EQ(KXUSGetCodePage(&codePage, &country), CVT_OK);
        EXPECT_EQ(codePage, 0u);
        EXPECT_EQ(country, c.country);
    }
}

TEST_F(CodePage, StandardConverterCodePageTakesPrecedence) {
    struct Case {
        const char *what;
        int32_t (*action)();
        uint32_t codePage;
    };
    const Case cases[] = {
        {"override 850", [] { return KXUSStandardUnicodeOverride(850); }, 850},
        {"init keeps 850", [] { return KXUSStandardUnicodeInit(); }, 850},
        {"override 0", [] { return KXUSStandardUnicodeOverride(0); }, 0},
        {"override 65001", [] { return KXUSStandardUnicodeOverride(65001); }, 65001},
        {"release", [] { KXUSStandardUnicodeRelease(); return 0; }, 0},
        {"init after release", [] { return KXUSStandardUnicodeInit(); }, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.action(), CVT_OK);
        uint32_t codePage = kUntouched;
        EXPECT_EQ(KXUSGetCodePage(&codePage, nullptr), CVT_OK);
        EXPECT_EQ(codePage, c.codePage);
    }
}

// When the locale data cannot be read nothing half-filled is reported.
TEST_F(CodePage, FailedFillReportsZeroCountry) {
    qtest::EnvScope env("LC_ALL", "de_DE.UTF-8");
    for (int nth : {1, 2}) {
        SCOPED_TRACE(nth);
        for (uint32_t loaded : {0u, 850u}) {
            SCOPED_TRACE(loaded);
            qtest::UnloadStandardSet();
            if (loaded != 0) {
                ASSERT_EQ(KXUSStandardUnicodeOverride(loaded), CVT_OK);
            }
            uint32_t codePage = kUntouched, country = kUntouched;
            qtest::StrdupFailure failure(nth);
            EXPECT_EQ(KXUSGetCodePage(&codePage, &country), CVT_OK);
            EXPECT_TRUE(failure.fired());
            EXPECT_EQ(codePage, loaded);
            EXPECT_EQ(country, 0u);
        }
    }
}

TEST_F(CodePage, InitLeavesTheProgramsTimeAndTelephoneCategories) {
    qtest::CLocaleAfter after;
    ASSERT_NE(setlocale(LC_TIME, "de_DE.UTF-8"), nullptr);
    ASSERT_NE(setlocale(LC_TELEPHONE, "fi_FI.UTF-8"), nullptr);
    qtest::EnvScope env("LANG", "en_US.UTF-8");
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    EXPECT_EQ(qtest::CategoryName(LC_TIME), "de_DE.UTF-8");
    EXPECT_EQ(qtest::CategoryName(LC_TELEPHONE), "fi_FI.UTF-8");
}

}  // namespace
