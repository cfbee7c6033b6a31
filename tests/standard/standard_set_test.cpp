// Reference counting, override and release of the standard converter set.
#include <quemba/standard.h>

#include <string>
#include <vector>

#include "quemba_test.h"
#include "standard_state.h"

namespace {

using qtest::Counts;
using qtest::StandardCounts;

class StandardSet : public qtest::StandardSetTest {};

enum class Op { Init, Release, Override, UnloadByteUni, UnloadLowerCase };

struct Step {
    Op op;
    uint32_t codePage;       // for Override
    int32_t result;          // expected result (Release: ignored)
    Counts after;
    uint32_t byteUniCodePage;  // checked while byteUni is loaded
};

struct Script {
    const char *name;
    std::vector<Step> steps;
};

int32_t Apply(const Step &s) {
    switch (s.op) {
    case Op::Init: return KXUSStandardUnicodeInit();
    case Op::Release: KXUSStandardUnicodeRelease(); return 0;
    case Op::Override: return KXUSStandardUnicodeOverride(s.codePage);
    case Op::UnloadByteUni: return KXUXUnloadConverter(KXZStandardByteUni());
    case Op::UnloadLowerCase: return KXUXUnloadConverter(KXZStandardLowerCase());
    }
    return -1;
}

const Script kScripts[] = {
    {"release without init", {{Op::Release, 0, 0, {0, 0, 0}, 0}}},
    {"inits nest",
     {{Op::Init, 0, 0, {1, 1, 1}, 0},
      {Op::Init, 0, 0, {2, 2, 2}, 0},
      {Op::Release, 0, 0, {1, 1, 1}, 0},
      {Op::Release, 0, 0, {0, 0, 0}, 0},
      {Op::Release, 0, 0, {0, 0, 0}, 0},
      {Op::Init, 0, 0, {1, 1, 1}, 0}}},
    {"override with the same code page changes nothing",
     {{Op::Init, 0, 0, {1, 1, 1}, 0},
      {Op::Init, 0, 0, {2, 2, 2}, 0},
      {Op::Override, 0, 0, {2, 2, 2}, 0}}},
    {"override before init loads all three",
     {{Op::Override, 850, 0, {1, 1, 1}, 850},
      {Op::Override, 850, 0, {1, 1, 1}, 850},
      {Op::Override, 437, 0, {1, 1, 1}, 437},
      {Op::Release, 0, 0, {0, 0, 0}, 0}}},
    {"override after three inits reloads byteUni only",
     {{Op::Init, 0, 0, {1, 1, 1}, 0},
      {Op::Init, 0, 0, {2, 2, 2}, 0},
      {Op::Init, 0, 0, {3, 3, 3}, 0},
      {Op::Override, 850, 0, {1, 3, 3}, 850},
      {Op::Release, 0, 0, {0, 2, 2}, 0},
      {Op::Init, 0, 0, {1, 3, 3}, 0},
      {Op::Override, 1252, 0, {1, 3, 3}, 1252}}},
    {"override reloads what was unloaded by hand",
     {{Op::Init, 0, 0, {1, 1, 1}, 0},
      {Op::UnloadLowerCase, 0, 0, {1, 0, 1}, 0},
      {Op::UnloadLowerCase, 0, CVT_E_BAD_HANDLE, {1, 0, 1}, 0},
      {Op::Override, 0, 0, {1, 0, 1}, 0},
      {Op::Override, 932, 0, {1, 1, 1}, 932},
      {Op::UnloadByteUni, 0, 0, {0, 1, 1}, 0},
      {Op::UnloadByteUni, 0, CVT_E_BAD_HANDLE, {0, 1, 1}, 0},
      {Op::Init, 0, 0, {1, 2, 2}, 0}}},
};

TEST_F(StandardSet, ReferenceCountScripts) {
    for (const Script &script : kScripts) {
        SCOPED_TRACE(script.name);
        qtest::UnloadStandardSet();
        for (size_t i = 0; i < script.steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i));
            const Step &s = script.steps[i];
            const int32_t result = Apply(s);
            if (s.op != Op::Release) {
                EXPECT_EQ(result, s.result);
            }
            EXPECT_EQ(StandardCounts(), s.after);
            if (s.after.byteUni > 0) {
                EXPECT_EQ(KXZStandardByteUni()->codePage, s.byteUniCodePage);
            }
        }
    }
}

TEST_F(StandardSet, LoadedRecordsHaveTheirKinds) {
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    struct Case {
        ConverterHandle handle;
        uint32_t kind, subKind;
    };
    const Case cases[] = {{KXZStandardByteUni(), CONVERTER_BYTE_UNI, 0},
                          {KXZStandardLowerCase(), CONVERTER_CASE, CASE_LOWER},
                          {KXZStandardUpperCase(), CONVERTER_CASE, CASE_UPPER}};
    for (const Case &c : cases) {
        EXPECT_EQ(KXZCheckHandle(c.handle, c.kind), CVT_OK);
        EXPECT_EQ(c.handle->subKind, c.subKind);
        EXPECT_EQ(c.handle->codePage, 0u);
        EXPECT_NE(c.handle->toUnicodeStep, nullptr);
    }
    EXPECT_NE(KXZStandardByteUni()->toByteStep, nullptr);
}

// A reload starts from the defaults; an override to the same code page is
// no reload.
TEST_F(StandardSet, OverrideToAnotherCodePageResetsSettings) {
    ConverterHandle byteUni = KXZStandardByteUni();
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    ASSERT_EQ(KXUXSetSubUni(byteUni, u'?'), CVT_OK);
    ASSERT_EQ(KXUSStandardUnicodeOverride(0), CVT_OK);
    uint16_t sub = 0;
    ASSERT_EQ(KXUXGetSubUni(byteUni, &sub), CVT_OK);
    EXPECT_EQ(sub, u'?');
    ASSERT_EQ(KXUSStandardUnicodeOverride(850), CVT_OK);
    ASSERT_EQ(KXUXGetSubUni(byteUni, &sub), CVT_OK);
    EXPECT_EQ(sub, 0xFFFD);
}

TEST_F(StandardSet, HandlesNeverChange) {
    const ConverterHandle before[] = {KXZStandardByteUni(), KXZStandardLowerCase(),
                                      KXZStandardUpperCase()};
    ASSERT_EQ(KXUSStandardUnicodeOverride(850), CVT_OK);
    KXUSStandardUnicodeRelease();
    EXPECT_EQ(KXZStandardByteUni(), before[0]);
    EXPECT_EQ(KXZStandardLowerCase(), before[1]);
    EXPECT_EQ(KXZStandardUpperCase(), before[2]);
}

TEST(SemStandard, IsAnUntouchedZeroWord) {
    EXPECT_EQ(sizeof semStandard, 4u);
    EXPECT_EQ(semStandard, 0u);
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    KXUSStandardUnicodeRelease();
    EXPECT_EQ(semStandard, 0u);
}

}  // namespace
