// The uni family against fixed cases and against plain loops over
// std::u16string on random strings.
#include <quemba/unistr.h>

#include <cwctype>
#include <random>

#include "quemba_test.h"

namespace {

using qtest::Guarded;
using qtest::S16;
using qtest::U;
using Strings = std::vector<std::u16string>;

uint16_t *M(std::u16string &s) { return reinterpret_cast<uint16_t *>(s.data()); }
long At(const uint16_t *found, const std::u16string &s) { return qtest::Offset(found, U(s)); }
uint16_t Unit(const std::u16string &s, size_t i) { return i < s.size() ? s[i] : 0; }
bool Has(const std::u16string &set, char16_t c) { return set.find(c) != std::u16string::npos; }
uint16_t Lower(uint16_t c) { return static_cast<uint16_t>(std::towlower(c)); }

// Reference comparison over at most n units, optionally lower-cased.
int32_t RefCmp(const std::u16string &a, const std::u16string &b, size_t n, bool fold) {
    for (size_t i = 0; i < n; ++i) {
        const uint16_t x = fold ? Lower(Unit(a, i)) : Unit(a, i), y = fold ? Lower(Unit(b, i)) : Unit(b, i);
        if (x != y || i >= a.size()) return int32_t{x} - int32_t{y};
    }
    return 0;
}

// Tokenises text with unitok, then checks that it stays exhausted.
Strings Tokens(std::u16string text, const std::u16string &delim) {
    Strings out;
    for (uint16_t *t = unitok(M(text), U(delim)); t; t = unitok(nullptr, U(delim))) out.push_back(S16(t));
    EXPECT_EQ(unitok(nullptr, U(delim)), nullptr);
    return out;
}

TEST(UniFixed, LengthsCopiesAndFills) {
    EXPECT_TRUE(unilen(U(u"")) == 0 && unisize(U(u"")) == 2 && unilen(U(u"abc")) == 3 && unisize(U(u"abc")) == 8);
    // Each row: the 5-unit buffer after the call, 0x5A5A where untouched.
    const std::u16string Z(1, 0x5A5A), N(1, 0);
    const struct {
        std::u16string result;
        uint16_t *(*call)(uint16_t *);
    } rows[] = {
        {u"abc" + N + Z, [](uint16_t *d) { return unicpy(d, U(u"abc")); }},
        {u"ab" + Z + Z + Z, [](uint16_t *d) { return unincpy(d, U(u"abc"), 2); }},
        {u"ab" + N + Z + Z, [](uint16_t *d) { return unincpy(d, U(u"ab"), 5); }},
        {Z + Z + Z + Z + Z, [](uint16_t *d) { return unincpy(d, U(u"ab"), -1); }},
        {u"abxy" + N, [](uint16_t *d) { return unincat(unicpy(d, U(u"ab")), U(u"xyz"), 2); }},
        {u"ab" + N + Z + Z, [](uint16_t *d) { return unincat(unicpy(d, U(u"ab")), U(u"xyz"), 0); }},
        {u"abxy" + N, [](uint16_t *d) { return unicat(unicpy(d, U(u"ab")), U(u"xy")); }},
        {u"xxx" + N + Z, [](uint16_t *d) { return uninset(unicpy(d, U(u"abc")), u'x', 5); }},
        {u"abc" + N + Z, [](uint16_t *d) { return uninset(unicpy(d, U(u"abc")), u'x', -1); }},
        {u"xxc" + N + Z, [](uint16_t *d) { return uninset(unicpy(d, U(u"abc")), u'x', 2); }},
        {u"yyy" + N + Z, [](uint16_t *d) { return uniset(unicpy(d, U(u"abc")), u'y'); }},
        {u"dcba" + N, [](uint16_t *d) { return unirev(unicpy(d, U(u"abcd"))); }},
        {u"cba" + N + Z, [](uint16_t *d) { return unirev(unicpy(d, U(u"abc"))); }},
        {N + Z + Z + Z + Z, [](uint16_t *d) { return unirev(unicpy(d, U(u""))); }},
    };
    for (const auto &row : rows) {
        Guarded<uint16_t> d(5);
        EXPECT_EQ(row.call(d.data()), d.data());
        EXPECT_EQ(S16(d.data(), 5), row.result);
        EXPECT_TRUE(d.intact());
    }
    Guarded<uint16_t> d(4);
    EXPECT_EQ(unipcpy(d.data(), U(u"abc")), d.data() + 3);
    EXPECT_EQ(d[3], 0);
}

TEST(UniFixed, ComparisonsAreUnsigned) {
    {
        qtest::LocaleScope scope("en_US.UTF-8");
        const struct {
            const char16_t *a, *b;
            uint32_t n;  // UINT32_MAX: the uncounted form
            int32_t plain, folded;
        } cases[] = {
            {u"a", u"b", UINT32_MAX, -1, -1}, {u"b", u"A", UINT32_MAX, 0x21, 1}, {u"ab", u"a", UINT32_MAX, 0x62, 0x62},
            {u"\xFFFF", u"\x0001", UINT32_MAX, 65534, 65534}, {u"\x8000", u"\x7FFF", UINT32_MAX, 1, 1},
            {u"", u"\xFFFF", UINT32_MAX, -65535, -65535}, {u"ABC", u"abc", UINT32_MAX, -32, 0},
            {u"\x00C4", u"\x00E4", UINT32_MAX, -32, 0}, {u"abc", u"abd", 2, 0, 0}, {u"ABx", u"aby", 2, -32, 0},
            {u"ABx", u"aby", 3, -32, -1}, {u"x", u"y", 0, 0, 0},
            {u"[", u"a", UINT32_MAX, -6, -6},  // '[' lies between 'Z' and 'a'
        };
        for (const auto &c : cases) {
            const bool counted = c.n != UINT32_MAX;
            EXPECT_EQ(counted ? unincmp(U(c.a), U(c.b), c.n) : unicmp(U(c.a), U(c.b)), c.plain) << c.n;
            EXPECT_EQ(counted ? uninicmp(U(c.a), U(c.b), c.n) : uniicmp(U(c.a), U(c.b)), c.folded) << c.n;
        }
    }
    // Back in the C locale, which folds ASCII only.
    EXPECT_EQ(uniicmp(U(u"\x00C4"), U(u"\x00E4")), -32);
    EXPECT_EQ(uniicmp(U(u"Q"), U(u"q")), 0);
}

TEST(UniFixed, Searches) {
    const std::u16string s = u"abcabc", e = u"";
    const uint16_t *S = U(s), *E = U(e);
    EXPECT_TRUE(At(unichr(S, u'b'), s) == 1 && At(unirchr(S, u'b'), s) == 4 && unichr(S, u'd') == nullptr);
    EXPECT_TRUE(At(unichr(S, 0), s) == 6 && At(unirchr(S, 0), s) == 6);
    EXPECT_TRUE(unistr(E, E) == nullptr && At(unistr(S, E), s) == 0 && At(unistr(S, U(u"ca")), s) == 2);
    EXPECT_TRUE(unistr(S, U(u"cd")) == nullptr && unipbrk(S, E) == nullptr && At(unipbrk(S, U(u"xc")), s) == 2);
    EXPECT_TRUE(unispn(S, E) == 0u && unicspn(S, E) == 6u);
}

TEST(UniTok, KeepsItsPositionAcrossCalls) {
    EXPECT_EQ(Tokens(u",,a,,b,", u","), (Strings{u"a", u"b"}));
    EXPECT_EQ(Tokens(u",,,", u","), Strings{});
    EXPECT_EQ(Tokens(u"a,b", u""), Strings{u"a,b"});
    // The text is cut in place; the next call may use other delimiters; a
    // new string forgets the old one.
    std::u16string text = u"a,b;c", other = u"x y";
    EXPECT_EQ(unitok(M(text), U(u",")), M(text));
    EXPECT_EQ(unitok(nullptr, U(u";")), M(text) + 2);
    EXPECT_EQ(text, std::u16string(u"a\0b\0c", 5));
    EXPECT_EQ(unitok(M(other), U(u" ")), M(other));
    EXPECT_EQ(unitok(nullptr, U(u" ")), M(other) + 2);
    EXPECT_EQ(unitok(nullptr, U(u" ")), nullptr);
}

// Death-test suites run before all others, so nothing has been tokenised
// yet; the check runs in a forked child.
TEST(UniTokDeathTest, NullBeforeAnyTokenisationGivesNull) {
    EXPECT_EXIT(std::exit(unitok(nullptr, U(u",")) == nullptr ? 0 : 1), testing::ExitedWithCode(0), "");
}

// Strings over a small alphabet, so that matches are frequent, with units
// above 0x7FFF to catch signed comparisons.
TEST(UniRandom, MatchesPlainLoops) {
    qtest::LocaleScope scope("en_US.UTF-8");
    const char16_t alphabet[] = {u'a', u'b', u'A', u',', 0xC4, 0xE4, 0x7FFF, 0x8000, 0xD800, 0xFFFF};
    std::mt19937 rng(20240611);
    auto make = [&](size_t max) {
        std::u16string s(rng() % (max + 1), u' ');
        for (auto &c : s) c = alphabet[rng() % std::size(alphabet)];
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::u16string a = make(12), b = make(12), set = make(3);
        const std::u16string sub = round % 2 ? a.substr(a.size() / 2, 2) : b.substr(0, 2);
        const uint16_t c = round % 5 ? Unit(b, 0) : 0;
        const int32_t n = static_cast<int32_t>(rng() % 18) - 2;
        const auto un = static_cast<uint32_t>(n);
        SCOPED_TRACE(testing::Message() << "round " << round);

        ptrdiff_t first = -1, last = -1, found = -1, brk = -1;
        for (size_t i = 0; i <= a.size(); ++i) {
            if (Unit(a, i) == c) {
                last = static_cast<ptrdiff_t>(i);
                if (first < 0) first = last;
            }
            if (i < a.size() && found < 0 && a.compare(i, sub.size(), sub) == 0)
                found = static_cast<ptrdiff_t>(i);
            if (i < a.size() && brk < 0 && Has(set, a[i])) brk = static_cast<ptrdiff_t>(i);
        }
        uint32_t span = 0, cspan = 0;
        while (span < a.size() && Has(set, a[span])) ++span;
        while (cspan < a.size() && !Has(set, a[cspan])) ++cspan;
        EXPECT_EQ(unilen(U(a)), a.size());
        EXPECT_EQ(unicmp(U(a), U(b)), RefCmp(a, b, SIZE_MAX, false));
        EXPECT_EQ(unincmp(U(a), U(b), un), RefCmp(a, b, un, false));
        EXPECT_EQ(uniicmp(U(a), U(b)), RefCmp(a, b, SIZE_MAX, true));
        EXPECT_EQ(uninicmp(U(a), U(b), un), RefCmp(a, b, un, true));
        EXPECT_EQ(At(unichr(U(a), c), a), first);
        EXPECT_EQ(At(unirchr(U(a), c), a), last);
        EXPECT_EQ(At(unistr(U(a), U(sub)), a), found);
        EXPECT_EQ(At(unipbrk(U(a), U(set)), a), brk);
        EXPECT_EQ(unispn(U(a), U(set)), span);
        EXPECT_EQ(unicspn(U(a), U(set)), cspan);

        // Writers, each into a buffer of exactly the size it needs.
        const size_t k = std::min<size_t>(a.size(), n < 0 ? 0 : n);
        const bool ends = n > 0 && a.size() < static_cast<size_t>(n);
        Guarded<uint16_t> ncpy(k + ends), cat(a.size() + b.size() + 1),
            ncat(a.size() + std::min<size_t>(b.size(), n < 0 ? 0 : n) + 1);
        unincpy(ncpy.data(), U(a), n);
        EXPECT_EQ(S16(ncpy.data(), ncpy.size()), a.substr(0, k) + (ends ? std::u16string(1, 0) : u""));
        EXPECT_EQ(S16(unicat(unicpy(cat.data(), U(a)), U(b))), a + b);
        EXPECT_EQ(S16(unincat(unicpy(ncat.data(), U(a)), U(b), n), ncat.size()),
                  a + b.substr(0, ncat.size() - a.size() - 1) + u'\0');
        std::u16string filled = a;
        for (size_t i = 0; i < k; ++i) filled[i] = u'z';
        Guarded<uint16_t> fill(a.size() + 1);
        EXPECT_EQ(S16(unirev(uninset(unicpy(fill.data(), U(a)), u'z', n)), fill.size()),
                  std::u16string(filled.rbegin(), filled.rend()) + u'\0');
        EXPECT_TRUE(ncpy.intact() && cat.intact() && ncat.intact() && fill.intact());

        Strings expected(1);
        for (char16_t x : a) {
            if (!Has(set, x))
                expected.back() += x;
            else if (!expected.back().empty())
                expected.emplace_back();
        }
        if (expected.back().empty()) expected.pop_back();
        EXPECT_EQ(Tokens(a, set), expected);
    }
}

}  // namespace
