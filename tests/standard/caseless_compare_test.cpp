// _unilower and the case-blind comparisons, including their first use from
// many threads at once.
#include <quemba/standard.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "quemba_test.h"
#include "standard_state.h"

namespace {

using qtest::U;
using Counts = std::array<int32_t, 3>;

class CaselessCompare : public qtest::StandardSetTest {};

// _unilower loads the set when it is not loaded, once, and keeps that reference.
TEST_F(CaselessCompare, Unilower) {
    for (const char16_t ch : {u'A', u'B'}) EXPECT_TRUE(_unilower(ch) == ch + 32 && qtest::Counts() == (Counts{1, 1, 1}));
    KXUSStandardUnicodeRelease();
    EXPECT_TRUE(_unilower(u'C') == u'c' && qtest::Counts() == (Counts{1, 1, 1}));
    qtest::LocaleScope scope("de_DE.UTF-8");
    const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {u'[', u'['}, {0x10041, u'a'}, {-1, 0xFFFF}, {0x00C4, 0x00E4},
                                                 {0x0391, 0x03B1}, {0xD800, 0xD800}};
    for (const auto &[ch, lower] : cases) EXPECT_EQ(_unilower(ch), lower) << ch;
}

TEST_F(CaselessCompare, Comparisons) {
    qtest::LocaleScope scope("de_DE.UTF-8");
    const struct { const char16_t *s1, *s2; uint32_t n; int32_t icmp, nicmp; } cases[] = {
        {u"", u"", 5, 0, 0},           {u"ABC", u"abc", 3, 0, 0},     {u"abc", u"abd", 3, -1, -1},
        {u"abc", u"abd", 2, -1, 0},    {u"ab", u"abc", 5, -99, -99},  {u"abc", u"ab", 5, 99, 99},
        {u"abX", u"ABy", 0, -1, 0},    {u"abX", u"ABy", 2, -1, 0},    {u"abX", u"ABy", 3, -1, -1},
        {u"abc", u"ABC", 100, 0, 0},   {u"\u00c4rger", u"\u00e4RGER", 5, 0, 0},
        {u"\u00c4", u"B", 1, 0xE4 - u'b', 0xE4 - u'b'}, {u"\uffff", u"a", 1, 0xFFFF - u'a', 0xFFFF - u'a'},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(kxusuniicmp(U(c.s1), U(c.s2)) == c.icmp && kxusuninicmp(U(c.s1), U(c.s2), c.n) == c.nicmp)
            << (&c - cases);
    }
    // Nothing past the first difference, the end of s1 or n units is read.
    const uint16_t unterminated[] = {u'A', u'x'};
    EXPECT_EQ(kxusuniicmp(U(u"ab"), unterminated), u'b' - u'x');
    EXPECT_EQ(kxusuninicmp(U(u"ab"), unterminated, 1), 0);
}

// Many threads compare before anything is loaded: one of them loads the
// set, once, and none sees a half-loaded converter. Repeated, since the
// race window is narrow.
TEST_F(CaselessCompare, FirstUseFromManyThreads) {
    constexpr int kThreads = 8;
    for (int repeat = 0; repeat < 20; ++repeat) {
        qtest::UnloadStandardSet();
        std::atomic<int> ready{0}, wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                for (ready.fetch_add(1); ready.load() < kThreads;) std::this_thread::yield();
                for (int r = 0; r < 20; ++r) {
                    wrong += kxusuniicmp(U(u"Hello, World"), U(u"hELLO, wORLD")) != 0;
                    wrong += kxusuninicmp(U(u"QUEMBA"), U(u"quembx"), 5) != 0;
                    wrong += _unilower(u'Z') != u'z';
                }
            });
        }
        for (std::thread &t : threads) t.join();
        EXPECT_EQ(wrong.load(), 0);
        ASSERT_EQ(qtest::Counts(), (Counts{1, 1, 1})) << "loaded more than once, round " << repeat;
    }
}

}  // namespace
