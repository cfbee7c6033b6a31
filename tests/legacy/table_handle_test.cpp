// Table-handle API: handles and data objects, local <-> Unicode conversion
// in single- and multibyte locales, monocase, collation, search path.
#include <quemba/table_handle.h>

#include <cwchar>
#include <random>

#include "quemba_test.h"

// Lets a test make the next allocation fail. Not with ASan, whose own
// allocator must see every block.
#if !defined(__SANITIZE_ADDRESS__)
#define QTEST_FAILING_MALLOC 1
namespace {
int allocationsBeforeFailure = -1;  // -1: never fail
}  // namespace
extern "C" void *__libc_malloc(size_t size);
extern "C" void *malloc(size_t size) {
    if (allocationsBeforeFailure == 0) {
        allocationsBeforeFailure = -1;
        return nullptr;
    }
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    return __libc_malloc(size);
}
#endif

namespace {

using qtest::Guarded;
using qtest::LocaleScope;
using qtest::S16;
using qtest::U;

constexpr uint16_t kFill = 0x5A5A;
constexpr uint32_t kUntouched = 0xDEADBEEF;

// ---- handles and data ----

TEST(TableHandles, AreAllMinusOne) {
    int32_t (*const getters[])(uint32_t *) = {KXGetUnicodeToLocalHandle, KXGetLocalToUnicodeHandle,
                                              KXGetMonocaseHandle, KXGetCollationHandle};
    for (auto get : getters) {
        uint32_t h = 0;
        EXPECT_EQ(get(&h), 0);
        EXPECT_EQ(h, 0xFFFFFFFFu);
    }
    uint32_t h = 0;
    EXPECT_EQ(KXLoadRuleTable("ANYTHING.TBL", &h), 0);
    EXPECT_EQ(h, 0xFFFFFFFFu);
    h = 5;
    EXPECT_EQ(KXLoadRuleTable(nullptr, &h), 0);
    EXPECT_EQ(h, 0xFFFFFFFFu);
    EXPECT_EQ(KXUnloadRuleTable(h), 0);
    EXPECT_EQ(KXInitUnicodeTables(), 0);
    EXPECT_EQ(KXFreeUnicodeTables(), 0);
}

TEST(TableData, SlotsPointAtDistinctZeroedObjects) {
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(_aUnicodeInfo[i].handle, nullptr);
        ASSERT_NE(_aUnicodeInfo[i].name, nullptr);
        EXPECT_EQ(*_aUnicodeInfo[i].handle, 0u);
        for (int k = 0; k < 13; ++k) EXPECT_EQ(_aUnicodeInfo[i].name[k], 0) << i;
        for (int j = 0; j < i; ++j) {
            EXPECT_NE(_aUnicodeInfo[i].handle, _aUnicodeInfo[j].handle);
            EXPECT_NE(_aUnicodeInfo[i].name, _aUnicodeInfo[j].name);
        }
    }
    EXPECT_EQ(_pprocUnicodeToCollation, nullptr);
    EXPECT_EQ(_pprocUnicodeToMonocase, nullptr);
    EXPECT_EQ(_pprocLocalToUnicode, nullptr);
    EXPECT_EQ(_pprocUnicodeToLocal, nullptr);
    EXPECT_EQ(_iCodePage, 0);
    EXPECT_EQ(_iCountryCode, 0);
}

// ---- search path ----

TEST(SearchPathDeathTest, StartsNull) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(strUnicodeSearchPath == nullptr ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(SearchPath, KeepsACopyOfTheLastPath) {
    std::string first = "/usr/share/tables";
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath(first.c_str()), 0);
    first[0] = 'X';  // the library holds its own copy
    EXPECT_STREQ(strUnicodeSearchPath, "/usr/share/tables");
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("C:\\UNICODE"), 0);
    EXPECT_STREQ(strUnicodeSearchPath, "C:\\UNICODE");
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath(""), 0);
    EXPECT_STREQ(strUnicodeSearchPath, "");
}

TEST(SearchPath, FailedAllocationKeepsTheOldPath) {
#ifdef QTEST_FAILING_MALLOC
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("/old"), 0);
    allocationsBeforeFailure = 0;
    EXPECT_EQ(KXLSetPrimaryUnicodeSearchPath("/new"), LOC_E_NO_MEMORY);
    allocationsBeforeFailure = -1;
    ASSERT_NE(strUnicodeSearchPath, nullptr);
    EXPECT_STREQ(strUnicodeSearchPath, "/old");
#else
    GTEST_SKIP() << "allocation failure cannot be injected under ASan";
#endif
}

// ---- local to Unicode ----

struct LocalCase {
    const char *locale;
    std::string input;
    uint16_t noMap;
    uint32_t size;
    int32_t result;
    std::u16string output;  // before the terminator
};

class LocalToUnicode : public testing::TestWithParam<LocalCase> {};

TEST_P(LocalToUnicode, Converts) {
    const LocalCase &c = GetParam();
    LocaleScope scope(c.locale);
    Guarded<uint16_t> out(c.size, kFill);
    uint32_t count = kUntouched;
    EXPECT_EQ(KXLocalToUnicode(0xFFFFFFFF, out.data(), out.size(), c.input.c_str(), c.noMap, &count), c.result);
    EXPECT_EQ(count, c.output.size() + 1);
    EXPECT_EQ(S16(out.data(), c.output.size() + 1), c.output + u'\0');
    for (size_t i = c.output.size() + 1; i < c.size; ++i) EXPECT_EQ(out[i], kFill) << i;
    EXPECT_TRUE(out.intact());
}

constexpr uint16_t Q = u'?';

INSTANTIATE_TEST_SUITE_P(
    Locales, LocalToUnicode,
    testing::Values(
        // C: every byte above 0x7F is rejected.
        LocalCase{"C", "abc", 0, 8, 0, u"abc"},
        LocalCase{"C", "\x80" "ab", 0, 8, LOC_E_NO_MAP, u""},
        LocalCase{"C", "\x80" "ab", Q, 8, 0, u"?ab"},
        LocalCase{"C", "a\xFF" "b", 0, 8, LOC_E_NO_MAP, u"a"},
        LocalCase{"C", "a\xFF\xFE" "b", Q, 8, 0, u"a??b"},
        LocalCase{"C", "ab\x80", 0, 8, LOC_E_NO_MAP, u"ab"},
        LocalCase{"C", "ab\x80", 0xFFFD, 8, 0, u"ab\xFFFD"},
        // ISO-8859-1: every byte is a character.
        LocalCase{"de_DE.ISO-8859-1", "\xE9t\xE9", 0, 8, 0, u"\x00E9t\x00E9"},
        LocalCase{"de_DE.ISO-8859-1", "\x80\xFF", 0, 8, 0, u"\x0080\x00FF"},
        LocalCase{"de_DE.ISO-8859-1", "\xC4\xD6\xDC", 0, 3, LOC_E_BUFFER_TOO_SMALL, u"\x00C4\x00D6"},
        // CP1251: 0x98 is unassigned.
        LocalCase{"ru_RU.CP1251", "\xC6\xE6", 0, 8, 0, u"\x0416\x0436"},
        LocalCase{"ru_RU.CP1251", "\x98\xC6", 0, 8, LOC_E_NO_MAP, u""},
        LocalCase{"ru_RU.CP1251", "\xC6\x98\xC6", 0, 8, LOC_E_NO_MAP, u"\x0416"},
        LocalCase{"ru_RU.CP1251", "\x98\xC6\x98", Q, 8, 0, u"?\x0416?"},
        // UTF-8.
        LocalCase{"en_US.UTF-8", "\xC3\xA9\xE2\x82\xAC", 0, 8, 0, u"\x00E9\x20AC"},
        LocalCase{"en_US.UTF-8", "\xFF" "a", 0, 8, LOC_E_NO_MAP, u""},
        LocalCase{"en_US.UTF-8", "\xFF" "a", Q, 8, 0, u"?a"},
        LocalCase{"en_US.UTF-8", "a\xC3" "b", 0, 8, LOC_E_NO_MAP, u"a"},
        LocalCase{"en_US.UTF-8", "a\xC3" "b", Q, 8, 0, u"a?b"},
        LocalCase{"en_US.UTF-8", "a\xE2\x82" "b", Q, 8, 0, u"a??b"},
        LocalCase{"en_US.UTF-8", "a\xE2\x82", 0, 8, LOC_E_NO_MAP, u"a"},
        // Incomplete at the end: each byte on its own, with the state
        // reset in between, so 0x82 is not taken as the rest of 0xE2 0x82.
        LocalCase{"en_US.UTF-8", "a\xE2\x82", Q, 8, 0, u"a??"},
        LocalCase{"en_US.UTF-8", "\xE2", Q, 8, 0, u"?"},
        LocalCase{"en_US.UTF-8", "\xED\xA0\x80", Q, 8, 0, u"???"},
        // Above U+FFFF: one substitute for the whole character.
        LocalCase{"en_US.UTF-8", "\xF0\x9F\x98\x80", Q, 8, 0, u"?"},
        LocalCase{"en_US.UTF-8", "a\xF0\x9F\x98\x80" "b", Q, 8, 0, u"a?b"},
        LocalCase{"en_US.UTF-8", "a\xF0\x9F\x98\x80" "b", 0, 8, LOC_E_NO_MAP, u"a"},
        LocalCase{"en_US.UTF-8", "\xF0\x9F\x98\x80", 0, 8, LOC_E_NO_MAP, u""},
        LocalCase{"en_US.UTF-8", "\xC3\xA9\xC3\xA9", 0, 2, LOC_E_BUFFER_TOO_SMALL, u"\x00E9"},
        // EUC-JP: two- and three-byte characters.
        LocalCase{"ja_JP.EUC-JP", "\xA4\xA2\x8E\xB1\x8F\xB0\xA1", 0, 8, 0, u"\x3042\xFF71\x4E02"},
        LocalCase{"ja_JP.EUC-JP", "\xA4" "a", 0, 8, LOC_E_NO_MAP, u""},
        LocalCase{"ja_JP.EUC-JP", "\xA4" "a", Q, 8, 0, u"?a"},
        LocalCase{"ja_JP.EUC-JP", "\xA4\xA2\xFF\xA4\xA2", Q, 8, 0, u"\x3042?\x3042"},
        LocalCase{"ja_JP.EUC-JP", "\xA4\xA2\xFF\xA4\xA2", 0, 8, LOC_E_NO_MAP, u"\x3042"},
        LocalCase{"ja_JP.EUC-JP", "a\x8F\xB0", 0, 8, LOC_E_NO_MAP, u"a"},
        LocalCase{"ja_JP.EUC-JP", "a\x8F\xB0", Q, 8, 0, u"a??"},
        LocalCase{"ja_JP.EUC-JP", "\xA4\xA2\xA4\xA4", 0, 2, LOC_E_BUFFER_TOO_SMALL, u"\x3042"},
        // Sizes.
        LocalCase{"C", "abc", 0, 3, LOC_E_BUFFER_TOO_SMALL, u"ab"},
        LocalCase{"C", "abc", 0, 4, 0, u"abc"},
        LocalCase{"C", "abc", 0, 1, LOC_E_BUFFER_TOO_SMALL, u""},
        LocalCase{"C", "", 0, 1, 0, u""},
        LocalCase{"en_US.UTF-8", "", 0, 4, 0, u""}));

TEST(LocalToUnicodeArguments, RejectsNullsAndZeroSize) {
    Guarded<uint16_t> out(4, kFill);
    uint32_t count = kUntouched;
    EXPECT_EQ(KXLocalToUnicode(0, nullptr, 4, "a", 0, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(KXLocalToUnicode(0, out.data(), 0, "a", 0, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(KXLocalToUnicode(0, out.data(), 4, nullptr, 0, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(count, kUntouched);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], kFill);
    EXPECT_TRUE(out.intact());
    // The count is optional.
    EXPECT_EQ(KXLocalToUnicode(0, out.data(), 4, "ab", 0, nullptr), 0);
    EXPECT_EQ(S16(out.data()), u"ab");
}

// ---- Unicode to local ----

struct UnicodeCase {
    const char *locale;
    std::u16string input;
    uint8_t noMap;
    uint32_t size;
    int32_t result;
    std::string output;  // before the terminator
};

class UnicodeToLocal : public testing::TestWithParam<UnicodeCase> {};

TEST_P(UnicodeToLocal, Converts) {
    const UnicodeCase &c = GetParam();
    LocaleScope scope(c.locale);
    Guarded<char> out(c.size, 'Z');
    uint32_t count = kUntouched;
    EXPECT_EQ(KXUnicodeToLocal(0xFFFFFFFF, out.data(), out.size(), U(c.input), c.noMap, &count), c.result);
    EXPECT_EQ(count, c.output.size() + 1);
    EXPECT_EQ(std::string(out.data(), c.output.size() + 1), c.output + '\0');
    for (size_t i = c.output.size() + 1; i < c.size; ++i) EXPECT_EQ(out[i], 'Z') << i;
    EXPECT_TRUE(out.intact());
}

INSTANTIATE_TEST_SUITE_P(
    Locales, UnicodeToLocal,
    testing::Values(
        UnicodeCase{"C", u"abc", 0, 8, 0, "abc"},
        UnicodeCase{"C", u"a\x00E9" "b", 0, 8, LOC_E_NO_MAP, "a"},
        UnicodeCase{"C", u"\x00E9" "ab", 0, 8, LOC_E_NO_MAP, ""},
        UnicodeCase{"C", u"ab\x00E9", '?', 8, 0, "ab?"},
        UnicodeCase{"de_DE.ISO-8859-1", u"\x00E9\x20AC", '?', 8, 0, "\xE9?"},
        UnicodeCase{"de_DE.ISO-8859-1", u"\x00E9\x20AC", 0, 8, LOC_E_NO_MAP, "\xE9"},
        UnicodeCase{"ru_RU.CP1251", u"\x0416\x0436", 0, 8, 0, "\xC6\xE6"},
        UnicodeCase{"ru_RU.CP1251", u"\x0416\x00E9", 0, 8, LOC_E_NO_MAP, "\xC6"},
        UnicodeCase{"en_US.UTF-8", u"\x00E9\x00E9", 0, 3, LOC_E_BUFFER_TOO_SMALL, "\xC3\xA9"},
        UnicodeCase{"en_US.UTF-8", u"\x00E9\x00E9", 0, 5, 0, "\xC3\xA9\xC3\xA9"},
        UnicodeCase{"en_US.UTF-8", u"\xD800", 0, 8, LOC_E_NO_MAP, ""},
        UnicodeCase{"en_US.UTF-8", u"\xD800", '?', 8, 0, "?"},
        UnicodeCase{"en_US.UTF-8", u"a\xD83D\xDE00" "b", '?', 8, 0, "a??b"},
        UnicodeCase{"en_US.UTF-8", u"a\xDC00" "b", 0, 8, LOC_E_NO_MAP, "a"},
        UnicodeCase{"en_US.UTF-8", u"\x20AC\x20AC", 0, 6, LOC_E_BUFFER_TOO_SMALL, "\xE2\x82\xAC"},
        // Less room than MB_CUR_MAX (3): the character goes through the
        // scratch buffer and is written only when it fits whole.
        UnicodeCase{"ja_JP.EUC-JP", u"a\x3042", 0, 3, LOC_E_BUFFER_TOO_SMALL, "a"},
        UnicodeCase{"ja_JP.EUC-JP", u"a\x3042", 0, 4, 0, "a\xA4\xA2"},
        UnicodeCase{"ja_JP.EUC-JP", u"\x00E9\xFF71", 0, 6, 0, "\x8F\xAB\xB1\x8E\xB1"},
        UnicodeCase{"ja_JP.EUC-JP", u"\x00E9\xFF71", 0, 5, LOC_E_BUFFER_TOO_SMALL, "\x8F\xAB\xB1"},
        UnicodeCase{"ja_JP.EUC-JP", u"\x3042\xD800", '?', 4, 0, "\xA4\xA2?"},
        UnicodeCase{"C", u"abc", 0, 1, LOC_E_BUFFER_TOO_SMALL, ""},
        UnicodeCase{"C", u"", 0, 1, 0, ""}));

TEST(UnicodeToLocalArguments, RejectsNullsAndZeroSize) {
    Guarded<char> out(4, 'Z');
    uint32_t count = kUntouched;
    EXPECT_EQ(KXUnicodeToLocal(0, nullptr, 4, U(u"a"), 0, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(KXUnicodeToLocal(0, out.data(), 0, U(u"a"), 0, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(KXUnicodeToLocal(0, out.data(), 4, nullptr, 0, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(count, kUntouched);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], 'Z');
    EXPECT_TRUE(out.intact());
}

// Units the locale can encode, found by asking libc.
std::vector<char16_t> Encodable(std::mbstate_t &state) {
    std::vector<char16_t> units;
    const std::pair<char16_t, char16_t> ranges[] = {{0x01, 0x7F},     {0x80, 0x17F},    {0x391, 0x3C9},
                                                    {0x400, 0x45F},   {0x2010, 0x20AC}, {0x3041, 0x30F6},
                                                    {0x4E00, 0x4E40}, {0xFF61, 0xFF9F}};
    for (auto [lo, hi] : ranges) {
        for (char32_t u = lo; u <= hi; ++u) {
            char bytes[MB_LEN_MAX];
            state = std::mbstate_t{};
            if (std::wcrtomb(bytes, static_cast<wchar_t>(u), &state) != static_cast<size_t>(-1)) {
                units.push_back(static_cast<char16_t>(u));
            }
        }
    }
    return units;
}

// Random text the locale can encode goes out and comes back unchanged,
// and every output size cuts it at a character boundary.
TEST(LocalRoundTrip, RandomTextSurvivesAndCutsAtCharacters) {
    std::mt19937 rng(7);
    for (const char *locale : {"C", "de_DE.ISO-8859-1", "ru_RU.CP1251", "en_US.UTF-8", "ja_JP.EUC-JP"}) {
        LocaleScope scope(locale);
        std::mbstate_t state{};
        const std::vector<char16_t> units = Encodable(state);
        ASSERT_GT(units.size(), 90u) << locale;
        std::uniform_int_distribution<size_t> pick(0, units.size() - 1);
        for (int round = 0; round < 40; ++round) {
            std::u16string text(round % 9, u' ');
            for (auto &u : text) u = units[pick(rng)];
            std::string expected;
            std::vector<size_t> ends;  // byte length after each character
            for (char16_t u : text) {
                char bytes[MB_LEN_MAX];
                state = std::mbstate_t{};
                expected.append(bytes, std::wcrtomb(bytes, static_cast<wchar_t>(u), &state));
                ends.push_back(expected.size());
            }
            SCOPED_TRACE(testing::Message() << locale << " round " << round);
            for (uint32_t size = 1; size <= expected.size() + 1; ++size) {
                Guarded<char> out(size, 'Z');
                uint32_t count = 0;
                const int32_t r = KXUnicodeToLocal(0, out.data(), size, U(text), 0, &count);
                size_t fits = 0;
                for (size_t e : ends) {
                    if (e <= size - 1) fits = e;
                }
                EXPECT_EQ(r, fits == expected.size() ? 0 : LOC_E_BUFFER_TOO_SMALL) << size;
                EXPECT_EQ(count, fits + 1);
                EXPECT_EQ(std::string(out.data(), fits + 1), expected.substr(0, fits) + '\0');
                EXPECT_TRUE(out.intact());
            }
            Guarded<uint16_t> back(text.size() + 1);
            uint32_t count = 0;
            EXPECT_EQ(KXLocalToUnicode(0, back.data(), back.size(), expected.c_str(), 0, &count), 0);
            EXPECT_EQ(count, text.size() + 1);
            EXPECT_EQ(S16(back.data(), text.size()), text);
            EXPECT_TRUE(back.intact());
        }
    }
}

// ---- monocase ----

TEST(Monocase, LowersAndLeavesShortOutputUnterminated) {
    const struct {
        const char *locale;
        const char16_t *input;
        uint32_t size;
        int32_t result;
        std::u16string written;  // including a terminator when one is written
    } cases[] = {
        {"C", u"ABC", 4, 0, std::u16string(u"abc\0", 4)},
        {"C", u"ABC", 3, LOC_E_BUFFER_TOO_SMALL, u"ab"},
        {"C", u"ABC", 1, LOC_E_BUFFER_TOO_SMALL, u""},
        {"C", u"", 1, 0, std::u16string(u"\0", 1)},
        {"C", u"\x00C4\x0416", 3, 0, std::u16string(u"\x00C4\x0416\0", 3)},
        {"en_US.UTF-8", u"\x00C4\x0416Z", 4, 0, std::u16string(u"\x00E4\x0436z\0", 4)},
        {"ru_RU.CP1251", u"\x0416\xFFFF", 8, 0, std::u16string(u"\x0436\xFFFF\0", 3)},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<uint16_t> out(c.size, kFill);
        uint32_t count = kUntouched;
        EXPECT_EQ(KXUnicodeToMonocase(0, out.data(), c.size, U(c.input), &count), c.result);
        EXPECT_EQ(count, c.written.size());
        EXPECT_EQ(S16(out.data(), c.written.size()), c.written);
        for (size_t i = c.written.size(); i < c.size; ++i) EXPECT_EQ(out[i], kFill);
        EXPECT_TRUE(out.intact());
    }
    uint32_t count = kUntouched;
    uint16_t out[2] = {kFill, kFill};
    EXPECT_EQ(KXUnicodeToMonocase(0, nullptr, 2, U(u"A"), &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(KXUnicodeToMonocase(0, out, 0, U(u"A"), &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(KXUnicodeToMonocase(0, out, 2, nullptr, &count), LOC_E_BAD_ARGUMENT);
    EXPECT_EQ(count, kUntouched);
    EXPECT_EQ(out[0], kFill);
}

// ---- collation ----

std::vector<wchar_t> Weights(const std::u16string &s) {
    const std::wstring wide(s.begin(), s.end());
    std::vector<wchar_t> w(std::wcsxfrm(nullptr, wide.c_str(), 0) + 1);
    std::wcsxfrm(w.data(), wide.c_str(), w.size());
    w.pop_back();
    return w;
}

TEST(Collation, GivesLeadingWeightsOfTheWholeTransform) {
    for (const char *locale : {"C", "en_US.UTF-8", "de_DE.UTF-8"}) {
        LocaleScope scope(locale);
        for (const std::u16string text : {u"", u"a", u"Ab\x00E4", u"\x00C4rger", u"zz\x20AC"}) {
            const std::vector<wchar_t> weights = Weights(text);
            for (uint32_t size = 1; size <= weights.size() + 2; ++size) {
                SCOPED_TRACE(testing::Message() << locale << " size " << size);
                Guarded<uint16_t> out(size, kFill);
                uint32_t count = kUntouched;
                const int32_t r = KXUnicodeToCollation(0, out.data(), size, U(text), 0, &count);
                const size_t kept = std::min<size_t>(weights.size(), size - 1);
                EXPECT_EQ(r, kept == weights.size() ? 0 : LOC_E_BUFFER_TOO_SMALL);
                EXPECT_EQ(count, kept);
                for (size_t i = 0; i < kept; ++i) EXPECT_EQ(out[i], static_cast<uint16_t>(weights[i])) << i;
                EXPECT_EQ(out[kept], 0);
                for (size_t i = kept + 1; i < size; ++i) EXPECT_EQ(out[i], kFill);
                EXPECT_TRUE(out.intact());
            }
        }
    }
}

TEST(Collation, ZeroSizeTouchesNothing) {
    Guarded<uint16_t> out(0);
    uint32_t count = kUntouched;
    EXPECT_EQ(KXUnicodeToCollation(0, out.data(), 0, U(u"abc"), 0, &count), LOC_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(out.intact());
}

TEST(Collation, FailedAllocationGivesEmptyOutput) {
#ifdef QTEST_FAILING_MALLOC
    for (int allocation : {0, 1}) {
        Guarded<uint16_t> out(8, kFill);
        uint32_t count = kUntouched;
        allocationsBeforeFailure = allocation;
        EXPECT_EQ(KXUnicodeToCollation(0, out.data(), 8, U(u"abc"), 0, &count), LOC_E_NO_MEMORY);
        allocationsBeforeFailure = -1;
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(out[0], 0);
        EXPECT_EQ(out[1], kFill);
        EXPECT_TRUE(out.intact());
    }
#else
    GTEST_SKIP() << "allocation failure cannot be injected under ASan";
#endif
}

TEST(UnicodeCompare, OrdersByCollation) {
    const struct {
        const char *locale;
        char16_t a, b;
        int32_t expected;
    } cases[] = {
        {"C", u'a', u'a', 0},           {"C", u'a', u'b', -1},
        {"C", u'b', u'a', 1},           {"C", u'a', u'B', 1},  // code order: 'B' < 'a'
        {"C", 0xFFFF, 0x8000, 1},       {"en_US.UTF-8", u'a', u'B', -1},
        {"en_US.UTF-8", u'B', u'a', 1}, {"en_US.UTF-8", 0x00E4, 0x00E4, 0},
        {"en_US.UTF-8", u'z', 0x00E4, 1},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        EXPECT_EQ(KXUnicodeCompare(0, c.a, c.b), c.expected) << c.locale << " " << int(c.a) << " " << int(c.b);
    }
}

}  // namespace
