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

// Both directions, written with the terminator. A rejected byte is judged
// afresh after its substitute (0x82 is not the rest of 0xE2 0x82); a
// character above U+FFFF is one substitute.
TEST(TableConversions, Examples) {
    const struct { const char *locale; std::string bytes; std::u16string units; uint16_t noMap; int32_t result; } toUnits[] = {
        {kC, "\x80x\xFF", u"?x?", u'?', 0},          {kC, "xy\x80", u"xy", 0, LOC_E_NO_MAP},
        {kLatin1, "\xE9t\x80", u"\x00E9t\x0080", 0, 0}, {kCp1251, "\x98\xC6\x98", u"\xFFFD\x0416\xFFFD", 0xFFFD, 0},
        {kUtf8, "x\xE2\x82y", u"x??y", u'?', 0},      {kUtf8, "x\xE2\x82", u"x", 0, LOC_E_NO_MAP},
        {kUtf8, "x\xF0\x9F\x98\x80y", u"x?y", u'?', 0}, {kEucJp, "\xA4\xA2\x8E\xB1\x8F\xB0\xA1", u"\x3042\xFF71\x4E02", 0, 0},
        {kEucJp, "\xA4x\xA4\xA2", u"?x\x3042", u'?', 0},
    }, toBytes[] = {
        {kC, "x", u"x\x00E9y", 0, LOC_E_NO_MAP},     {kCp1251, "\xC6\xE6_", u"\x0416\x0436\x00E9", '_', 0},
        {kUtf8, "x??y", u"x\xD83D\xDE00y", '?', 0},  {kEucJp, "\x8F\xAB\xB1", u"\x00E9\xFF71", 0, LOC_E_BUFFER_TOO_SMALL},
    };
    for (const auto &row : toUnits) {
        LocaleScope scope(row.locale);
        Guarded<uint16_t> out(8);
        uint32_t count = kUnset;
        EXPECT_EQ(KXLocalToUnicode(0xFFFFFFFF, out.data(), 8, row.bytes.c_str(), row.noMap, &count), row.result);
        EXPECT_EQ(S16(out.data(), count), row.units + u'\0') << (&row - toUnits);
    }
    for (const auto &row : toBytes) {  // the last with room for 4 bytes and the terminator
        LocaleScope scope(row.locale);
        Guarded<char> out(8);
        uint32_t count = kUnset, size = &row == std::end(toBytes) - 1 ? 5 : 8;
        EXPECT_EQ(KXUnicodeToLocal(0, out.data(), size, U(row.units), uint8_t(row.noMap), &count), row.result);
        EXPECT_EQ(std::string(out.data(), count), row.bytes + '\0') << (&row - toBytes);
    }
}

// C lowers ASCII only and orders by code; en_US by letter first.
TEST(TableCase, MonocaseAndCompareExamples) {
    const struct { const char *locale; std::u16string input, lowered; char16_t a, b; int32_t order; } rows[] = {
        {kC, u"A\x00C4\x0416", u"a\x00C4\x0416", u'a', u'B', 1}, {kC, u"Z", u"z", 0xFFFF, 0x8000, 1},
        {kUtf8, u"\x00C4\x0416Z\xFFFF", u"\x00E4\x0436z\xFFFF", u'a', u'B', -1}, {kUtf8, u"", u"", 0xE4, 0xE4, 0},
    };
    for (const auto &row : rows) {
        LocaleScope scope(row.locale);
        Guarded<uint16_t> out(8);
        uint32_t count = kUnset;
        EXPECT_EQ(KXUnicodeToMonocase(0, out.data(), 8, U(row.input), &count), 0);
        EXPECT_EQ(S16(out.data(), count), row.lowered + u'\0');
        EXPECT_EQ(KXUnicodeCompare(0, row.a, row.b), row.order) << (&row - rows);
    }
}

}  // namespace
