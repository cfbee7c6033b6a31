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

// What the comparison with plain loops below does not reach: sizes, unipcpy,
// uniset and the C locale's folding.
TEST(UniFixed, WhatTheLoopsDoNotCover) {
    EXPECT_TRUE(unilen(U(u"")) == 0 && unisize(U(u"")) == 2 && unisize(U(u"abc")) == 8);
    Guarded<uint16_t> d(5);
    EXPECT_EQ(unipcpy(d.data(), U(u"abc")), d.data() + 3);
    EXPECT_EQ(S16(uniset(unicpy(d.data(), U(u"abc")), u'y'), 5), std::u16string(u"yyy\0\x5A5A", 5));
    EXPECT_TRUE(d.intact());
    // The C locale folds ASCII only; '[' lies between 'Z' and 'a'.
    EXPECT_TRUE(uniicmp(U(u"\x00C4"), U(u"\x00E4")) == -32 && uniicmp(U(u"Q"), U(u"q")) == 0);
    EXPECT_TRUE(uniicmp(U(u"["), U(u"a")) == -6 && uninicmp(U(u"["), U(u"A"), 1) == -6);
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
