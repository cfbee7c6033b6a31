// The uni family against fixed cases and against plain loops over
// std::u16string on random strings.
#include <quemba/unistr.h>

#include <cwctype>
#include <random>

#include "quemba_test.h"

namespace {

using qtest::Guarded;
using qtest::LocaleScope;
using qtest::S16;
using qtest::U;

uint16_t *M(std::u16string &s) { return reinterpret_cast<uint16_t *>(s.data()); }

// ---- reference model: the obvious loops ----

int32_t RefCmp(const std::u16string &a, const std::u16string &b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint16_t x = i < a.size() ? a[i] : 0;
        const uint16_t y = i < b.size() ? b[i] : 0;
        if (x != y || x == 0) return int32_t{x} - int32_t{y};
    }
    return 0;
}

uint16_t Lower(uint16_t c) { return static_cast<uint16_t>(std::towlower(c)); }

int32_t RefICmp(const std::u16string &a, const std::u16string &b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint16_t x = Lower(i < a.size() ? a[i] : 0);
        const uint16_t y = Lower(i < b.size() ? b[i] : 0);
        if (x != y || i >= a.size()) return int32_t{x} - int32_t{y};
    }
    return 0;
}

ptrdiff_t RefChr(const std::u16string &s, uint16_t c) {
    for (size_t i = 0; i <= s.size(); ++i) {
        if ((i < s.size() ? s[i] : 0) == c) return static_cast<ptrdiff_t>(i);
    }
    return -1;
}

ptrdiff_t RefRChr(const std::u16string &s, uint16_t c) {
    ptrdiff_t found = -1;
    for (size_t i = 0; i <= s.size(); ++i) {
        if ((i < s.size() ? s[i] : 0) == c) found = static_cast<ptrdiff_t>(i);
    }
    return found;
}

ptrdiff_t RefStr(const std::u16string &s, const std::u16string &sub) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, sub.size(), sub) == 0) return static_cast<ptrdiff_t>(i);
    }
    return -1;
}

bool Contains(const std::u16string &set, char16_t c) {
    for (char16_t x : set) {
        if (x == c) return true;
    }
    return false;
}

ptrdiff_t RefPbrk(const std::u16string &s, const std::u16string &set) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (Contains(set, s[i])) return static_cast<ptrdiff_t>(i);
    }
    return -1;
}

uint32_t RefSpan(const std::u16string &s, const std::u16string &set, bool inside) {
    uint32_t n = 0;
    while (n < s.size() && Contains(set, s[n]) == inside) ++n;
    return n;
}

ptrdiff_t Offset(const uint16_t *found, const uint16_t *base) { return found == nullptr ? -1 : found - base; }

// Strings over a small alphabet so that matches are frequent, with units
// above 0x7FFF to catch signed comparisons.
class RandomText {
public:
    explicit RandomText(uint32_t seed) : rng_(seed) {}
    std::u16string Make(size_t maxLength) {
        static const char16_t alphabet[] = {u'a', u'b', u'A', u'B', u',', 0x00C4, 0x00E4,
                                            0x7FFF, 0x8000, 0xD800, 0xDC00, 0xFFFF};
        std::uniform_int_distribution<size_t> length(0, maxLength);
        std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 1);
        std::u16string s(length(rng_), u' ');
        for (auto &c : s) c = alphabet[pick(rng_)];
        return s;
    }
    int32_t Count(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng_); }

private:
    std::mt19937 rng_;
};

// ---- fixed cases ----

TEST(UniLength, CountsUnitsAndBytes) {
    const struct {
        const char16_t *s;
        uint32_t units;
    } cases[] = {{u"", 0}, {u"abc", 3}, {u"\xFFFF\x8000", 2}, {u"\xD83D\xDE00", 2}};
    for (const auto &c : cases) {
        EXPECT_EQ(unilen(U(c.s)), c.units);
        EXPECT_EQ(unisize(U(c.s)), 2 * c.units + 2);
    }
}

TEST(UniCopy, CopiesWithTerminator) {
    Guarded<uint16_t> d(4);
    EXPECT_EQ(unicpy(d.data(), U(u"abc")), d.data());
    EXPECT_EQ(S16(d.data()), u"abc");
    EXPECT_EQ(unipcpy(d.data(), U(u"xy")), d.data() + 2);
    EXPECT_EQ(d[2], 0);
    EXPECT_EQ(S16(d.data()), u"xy");
    EXPECT_TRUE(d.intact());
}

TEST(UniNCopy, TerminatesOnlyWhenSourceEndsFirst) {
    const struct {
        const char16_t *src;
        int32_t n;
        std::u16string expected;  // the whole 5-unit buffer afterwards
    } cases[] = {
        {u"abc", 2, std::u16string(u"ab") + u"\x5A5A\x5A5A\x5A5A"},
        {u"ab", 5, std::u16string(u"ab\0", 3) + u"\x5A5A\x5A5A"},
        {u"abc", 3, std::u16string(u"abc") + u"\x5A5A\x5A5A"},
        {u"abc", 0, u"\x5A5A\x5A5A\x5A5A\x5A5A\x5A5A"},
        {u"abc", -4, u"\x5A5A\x5A5A\x5A5A\x5A5A\x5A5A"},
        {u"", 1, std::u16string(u"\0", 1) + u"\x5A5A\x5A5A\x5A5A\x5A5A"},
    };
    for (const auto &c : cases) {
        Guarded<uint16_t> d(5);
        EXPECT_EQ(unincpy(d.data(), U(c.src), c.n), d.data());
        EXPECT_EQ(S16(d.data(), 5), c.expected) << "n=" << c.n;
        EXPECT_TRUE(d.intact());
    }
}

TEST(UniConcat, AppendsAndTerminates) {
    const struct {
        const char16_t *dest;
        const char16_t *src;
        int32_t n;  // INT32_MIN: unicat
        const char16_t *expected;
    } cases[] = {
        {u"ab", u"xyz", INT32_MIN, u"abxyz"}, {u"", u"xyz", INT32_MIN, u"xyz"},
        {u"ab", u"", INT32_MIN, u"ab"},       {u"ab", u"xyz", 2, u"abxy"},
        {u"ab", u"xyz", 9, u"abxyz"},         {u"ab", u"xyz", 0, u"ab"},
        {u"ab", u"xyz", -1, u"ab"},
    };
    for (const auto &c : cases) {
        const std::u16string expected = c.expected;
        Guarded<uint16_t> d(expected.size() + 1);
        unicpy(d.data(), U(c.dest));
        uint16_t *r = c.n == INT32_MIN ? unicat(d.data(), U(c.src)) : unincat(d.data(), U(c.src), c.n);
        EXPECT_EQ(r, d.data());
        EXPECT_EQ(S16(d.data()), expected);
        EXPECT_TRUE(d.intact()) << "n=" << c.n;
    }
}

TEST(UniCompare, UnsignedUnitDifferences) {
    const struct {
        const char16_t *a;
        const char16_t *b;
        uint32_t n;  // UINT32_MAX: unicmp
        int32_t expected;
    } cases[] = {
        {u"a", u"b", UINT32_MAX, -1},         {u"b", u"a", UINT32_MAX, 1},
        {u"ab", u"a", UINT32_MAX, 0x62},      {u"a", u"ab", UINT32_MAX, -0x62},
        {u"abc", u"abc", UINT32_MAX, 0},      {u"", u"", UINT32_MAX, 0},
        {u"\xFFFF", u"\x0001", UINT32_MAX, 65534}, {u"\x0001", u"\xFFFF", UINT32_MAX, -65534},
        {u"\x8000", u"\x7FFF", UINT32_MAX, 1}, {u"", u"\xFFFF", UINT32_MAX, -65535},
        {u"abc", u"abd", 2, 0},               {u"abc", u"abd", 3, -1},
        {u"x", u"y", 0, 0},                   {u"ab", u"ab", 10, 0},
        {u"ab", u"abc", 10, -0x63},
    };
    for (const auto &c : cases) {
        const int32_t r = c.n == UINT32_MAX ? unicmp(U(c.a), U(c.b)) : unincmp(U(c.a), U(c.b), c.n);
        EXPECT_EQ(r, c.expected) << "n=" << c.n;
    }
}

TEST(UniCaseBlindCompare, ComparesLowerCaseForms) {
    // The C locale lowers ASCII only; the others lower all of Unicode.
    const struct {
        const char16_t *a;
        const char16_t *b;
        uint32_t n;  // UINT32_MAX: uniicmp
        int32_t inC;
        int32_t elsewhere;
    } cases[] = {
        {u"ABC", u"abc", UINT32_MAX, 0, 0},
        {u"A", u"b", UINT32_MAX, -1, -1},
        {u"b", u"A", UINT32_MAX, 1, 1},
        {u"ABx", u"aby", 2, 0, 0},
        {u"ABx", u"aby", 3, -1, -1},
        {u"x", u"Y", 0, 0, 0},
        {u"ab", u"A", UINT32_MAX, 0x62, 0x62},
        {u"A", u"ab", UINT32_MAX, -0x62, -0x62},
        {u"[", u"a", UINT32_MAX, 0x5B - 0x61, 0x5B - 0x61},  // '[' sits between 'Z' and 'a'
        {u"\x00C4", u"\x00E4", UINT32_MAX, 0xC4 - 0xE4, 0},
        {u"\x0416x", u"\x0436X", UINT32_MAX, 0x416 - 0x436, 0},
        {u"\x0416\x0416", u"\x0436\x0437", 1, 0x416 - 0x436, 0},
        {u"\xFFFF", u"a", UINT32_MAX, 0xFFFF - 0x61, 0xFFFF - 0x61},
    };
    for (const char *locale : {"C", "en_US.UTF-8", "ru_RU.CP1251", "de_DE.ISO-8859-1"}) {
        LocaleScope scope(locale);
        const bool inC = std::string(locale) == "C";
        for (const auto &c : cases) {
            const int32_t r = c.n == UINT32_MAX ? uniicmp(U(c.a), U(c.b)) : uninicmp(U(c.a), U(c.b), c.n);
            EXPECT_EQ(r, inC ? c.inC : c.elsewhere) << locale << " n=" << c.n << " a[0]=" << int(c.a[0]);
        }
    }
}

TEST(UniSearch, FixedCases) {
    const std::u16string s = u"abcabc";
    EXPECT_EQ(unichr(U(s), u'b'), U(s) + 1);
    EXPECT_EQ(unirchr(U(s), u'b'), U(s) + 4);
    EXPECT_EQ(unichr(U(s), 0), U(s) + 6);
    EXPECT_EQ(unirchr(U(s), 0), U(s) + 6);
    EXPECT_EQ(unichr(U(u"abc"), u'd'), nullptr);
    EXPECT_EQ(unirchr(U(u"abc"), u'd'), nullptr);

    const std::u16string empty, abc = u"abc";
    EXPECT_EQ(unistr(U(empty), U(u"")), nullptr);
    EXPECT_EQ(unistr(U(abc), U(u"")), U(abc));
    EXPECT_EQ(unistr(U(abc), U(u"cd")), nullptr);
    EXPECT_EQ(unistr(U(abc), U(u"bc")), U(abc) + 1);
    EXPECT_EQ(unistr(U(s), U(u"ca")), U(s) + 2);

    EXPECT_EQ(unispn(U(u"abc"), U(u"")), 0u);
    EXPECT_EQ(unicspn(U(u"abc"), U(u"")), 3u);
    EXPECT_EQ(unipbrk(U(u"abc"), U(u"")), nullptr);
    EXPECT_EQ(unispn(U(u"abcd"), U(u"ba")), 2u);
    EXPECT_EQ(unicspn(U(u"abcd"), U(u"dc")), 2u);
    EXPECT_EQ(unipbrk(U(abc), U(u"xc")), U(abc) + 2);
}

TEST(UniFill, ChangesUnitsButNotTerminator) {
    const struct {
        const char16_t *s;
        int32_t n;  // INT32_MIN: uniset
        const char16_t *expected;
    } cases[] = {
        {u"abc", INT32_MIN, u"xxx"}, {u"", INT32_MIN, u""},  {u"abc", 5, u"xxx"},
        {u"abc", 2, u"xxc"},         {u"abc", 0, u"abc"},    {u"abc", -1, u"abc"},
    };
    for (const auto &c : cases) {
        const std::u16string src = c.s;
        Guarded<uint16_t> d(src.size() + 1);
        unicpy(d.data(), U(src));
        uint16_t *r = c.n == INT32_MIN ? uniset(d.data(), u'x') : uninset(d.data(), u'x', c.n);
        EXPECT_EQ(r, d.data());
        EXPECT_EQ(S16(d.data(), src.size() + 1), std::u16string(c.expected) + u'\0');
        EXPECT_TRUE(d.intact());
    }
}

TEST(UniReverse, ReversesInPlace) {
    for (const std::u16string s : {u"", u"a", u"abc", u"abcd", u"\xD83D\xDE00x"}) {
        Guarded<uint16_t> d(s.size() + 1);
        unicpy(d.data(), U(s));
        EXPECT_EQ(unirev(d.data()), d.data());
        EXPECT_EQ(S16(d.data(), s.size() + 1), std::u16string(s.rbegin(), s.rend()) + u'\0');
        EXPECT_TRUE(d.intact());
    }
}

// ---- unitok ----

std::vector<std::u16string> Tokens(std::u16string text, const char16_t *delim) {
    std::vector<std::u16string> out;
    for (uint16_t *t = unitok(M(text), U(delim)); t != nullptr; t = unitok(nullptr, U(delim))) {
        out.push_back(S16(t));
    }
    // Once exhausted, it stays exhausted.
    EXPECT_EQ(unitok(nullptr, U(delim)), nullptr);
    return out;
}

TEST(UniTok, SplitsAtDelimiterRuns) {
    using V = std::vector<std::u16string>;
    EXPECT_EQ(Tokens(u",,a,,b,", u","), (V{u"a", u"b"}));
    EXPECT_EQ(Tokens(u",,,", u","), V{});
    EXPECT_EQ(Tokens(u"", u","), V{});
    EXPECT_EQ(Tokens(u"a b;c", u" ;"), (V{u"a", u"b", u"c"}));
    EXPECT_EQ(Tokens(u"a,b", u""), V{u"a,b"});
    EXPECT_EQ(Tokens(u"\xFFFF\x8000\xFFFF", u"\x8000"), (V{u"\xFFFF", u"\xFFFF"}));
}

TEST(UniTok, ChangesTextInPlaceAndDelimitersMayChange) {
    std::u16string text = u"a,b;c";
    uint16_t *base = M(text);
    EXPECT_EQ(unitok(base, U(u",")), base);
    EXPECT_EQ(text[1], 0);
    // The saved position is after the written terminator; a new delimiter
    // set applies from there.
    EXPECT_EQ(unitok(nullptr, U(u";")), base + 2);
    EXPECT_EQ(text[3], 0);
    EXPECT_EQ(unitok(nullptr, U(u";")), base + 4);
    EXPECT_EQ(unitok(nullptr, U(u";")), nullptr);
}

TEST(UniTok, NewStringForgetsOldOne) {
    std::u16string first = u"a,b,c", second = u"x,y";
    EXPECT_EQ(S16(unitok(M(first), U(u","))), u"a");
    EXPECT_EQ(S16(unitok(M(second), U(u","))), u"x");
    EXPECT_EQ(S16(unitok(nullptr, U(u","))), u"y");
    EXPECT_EQ(unitok(nullptr, U(u",")), nullptr);
    EXPECT_EQ(first, std::u16string(u"a\0b,c", 5));
}

// A fresh process, so that nothing has been tokenised yet.
TEST(UniTokDeathTest, NullBeforeAnyTokenisationGivesNull) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(unitok(nullptr, U(u",")) == nullptr ? 0 : 1), testing::ExitedWithCode(0), "");
}

// ---- random strings against the reference ----

TEST(UniRandom, MatchesReference) {
    LocaleScope scope("en_US.UTF-8");
    RandomText random(20240611);
    for (int round = 0; round < 3000; ++round) {
        const std::u16string a = random.Make(12), b = random.Make(12);
        // Often a prefix of a, so that long common runs get compared.
        const std::u16string sub = round % 2 == 0 ? b.substr(0, 3) : a.substr(a.size() / 2, 2);
        const std::u16string set = random.Make(4);
        const uint16_t c = round % 5 == 0 ? 0 : (b.empty() ? u'a' : b[0]);
        const int32_t n = random.Count(-2, 15);
        SCOPED_TRACE(testing::Message() << "round " << round);

        EXPECT_EQ(unilen(U(a)), a.size());
        EXPECT_EQ(unisize(U(a)), 2 * a.size() + 2);
        EXPECT_EQ(unicmp(U(a), U(b)), RefCmp(a, b, SIZE_MAX));
        EXPECT_EQ(unincmp(U(a), U(b), static_cast<uint32_t>(n)), RefCmp(a, b, static_cast<uint32_t>(n)));
        EXPECT_EQ(uniicmp(U(a), U(b)), RefICmp(a, b, SIZE_MAX));
        EXPECT_EQ(uninicmp(U(a), U(b), static_cast<uint32_t>(n)), RefICmp(a, b, static_cast<uint32_t>(n)));
        EXPECT_EQ(unicmp(U(a), U(a)), 0);
        EXPECT_EQ(Offset(unichr(U(a), c), U(a)), RefChr(a, c));
        EXPECT_EQ(Offset(unirchr(U(a), c), U(a)), RefRChr(a, c));
        EXPECT_EQ(Offset(unistr(U(a), U(sub)), U(a)), RefStr(a, sub));
        EXPECT_EQ(Offset(unipbrk(U(a), U(set)), U(a)), RefPbrk(a, set));
        EXPECT_EQ(unispn(U(a), U(set)), RefSpan(a, set, true));
        EXPECT_EQ(unicspn(U(a), U(set)), RefSpan(a, set, false));

        // Writers, each into a buffer of exactly the size it needs.
        {
            Guarded<uint16_t> d(a.size() + 1);
            EXPECT_EQ(unipcpy(d.data(), U(a)), d.data() + a.size());
            EXPECT_EQ(S16(d.data(), a.size() + 1), a + u'\0');
            EXPECT_TRUE(d.intact());
        }
        {
            const size_t copied = n <= 0 ? 0 : std::min<size_t>(a.size(), static_cast<size_t>(n));
            const bool terminated = n > 0 && a.size() < static_cast<size_t>(n);
            Guarded<uint16_t> d(copied + (terminated ? 1 : 0));
            unincpy(d.data(), U(a), n);
            EXPECT_EQ(S16(d.data(), copied), a.substr(0, copied));
            if (terminated) {
                EXPECT_EQ(d[copied], 0);
            }
            EXPECT_TRUE(d.intact());
        }
        {
            const std::u16string appended = n <= 0 ? u"" : b.substr(0, static_cast<size_t>(n));
            Guarded<uint16_t> d(a.size() + appended.size() + 1);
            unicpy(d.data(), U(a));
            unincat(d.data(), U(b), n);
            EXPECT_EQ(S16(d.data(), a.size() + appended.size() + 1), a + appended + u'\0');
            EXPECT_TRUE(d.intact());
            Guarded<uint16_t> e(a.size() + b.size() + 1);
            unicpy(e.data(), U(a));
            unicat(e.data(), U(b));
            EXPECT_EQ(S16(e.data(), a.size() + b.size() + 1), a + b + u'\0');
            EXPECT_TRUE(e.intact());
        }
        {
            Guarded<uint16_t> d(a.size() + 1);
            unicpy(d.data(), U(a));
            uninset(d.data(), c == 0 ? u'z' : c, n);
            std::u16string expected = a;
            for (int32_t i = 0; i < n && static_cast<size_t>(i) < a.size(); ++i) expected[i] = c == 0 ? u'z' : c;
            EXPECT_EQ(S16(d.data(), a.size() + 1), expected + u'\0');
            unirev(d.data());
            EXPECT_EQ(S16(d.data(), a.size() + 1), std::u16string(expected.rbegin(), expected.rend()) + u'\0');
            EXPECT_TRUE(d.intact());
        }
        {
            // unitok against splitting by hand.
            std::vector<std::u16string> expected;
            std::u16string token;
            for (char16_t x : a) {
                if (Contains(set, x)) {
                    if (!token.empty()) expected.push_back(token);
                    token.clear();
                } else {
                    token += x;
                }
            }
            if (!token.empty()) expected.push_back(token);
            EXPECT_EQ(Tokens(a, set.c_str()), expected);
        }
    }
}

}  // namespace
