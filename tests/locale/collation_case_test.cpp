// Collation, comparison through UTF-16, case change and number text.
#include <quemba/locale_services.h>

#include <quemba_test.h>

#include <cinttypes>
#include <climits>

using namespace qtest;

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }
std::string What(const char *locale, const std::string &a, const std::string &b) {
    return std::string(locale) + " " + testing::PrintToString(a) + " " + testing::PrintToString(b);
}

TEST(PassThrough, CollationAndTimeFollowTheLocale) {
    EXPECT_GT(KXLstrcoll("a", "B"), 0);  // in C
    LocaleScope scope("de_DE.UTF-8");
    EXPECT_TRUE(KXLstrcoll("a", "B") < 0 && KXLstrcoll("abc", "abc") == 0);
    // Transforms order like the collation, and fit when sized by a query.
    Guarded<char> xa(KXLstrxfrm(nullptr, "a", 0) + 1, 'X'), xb(KXLstrxfrm(nullptr, "B", 0) + 1, 'X'), small(2, 'X');
    EXPECT_TRUE(KXLstrxfrm(xa.data(), "a", xa.size()) == xa.size() - 1 && KXLstrxfrm(xb.data(), "B", xb.size()) == xb.size() - 1);
    EXPECT_LT(std::strcmp(xa.data(), xb.data()), 0);
    EXPECT_EQ(KXLstrxfrm(small.data(), "abcdef", small.size()), KXLstrxfrm(nullptr, "abcdef", 0));
    EXPECT_TRUE(xa.intact() && xb.intact() && small.intact());

    struct tm t = {};
    t.tm_year = 124, t.tm_mon = 2, t.tm_mday = 5, t.tm_wday = 2;
    Guarded<char> date(11, 'X'), day(16, 'X'), tight(10, 'X');
    EXPECT_TRUE(KXLstrftime(date.data(), date.size(), "%Y-%m-%d", &t) == 10u && std::string(date.data()) == "2024-03-05");
    EXPECT_TRUE(KXLstrftime(day.data(), day.size(), "%A", &t) == 8u && std::string(day.data()) == "Dienstag");
    EXPECT_EQ(KXLstrftime(tight.data(), tight.size(), "%Y-%m-%d", &t), 0u);
    EXPECT_TRUE(date.intact() && day.intact() && tight.intact());
}

TEST(CountedCollation, ComparesAtMostNCharacters) {
    const bool Sgn = false, Eq = true;  // exact result, or only its sign
    const struct { const char *locale; std::string s1, s2; uint32_t n; int expected; bool exact; } cases[] = {
        {kC, "abc", "abd", 2, 0, Eq}, {kC, "abc", "abd", 3, -1, Sgn}, {kC, "ab", "abc", 5, -1, Eq},
        {kC, "abc", "ab", 5, 1, Eq}, {kC, "", "", 1, 0, Eq}, {kC, "a", "b", 0, 0, Eq}, {kC, "", "b", 0, 0, Eq},
        {kC, "a", "B", 1, 1, Sgn}, {kC, "\xE9", "f", 1, 1, Sgn}, {kC, "\x80" "a", "\x81" "a", 1, -1, Sgn},
        {kLatin1, "\xE9", "f", 1, -1, Sgn},  // collation, not byte order
        {kLatin1, "a", "B", 1, -1, Sgn}, {kCp1251, "\x98", "\x98", 1, 0, Eq}, {kCp1251, "\xFF" "a", "\xFF" "b", 1, 0, Eq},
        {kCp1251, "\xFF" "a", "\xFF" "b", 2, -1, Sgn}, {kUtf8, "a", "B", 1, -1, Sgn}, {kUtf8, "\xC3\xA9", "f", 1, -1, Sgn},
        {kUtf8, "\xC3\xA9x", "\xC3\xA9y", 1, 0, Eq}, {kUtf8, "\xC3\xA9x", "\xC3\xA9y", 2, -1, Sgn},
        {kUtf8, "a\xC3\xA9", "a\xC3\xA9z", 2, 0, Eq}, {kUtf8, "a\xC3\xA9", "a\xC3\xA9z", 3, -1, Eq},
        {kUtf8, "\xF0\x9F\x98\x80" "a", "\xF0\x9F\x98\x80" "b", 1, 0, Eq},
        // Bad sequences: the rest is ordered by its bytes.
        {kUtf8, "\xFF", "a", 1, 1, Eq}, {kUtf8, "a", "\xFF", 1, -1, Eq}, {kUtf8, "a\xFF" "x", "a\xFF" "y", 5, -1, Eq},
        {kUtf8, "a\xFF" "x", "a\xFF" "y", 1, 0, Eq}, {kUtf8, "a\xFF", "a\xFF", 5, 0, Eq},
        {kUtf8, "\xE2\x82" "b", "\xE2\x82" "a", 1, 1, Eq}, {kUtf8, "\xC3", "\xC3\xA9", 1, -1, Eq},
        {kUtf8, "ab\xC3", "ab\xC3", 9, 0, Eq}, {kEucJp, "\xA4\xA2x", "\xA4\xA2y", 1, 0, Eq},
        {kEucJp, "\xA4\xA2x", "\xA4\xA2y", 2, -1, Sgn}, {kEucJp, "\x8F\xB0\xA1", "\x8F\xB0\xA1", 4, 0, Eq},
        {kEucJp, "\xA4" "A", "\xA4\xA2", 1, -1, Eq}, {kEucJp, "a\xA4", "a\xA4", 3, 0, Eq}, {kEucJp, "\xFF", "\xA4\xA2", 1, 1, Eq},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const int32_t result = KXstrncoll(c.s1.c_str(), c.s2.c_str(), c.n);
        EXPECT_EQ(c.exact ? result : Sign(result), c.expected) << What(c.locale, c.s1, c.s2) << " n " << c.n;
    }
    // The collation result itself, not reduced to its sign.
    for (const char *locale : {kC, kUtf8}) {
        LocaleScope scope(locale);
        for (const auto &[a, b] : {std::pair{"a", "B"}, std::pair{"z", "a"}, std::pair{"xa", "xC"}}) {
            const std::string ca(1, a[std::strlen(a) - 1]), cb(1, b[std::strlen(b) - 1]);
            EXPECT_EQ(KXstrncoll(a, b, 5), KXLstrcoll(ca.c_str(), cb.c_str())) << locale << " " << a << " " << b;
        }
    }
}

TEST(Utf16Comparison, DiffersAtTheFirstUnequalUnit) {
    const struct { const char *locale; std::string s1, s2; int32_t expected; } cases[] = {
        {kC, "abc", "ABC", 32}, {kC, "abc", "abc", 0}, {kC, "", "", 0}, {kC, "ab", "abc", -'c'}, {kC, "b", "a", 1},
        {kC, "a\x80", "a\x81", -1},  // bytes without a character stay apart
        {kC, "a\x80", "a", 0xDC80}, {kLatin1, "\xE9", "\xC9", 0xE9 - 0xC9}, {kLatin1, "\xFF", "a", 0xFF - 0x61},
        {kCp1251, "\xFF", "\xDF", 0x44F - 0x42F}, {kCp1251, "\x98", "\x98", 0}, {kCp1251, "\x98" "a", "\x98" "b", -1},
        {kCp1251, "\x98", "\xFF", 0xDC98 - 0x44F}, {kUtf8, "\xC3\xA9", "\xC3\x89", 0xE9 - 0xC9},
        {kUtf8, "\xE2\x82\xAC", "a", 0x20AC - 0x61}, {kUtf8, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 0},
        {kUtf8, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81", 0xDE00 - 0xDE01},
        {kUtf8, "\xF0\x9F\x98\x80", "\xEF\x98\x80", 0xD83D - 0xF600},  // U+1F600 against U+F600
        {kUtf8, "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF", 0xDBFF - 0xFFFF},
        {kUtf8, "\xF4\x90\x80\x80", "\xF4\x90\x80\x81", -1},  // beyond U+10FFFF: byte by byte
        {kUtf8, "\xF4\x90\x80\x80", "\xF4\x8F\xBF\xBF", 0xDCF4 - 0xDBFF}, {kUtf8, "\xED\xA0\x80", "\xED\xA0\x81", -1},
        {kUtf8, "\x80" "a", "\x81" "a", -1}, {kUtf8, "\xFF", "", 0xDCFF}, {kUtf8, "a\xFF", "a\xFE", 1},
        {kUtf8, "a\xFF" "b", "a\xFF" "c", -1}, {kUtf8, "\xE2\x82" "a", "\xE2\x82" "b", -1},
        {kUtf8, "\xC3" "a", "\xC3\xA1", 0xDCC3 - 0xE1}, {kUtf8, "a\xC3", "a\xC3\xA9", 0xDCC3 - 0xE9},
        {kUtf8, "a\xC3", "a\xC3", 0}, {kUtf8, "a\xE2\x82", "a\xE2\x83", -1}, {kEucJp, "\xA4\xA2", "\xA4\xA4", 0x3042 - 0x3044},
        {kEucJp, "\x8F\xB0\xA1", "\xA4\xA2", 0x4E02 - 0x3042}, {kEucJp, "\x8E\xB1", "\xFF", 0xFF71 - 0xDCFF},
        {kEucJp, "\xFF", "\xFE", 1}, {kEucJp, "a\xA4" "A", "a\xA4" "B", -1}, {kEucJp, "a\xA4", "a", 0xDCA4},
        {kEucJp, "a\xA4", "a\xA4\xA2", 0xDCA4 - 0x3042},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        EXPECT_EQ(KXLstricmp(c.s1.c_str(), c.s2.c_str()), c.expected) << What(c.locale, c.s1, c.s2);
        EXPECT_EQ(KXLstricmp(c.s2.c_str(), c.s1.c_str()), -c.expected) << What(c.locale, c.s1, c.s2);
    }
}

TEST(CaseChange, MapsSingleByteCharactersUpToABadSequence) {
    const struct { const char *locale; std::string text, upper, lower; } cases[] = {
        {kC, "", "", ""}, {kC, "aB1z", "AB1Z", "ab1z"}, {kC, "aB\x80zZ", "AB\x80zZ", "ab\x80zZ"},
        {kLatin1, "\xE9z\xC9\xFF\xDF", "\xC9Z\xC9\xFF\xDF", "\xE9z\xE9\xFF\xDF"},
        {kCp1251, "\xFF" "a\xDF", "\xDF" "A\xDF", "\xFF" "a\xFF"}, {kCp1251, "aA\x98" "bB", "AA\x98" "bB", "aa\x98" "bB"},
        {kUtf8, "", "", ""}, {kUtf8, "a\xC3\xA9z", "A\xC3\xA9Z", "a\xC3\xA9z"}, {kUtf8, "A\xC3\x89Z", "A\xC3\x89Z", "a\xC3\x89z"},
        {kUtf8, "\xFF" "aB", "\xFF" "aB", "\xFF" "aB"}, {kUtf8, "aA\xFF" "bB", "AA\xFF" "bB", "aa\xFF" "bB"},
        {kUtf8, "aB\xC3", "AB\xC3", "ab\xC3"}, {kEucJp, "a\xA4\xA2z", "A\xA4\xA2Z", "a\xA4\xA2z"},
        {kEucJp, "\x8F\xB0\xA1" "bB", "\x8F\xB0\xA1" "BB", "\x8F\xB0\xA1" "bb"}, {kEucJp, "\xFF" "aB", "\xFF" "aB", "\xFF" "aB"},
        {kEucJp, "aA\xA4" "bB", "AA\xA4" "bB", "aa\xA4" "bB"}, {kEucJp, "aB\xA4", "AB\xA4", "ab\xA4"},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        auto up = GuardedCopy(c.text), low = GuardedCopy(c.text);
        EXPECT_TRUE(KXLstrupr(up.data()) == up.data() && KXLstrlwr(low.data()) == low.data());
        EXPECT_EQ(std::string(up.data(), c.text.size() + 1), c.upper + '\0') << What(c.locale, c.text, "");
        EXPECT_EQ(std::string(low.data(), c.text.size() + 1), c.lower + '\0') << What(c.locale, c.text, "");
        EXPECT_TRUE(up.intact() && low.intact());
    }
}

// The digits of value in radix, most significant first, by plain division.
std::string Digits(uint64_t value, int radix) {
    std::string text;
    do text.insert(text.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[value % radix]);
    while ((value /= radix) != 0);
    return text;
}

// Every radix with values around its powers and at the ends of the range;
// radix 10 is the only signed one. A buffer larger than any result shows
// that nothing but the text and its terminator is written.
TEST(NumberText, EveryRadixAndRange) {
    for (int32_t radix = -1; radix <= 37; ++radix) {
        std::vector<uint32_t> values = {0, 1, 255, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu, 12345};
        for (uint64_t p = radix > 1 ? radix : 2; p <= 0xFFFFFFFFu; p *= radix > 1 ? radix : 2) {
            values.insert(values.end(), {uint32_t(p - 1), uint32_t(p), uint32_t(p + 1)});
        }
        for (const uint32_t value : values) {
            const bool valid = radix >= 2 && radix <= 36;
            const auto sign = static_cast<int32_t>(value);
            const std::string plain = valid ? Digits(value, radix) : "";
            const std::string text = radix == 10 && sign < 0 ? "-" + Digits(0u - value, 10) : plain;
            Guarded<char> u(34, 'X'), s(34, 'X');
            EXPECT_EQ(KXultoa(value, u.data(), radix), u.data());
            EXPECT_EQ(KXltoa(sign, s.data(), radix), s.data());
            EXPECT_EQ(std::string(u.data(), 34), plain + '\0' + std::string(33 - plain.size(), 'X')) << radix;
            EXPECT_EQ(std::string(s.data(), 34), text + '\0' + std::string(33 - text.size(), 'X')) << radix;
            EXPECT_TRUE(u.intact() && s.intact());
        }
    }
    for (const int32_t radix : {INT32_MIN, 64, INT32_MAX}) {
        char buf[4] = "XXX";
        EXPECT_TRUE(KXultoa(5, buf, radix) == buf && KXltoa(-5, buf + 1, radix) == buf + 1);
        EXPECT_EQ(std::string(buf, 3), std::string("\0\0X", 3));
    }
    // A few results written out, against a shared mistake of both sides.
    const std::tuple<int64_t, int32_t, const char *> known[] = {{0xFFFFFFFF, 36, "1z141z3"}, {255, 16, "ff"},
        {-255, 10, "-255"}, {-1, 16, "ffffffff"}, {INT32_MIN, 10, "-2147483648"}, {INT32_MIN, 16, "80000000"}};
    for (const auto &[value, radix, text] : known) {
        char buf[34];
        EXPECT_STREQ(value < 0 ? KXltoa(int32_t(value), buf, radix) : KXultoa(uint32_t(value), buf, radix), text);
    }
}

}  // namespace
