// Table-handle API: handles and data objects, local <-> Unicode conversion
// in single- and multibyte locales, monocase, collation, search path.
#include <quemba/table_handle.h>

#include <algorithm>
#include <cwchar>
#include <random>

#include "quemba_test.h"

// Lets a test make an allocation fail; not under ASan or TSan, whose allocator must see every block.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define QTEST_FAILING_MALLOC 1
static int allocationsBeforeFailure = -1;  // -1: never fail
extern "C" void *__libc_malloc(size_t size);
extern "C" void *malloc(size_t size) {
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) return nullptr;
    return __libc_malloc(size);
}
// Valgrind's allocator takes the place of this program's malloc.
static bool MallocIsOurs() {
    const char *preload = getenv("LD_PRELOAD");
    return preload == nullptr || strstr(preload, "vgpreload") == nullptr;
}
#endif

namespace {

using namespace qtest;
constexpr uint16_t kFill = 0x5A5A;

TEST(TableHandles, AreMinusOneAndDataStartsZero) {
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

// Death-test suites run before all others: no path has been set yet.
TEST(SearchPathDeathTest, StartsNull) {
    EXPECT_EXIT(std::exit(strUnicodeSearchPath == nullptr ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(SearchPath, KeepsACopyOfTheLastPathAndSurvivesFailure) {
    std::string first = "/usr/share/tables";
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath(first.c_str()), 0);
    first[0] = 'X';
    EXPECT_STREQ(strUnicodeSearchPath, "/usr/share/tables");
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("C:\\UNICODE"), 0);
    EXPECT_STREQ(strUnicodeSearchPath, "C:\\UNICODE");
#ifdef QTEST_FAILING_MALLOC
    if (MallocIsOurs()) {
        allocationsBeforeFailure = 0;
        EXPECT_EQ(KXLSetPrimaryUnicodeSearchPath("/new"), LOC_E_NO_MEMORY);
        allocationsBeforeFailure = -1;
        EXPECT_STREQ(strUnicodeSearchPath, "C:\\UNICODE");
    }
#endif
}

TEST(TableConversions, RejectNullsAndZeroSize) {
    Guarded<uint16_t> units(4, kFill);
    Guarded<char> bytes(4, 'Z');
    uint32_t count = kUnset;
    const int32_t results[] = {
        KXLocalToUnicode(0, nullptr, 4, "a", 0, &count),
        KXLocalToUnicode(0, units.data(), 0, "a", 0, &count),
        KXLocalToUnicode(0, units.data(), 4, nullptr, 0, &count),
        KXUnicodeToLocal(0, nullptr, 4, U(u"a"), 0, &count),
        KXUnicodeToLocal(0, bytes.data(), 0, U(u"a"), 0, &count),
        KXUnicodeToLocal(0, bytes.data(), 4, nullptr, 0, &count),
        KXUnicodeToMonocase(0, nullptr, 4, U(u"A"), &count),
        KXUnicodeToMonocase(0, units.data(), 0, U(u"A"), &count),
        KXUnicodeToMonocase(0, units.data(), 4, nullptr, &count),
    };
    for (int32_t r : results) EXPECT_EQ(r, LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(count, kUnset);
    EXPECT_EQ(S16(units.data(), 4), std::u16string(4, kFill));
    EXPECT_EQ(std::string(bytes.data(), 4), "ZZZZ");
    EXPECT_TRUE(units.intact() && bytes.intact());
}

// Both directions, with invalid, incomplete and unencodable characters at the
// start, in the middle and at the end, with and without a substitute; the
// count includes the terminator.
TEST(TableConversions, LocalToUnicode) {
    const uint16_t Q = u'?';
    const char *C = kC, *utf8 = kUtf8, *euc = kEucJp, *cp1251 = kCp1251;
    const struct { const char *locale; std::string input; uint16_t noMap; uint32_t size; int32_t result;
                   std::u16string output; } cases[] = {
        {C, "\x80xy", 0, 8, LOC_E_NO_MAP, u""},                 {C, "\x80x\xFF\xFEy\x80", Q, 8, 0, u"?x??y?"},
        {C, "xy\x80", 0, 8, LOC_E_NO_MAP, u"xy"},               {C, "xyz", 0, 3, LOC_E_BUFFER_TOO_SMALL, u"xy"},
        {C, "xyz", 0, 1, LOC_E_BUFFER_TOO_SMALL, u""},          {C, "", 0, 1, 0, u""},
        {kLatin1, "\xE9t\x80\xFF", 0, 8, 0, u"\x00E9t\x0080\x00FF"},
        {cp1251, "\x98\xC6", 0, 8, LOC_E_NO_MAP, u""},         {cp1251, "\xC6\x98\xE6", 0, 8, LOC_E_NO_MAP, u"\x0416"},
        {cp1251, "\x98\xC6\x98", 0xFFFD, 8, 0, u"\xFFFD\x0416\xFFFD"},
        {utf8, "\xC3\xA9\xE2\x82\xAC", 0, 8, 0, u"\x00E9\x20AC"}, {utf8, "\xFFx", 0, 8, LOC_E_NO_MAP, u""},
        {utf8, "\xFFx\xC3y", Q, 8, 0, u"?x?y"},               {utf8, "x\xE2\x82y", 0, 8, LOC_E_NO_MAP, u"x"},
        {utf8, "x\xE2\x82y", Q, 8, 0, u"x??y"},
        // Incomplete at the end: byte by byte, the state reset in between so
        // that 0x82 is not taken as the rest of 0xE2 0x82.
        {utf8, "x\xE2\x82", Q, 8, 0, u"x??"},                 {utf8, "x\xE2\x82", 0, 8, LOC_E_NO_MAP, u"x"},
        // Above U+FFFF: one substitute for the whole character.
        {utf8, "x\xF0\x9F\x98\x80y", Q, 8, 0, u"x?y"},        {utf8, "x\xF0\x9F\x98\x80y", 0, 8, LOC_E_NO_MAP, u"x"},
        {utf8, "\xC3\xA9\xC3\xA9", 0, 2, LOC_E_BUFFER_TOO_SMALL, u"\x00E9"},
        {euc, "\xA4\xA2\x8E\xB1\x8F\xB0\xA1", 0, 8, 0, u"\x3042\xFF71\x4E02"}, {euc, "\xA4x", 0, 8, LOC_E_NO_MAP, u""},
        {euc, "\xA4x\xA4\xA2\xFF\xA4\xA2", Q, 8, 0, u"?x\x3042?\x3042"}, {euc, "\xA4\xA2\xFF", 0, 8, LOC_E_NO_MAP, u"\x3042"},
        {euc, "x\x8F\xB0", Q, 8, 0, u"x??"},                  {euc, "x\x8F\xB0", 0, 8, LOC_E_NO_MAP, u"x"},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<uint16_t> out(c.size, kFill);
        uint32_t count = kUnset;
        EXPECT_EQ(KXLocalToUnicode(0xFFFFFFFF, out.data(), c.size, c.input.c_str(), c.noMap, &count), c.result);
        EXPECT_EQ(count, c.output.size() + 1);
        EXPECT_EQ(S16(out.data(), c.size), c.output + u'\0' + std::u16string(c.size - c.output.size() - 1, kFill));
        EXPECT_TRUE(out.intact()) << (&c - cases);
    }
}

TEST(TableConversions, UnicodeToLocal) {
    const char *C = kC, *utf8 = kUtf8, *euc = kEucJp;
    const struct { const char *locale; std::u16string input; uint8_t noMap; uint32_t size; int32_t result;
                   std::string output; } cases[] = {
        {C, u"x\x00E9y", 0, 8, LOC_E_NO_MAP, "x"},              {C, u"\x00E9x\x00E9", '?', 8, 0, "?x?"},
        {C, u"xyz", 0, 1, LOC_E_BUFFER_TOO_SMALL, ""},          {kLatin1, u"\x00E9\x20AC", 0, 8, LOC_E_NO_MAP, "\xE9"},
        {kCp1251, u"\x0416\x0436\x00E9", '_', 8, 0, "\xC6\xE6_"},
        {utf8, u"\x00E9\x00E9", 0, 3, LOC_E_BUFFER_TOO_SMALL, "\xC3\xA9"}, {utf8, u"\xD800", 0, 8, LOC_E_NO_MAP, ""},
        {utf8, u"x\xD83D\xDE00y", '?', 8, 0, "x??y"},
        // Less room than MB_CUR_MAX: written only when whole.
        {euc, u"x\x3042", 0, 3, LOC_E_BUFFER_TOO_SMALL, "x"},   {euc, u"\x00E9\xFF71", 0, 5, LOC_E_BUFFER_TOO_SMALL, "\x8F\xAB\xB1"},
        {euc, u"\x3042\xD800", '?', 4, 0, "\xA4\xA2?"},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<char> out(c.size, 'Z');
        uint32_t count = kUnset;
        EXPECT_EQ(KXUnicodeToLocal(0xFFFFFFFF, out.data(), c.size, U(c.input), c.noMap, &count), c.result);
        EXPECT_EQ(count, c.output.size() + 1);
        EXPECT_EQ(std::string(out.data(), c.size), c.output + '\0' + std::string(c.size - c.output.size() - 1, 'Z'));
        EXPECT_TRUE(out.intact()) << (&c - cases);
    }
}

// Random text the locale can encode goes out and back unchanged, and every
// output size cuts it after a whole character.
TEST(LocalRoundTrip, RandomTextSurvivesAndCutsAtCharacters) {
    std::mt19937 rng(7);
    for (const char *locale : {kC, kLatin1, kCp1251, kUtf8, kEucJp}) {
        LocaleScope scope(locale);
        std::vector<std::pair<char16_t, std::string>> chars;  // unit and its bytes, from libc
        for (char16_t u : {0x01, 0x80, 0x391, 0x400, 0x2010, 0x3041, 0x4E00, 0xFF61}) {
            for (char16_t end = u + 0x60; u < end; ++u) {
                char bytes[MB_LEN_MAX];
                std::mbstate_t state{};
                const size_t n = std::wcrtomb(bytes, u, &state);
                if (n != static_cast<size_t>(-1)) chars.emplace_back(u, std::string(bytes, n));
            }
        }
        ASSERT_GT(chars.size(), 90u) << locale;
        for (int round = 0; round < 40; ++round) {
            std::u16string text;
            std::string expected;
            std::vector<size_t> ends{0};
            for (int i = 0; i < round % 9; ++i) {
                const auto &[u, bytes] = chars[rng() % chars.size()];
                text += u;
                expected += bytes;
                ends.push_back(expected.size());
            }
            SCOPED_TRACE(testing::Message() << locale << " round " << round);
            for (uint32_t size = 1; size <= expected.size() + 1; ++size) {
                Guarded<char> out(size, 'Z');
                uint32_t count = 0;
                const int32_t r = KXUnicodeToLocal(0, out.data(), size, U(text), 0, &count);
                const size_t fits = *std::prev(std::upper_bound(ends.begin(), ends.end(), size - 1));
                EXPECT_EQ(r, fits == expected.size() ? 0 : LOC_E_BUFFER_TOO_SMALL);
                EXPECT_EQ(count, fits + 1);
                EXPECT_EQ(std::string(out.data(), fits + 1), expected.substr(0, fits) + '\0');
                EXPECT_TRUE(out.intact());
            }
            Guarded<uint16_t> back(text.size() + 1);
            EXPECT_EQ(KXLocalToUnicode(0, back.data(), back.size(), expected.c_str(), 0, nullptr), 0);
            EXPECT_EQ(S16(back.data(), back.size()), text + u'\0');
            EXPECT_TRUE(back.intact());
        }
    }
}

TEST(Monocase, LowersAndLeavesShortOutputUnterminated) {
    const std::u16string N(1, 0);
    // `written` includes a terminator when one is written.
    const struct { const char *locale; const char16_t *input; uint32_t size; int32_t result; std::u16string written; } cases[] = {
        {kC, u"ABC", 4, 0, u"abc" + N}, {kC, u"ABC", 3, LOC_E_BUFFER_TOO_SMALL, u"ab"}, {kC, u"", 1, 0, N},
        {kC, u"ABC", 1, LOC_E_BUFFER_TOO_SMALL, u""}, {kC, u"\x00C4\x0416", 3, 0, u"\x00C4\x0416" + N},
        {kUtf8, u"\x00C4\x0416Z\xFFFF", 8, 0, u"\x00E4\x0436z\xFFFF" + N},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<uint16_t> out(c.size, kFill);
        uint32_t count = kUnset;
        EXPECT_EQ(KXUnicodeToMonocase(0, out.data(), c.size, U(c.input), &count), c.result);
        EXPECT_EQ(count, c.written.size());
        EXPECT_EQ(S16(out.data(), c.size), c.written + std::u16string(c.size - c.written.size(), kFill));
        EXPECT_TRUE(out.intact()) << (&c - cases);
    }
}

TEST(Collation, GivesLeadingWeightsOfTheWholeTransform) {
    for (const char *locale : {kC, kUtf8, "de_DE.UTF-8"}) {
        LocaleScope scope(locale);
        for (const std::wstring text : {L"", L"a", L"Ab\x00E4", L"\x00C4rger", L"zz\x20AC"}) {
            std::vector<wchar_t> weights(std::wcsxfrm(nullptr, text.c_str(), 0) + 1);
            std::wcsxfrm(weights.data(), text.c_str(), weights.size());
            weights.pop_back();
            const std::u16string input(text.begin(), text.end());
            for (uint32_t size = 0; size <= weights.size() + 2; ++size) {
                SCOPED_TRACE(testing::Message() << locale << " size " << size);
                Guarded<uint16_t> out(size, kFill);
                uint32_t count = kUnset;
                const int32_t r = KXUnicodeToCollation(0, out.data(), size, U(input), 0, &count);
                const size_t kept = size == 0 ? 0 : std::min<size_t>(weights.size(), size - 1);
                EXPECT_EQ(r, size > weights.size() ? 0 : LOC_E_BUFFER_TOO_SMALL);
                EXPECT_EQ(count, kept);
                std::u16string expected(weights.begin(), weights.begin() + kept);
                if (size > 0) expected += u'\0' + std::u16string(size - kept - 1, kFill);
                EXPECT_EQ(S16(out.data(), size), expected);
                EXPECT_TRUE(out.intact());
            }
        }
    }
#ifdef QTEST_FAILING_MALLOC
    for (int allocation : {0, 1}) {  // the wide copy, then the transform
        if (!MallocIsOurs()) break;
        Guarded<uint16_t> out(8, kFill);
        uint32_t count = kUnset;
        allocationsBeforeFailure = allocation;
        EXPECT_EQ(KXUnicodeToCollation(0, out.data(), 8, U(u"abc"), 0, &count), LOC_E_NO_MEMORY);
        allocationsBeforeFailure = -1;
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(S16(out.data(), 2), std::u16string(1, 0) + u'\x5A5A');
        EXPECT_TRUE(out.intact());
    }
#endif
}

TEST(UnicodeCompare, OrdersByCollation) {
    const struct { const char *locale; char16_t a, b; int32_t expected; } cases[] = {
        {kC, u'a', u'a', 0}, {kC, u'a', u'b', -1}, {kC, u'b', u'a', 1}, {kC, u'a', u'B', 1}, {kC, 0xFFFF, 0x8000, 1},
        {kUtf8, u'a', u'B', -1}, {kUtf8, u'B', u'a', 1}, {kUtf8, 0xE4, 0xE4, 0}, {kUtf8, u'z', 0xE4, 1},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        EXPECT_EQ(KXUnicodeCompare(0, c.a, c.b), c.expected) << (&c - cases);
    }
}

}  // namespace
