// Table-handle API: what the sweep's models cannot decide (handles, data
// words, refused arguments, the search path) and examples by hand.
#include <quemba/table_handle.h>

#include "qtest.h"

namespace {

using namespace qtest;

TEST(TableHandles, AreMinusOneAndTheDataStaysZero) {
    uint32_t h[5] = {};
    EXPECT_EQ(KXGetUnicodeToLocalHandle(&h[0]) | KXGetLocalToUnicodeHandle(&h[1]) | KXGetMonocaseHandle(&h[2]) |
                  KXGetCollationHandle(&h[3]) | KXLoadRuleTable("ANY.TBL", &h[4]), 0);
    EXPECT_EQ(std::vector<uint32_t>(h, h + 5), std::vector<uint32_t>(5, 0xFFFFFFFFu));
    EXPECT_EQ(KXUnloadRuleTable(h[4]) | KXInitUnicodeTables() | KXFreeUnicodeTables(), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(*_aUnicodeInfo[i].handle == 0 && std::string(_aUnicodeInfo[i].name, 13) == std::string(13, '\0'));
        for (int j = 0; j < i; ++j) EXPECT_NE(_aUnicodeInfo[i].handle, _aUnicodeInfo[j].handle);
    }
    EXPECT_TRUE(!_pprocUnicodeToCollation && !_pprocUnicodeToMonocase && !_pprocLocalToUnicode &&
                !_pprocUnicodeToLocal && _iCodePage == 0 && _iCountryCode == 0);
}

// Death-test suites run first: no path has been set yet.
TEST(SearchPathDeathTest, StartsNull) {
    EXPECT_EXIT(std::exit(strUnicodeSearchPath == nullptr ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(SearchPath, KeepsACopyOfTheLastPath) {
    std::string first = "/usr/share/tables";
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath(first.c_str()), 0);
    first[0] = 'X';
    EXPECT_STREQ(strUnicodeSearchPath, "/usr/share/tables");
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("C:\\UNICODE"), 0);
    EXPECT_STREQ(strUnicodeSearchPath, "C:\\UNICODE");
}

TEST(TableConversions, RefuseNullsAndZeroSizeWritingNothing) {
    Guarded<uint16_t> units(4);
    Guarded<char> bytes(4);
    uint32_t count = kUnset;
    for (int32_t r : {KXLocalToUnicode(0, nullptr, 4, "a", 0, &count), KXLocalToUnicode(0, units.data(), 0, "a", 0, &count),
                      KXLocalToUnicode(0, units.data(), 4, nullptr, 0, &count), KXUnicodeToLocal(0, nullptr, 4, U(u"a"), 0, &count),
                      KXUnicodeToLocal(0, bytes.data(), 0, U(u"a"), 0, &count), KXUnicodeToLocal(0, bytes.data(), 4, nullptr, 0, &count),
                      KXUnicodeToMonocase(0, nullptr, 4, U(u"A"), &count), KXUnicodeToMonocase(0, units.data(), 0, U(u"A"), &count),
                      KXUnicodeToMonocase(0, units.data(), 4, nullptr, &count)})
        EXPECT_EQ(r, LOC_E_BAD_ARGUMENT);
    EXPECT_TRUE(count == kUnset && units.untouchedFrom(0) && bytes.untouchedFrom(0) && units.intact() && bytes.intact());
    EXPECT_EQ(KXUnicodeToCollation(0, units.data(), 0, U(u"a"), 0, &count), LOC_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 0u);
}

}  // namespace
