// Reference counting, override and release of the standard converter set.
#include <quemba/standard.h>

#include <array>
#include <string>
#include <vector>

#include "standard_state.h"

namespace {

class StandardSet : public qtest::StandardSetTest {};

enum Op { Init, Release, Override, UnloadByteUni, UnloadLowerCase };
// codePage: the argument of Override; then byteUni's code page while loaded.
struct Step { Op op; uint32_t codePage; int32_t result; std::array<int32_t, 3> counts; };

int32_t Apply(const Step &s) {
    switch (s.op) {
    case Init: return KXUSStandardUnicodeInit();
    case Release: KXUSStandardUnicodeRelease(); return 0;
    case Override: return KXUSStandardUnicodeOverride(s.codePage);
    case UnloadByteUni: return KXUXUnloadConverter(KXZStandardByteUni());
    case UnloadLowerCase: return KXUXUnloadConverter(KXZStandardLowerCase());
    }
    return 1;
}

const std::vector<std::vector<Step>> kScripts = {
    {{Release, 0, 0, {0, 0, 0}}, {Init, 0, 0, {1, 1, 1}}, {Init, 0, 0, {2, 2, 2}},
     {Override, 0, 0, {2, 2, 2}}, {Release, 0, 0, {1, 1, 1}}, {Release, 0, 0, {0, 0, 0}},
     {Release, 0, 0, {0, 0, 0}}, {Init, 0, 0, {1, 1, 1}}},
    {{Override, 850, 0, {1, 1, 1}}, {Override, 850, 0, {1, 1, 1}}, {Override, 437, 0, {1, 1, 1}},
     {Release, 0, 0, {0, 0, 0}}},
    {{Init, 0, 0, {1, 1, 1}}, {Init, 0, 0, {2, 2, 2}}, {Init, 0, 0, {3, 3, 3}},
     {Override, 850, 0, {1, 3, 3}}, {Release, 0, 0, {0, 2, 2}}, {Init, 0, 0, {1, 3, 3}}},
    {{Init, 0, 0, {1, 1, 1}}, {UnloadLowerCase, 0, 0, {1, 0, 1}},
     {UnloadLowerCase, 0, CVT_E_BAD_HANDLE, {1, 0, 1}}, {Override, 0, 0, {1, 0, 1}},
     {Override, 932, 0, {1, 1, 1}}, {UnloadByteUni, 0, 0, {0, 1, 1}},
     {UnloadByteUni, 0, CVT_E_BAD_HANDLE, {0, 1, 1}}, {Init, 0, 0, {1, 2, 2}}},
};

TEST_F(StandardSet, ReferenceCountScripts) {
    for (size_t script = 0; script < kScripts.size(); ++script) {
        qtest::UnloadStandardSet();
        for (size_t i = 0; i < kScripts[script].size(); ++i) {
            SCOPED_TRACE("script " + std::to_string(script) + " step " + std::to_string(i));
            const Step &s = kScripts[script][i];
            EXPECT_TRUE(Apply(s) == s.result && qtest::Counts() == s.counts);
            EXPECT_TRUE(s.counts[0] == 0 || KXZStandardByteUni()->codePage == s.codePage);
        }
    }
    EXPECT_EQ(semStandard, 0u);
}

// Reloading starts from the defaults; an override to the same code page is
// no reload.
TEST_F(StandardSet, OverrideToAnotherCodePageResetsSettings) {
    ConverterHandle byteUni = KXZStandardByteUni();
    uint16_t sub = 0;
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    ASSERT_EQ(KXUXSetSubUni(byteUni, u'?'), CVT_OK);
    ASSERT_EQ(KXUSStandardUnicodeOverride(0), CVT_OK);
    ASSERT_EQ(KXUXGetSubUni(byteUni, &sub), CVT_OK);
    EXPECT_EQ(sub, u'?');
    ASSERT_EQ(KXUSStandardUnicodeOverride(850), CVT_OK);
    ASSERT_EQ(KXUXGetSubUni(byteUni, &sub), CVT_OK);
    EXPECT_EQ(sub, 0xFFFD);
    EXPECT_TRUE(KXZCheckHandle(KXZStandardUpperCase(), CONVERTER_CASE) == CVT_OK && KXZStandardUpperCase()->subKind == CASE_UPPER);
}

}  // namespace
