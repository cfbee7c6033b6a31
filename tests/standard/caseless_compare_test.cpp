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

using qtest::Counts;
using qtest::StandardCounts;
using qtest::U;

class CaselessCompare : public qtest::StandardSetTest {};

TEST_F(CaselessCompare, UnilowerLoadsTheSetOnFirstUseAndOnlyOnce) {
    EXPECT_EQ(_unilower(u'A'), u'a');
    EXPECT_EQ(StandardCounts(), (Counts{1, 1, 1}));
    EXPECT_EQ(_unilower(u'B'), u'b');
    EXPECT_EQ(StandardCounts(), (Counts{1, 1, 1}));
    KXUSStandardUnicodeRelease();
    EXPECT_EQ(_unilower(u'C'), u'c') << "an unloaded set is loaded again";
    EXPECT_EQ(StandardCounts(), (Counts{1, 1, 1}));
}

TEST_F(CaselessCompare, UnilowerLeavesAProgramsSetAlone) {
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    EXPECT_EQ(_unilower(u'Q'), u'q');
    EXPECT_EQ(StandardCounts(), (Counts{1, 1, 1}));
}

TEST_F(CaselessCompare, UnilowerValues) {
    struct Case {
        const char *locale;
        int32_t ch, lower;
    };
    const Case cases[] = {
        {"C", 0, 0},
        {"C", u'A', u'a'},
        {"C", u'z', u'z'},
        {"C", u'[', u'['},
        {"C", 0x10041, u'a'},  // only the low 16 bits count
        {"C", -1, 0xFFFF},
        {"de_DE.UTF-8", 0x00C4, 0x00E4},
        {"de_DE.UTF-8", 0x0130, u'i'},
        {"de_DE.UTF-8", 0x0391, 0x03B1},
        {"de_DE.UTF-8", 0xD800, 0xD800},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + std::to_string(c.ch));
        qtest::LocaleScope scope(c.locale);
        EXPECT_EQ(_unilower(c.ch), c.lower);
    }
}

struct Comparison {
    const char16_t *s1, *s2;
    uint32_t n;  // for kxusuninicmp
    int32_t icmp, nicmp;
};

const Comparison kComparisons[] = {
    {u"", u"", 5, 0, 0},
    {u"ABC", u"abc", 3, 0, 0},
    {u"abc", u"abd", 3, -1, -1},
    {u"abc", u"abd", 2, -1, 0},
    {u"ab", u"abc", 5, -99, -99},
    {u"abc", u"ab", 5, 99, 99},
    {u"abX", u"ABy", 0, -1, 0},
    {u"abX", u"ABy", 2, -1, 0},
    {u"abX", u"ABy", 3, -1, -1},
    {u"abc", u"ABC", 100, 0, 0},
    {u"xyz", u"ab", 0, 23, 0},
    {u"\u00c4rger", u"\u00e4RGER", 5, 0, 0},
    {u"\u00c4", u"B", 1, 0xE4 - u'b', 0xE4 - u'b'},
    {u"[", u"a", 1, u'[' - u'a', u'[' - u'a'},
    {u"\uffff", u"a", 1, 0xFFFF - u'a', 0xFFFF - u'a'},
};

TEST_F(CaselessCompare, Comparisons) {
    qtest::LocaleScope scope("de_DE.UTF-8");
    for (const Comparison &c : kComparisons) {
        SCOPED_TRACE(std::to_string(&c - kComparisons));
        EXPECT_EQ(kxusuniicmp(U(c.s1), U(c.s2)), c.icmp);
        EXPECT_EQ(kxusuninicmp(U(c.s1), U(c.s2), c.n), c.nicmp);
    }
}

// No unit past the first difference or the end of s1 is read.
TEST_F(CaselessCompare, StopsAtTheFirstDifferenceOrTheEnd) {
    const uint16_t s1[] = {u'a', u'b', 0};
    const uint16_t s2[] = {u'A', u'x'};  // no terminator
    EXPECT_EQ(kxusuniicmp(s1, s2), u'b' - u'x');
    const uint16_t s3[] = {u'A', u'B', 0};
    EXPECT_EQ(kxusuninicmp(s1, s3, 1000000), 0);
    EXPECT_EQ(kxusuninicmp(s1, s2, 1), 0);
}

// Many threads compare before anything is loaded: one of them loads the
// set, once, and none sees a half-loaded converter. Repeated, since one
// race window is narrow.
TEST_F(CaselessCompare, FirstUseFromManyThreads) {
    constexpr int kRepeats = 20;
    constexpr int kThreads = 8;
    constexpr int kRounds = 20;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        SCOPED_TRACE(repeat);
        qtest::UnloadStandardSet();
        std::atomic<int> ready{0};
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                ready.fetch_add(1);
                while (ready.load() < kThreads) std::this_thread::yield();
                for (int r = 0; r < kRounds; ++r) {
                    if (kxusuniicmp(U(u"Hello, World"), U(u"hELLO, wORLD")) != 0) wrong.fetch_add(1);
                    if (kxusuniicmp(U(u"abc"), U(u"ABD")) != -1) wrong.fetch_add(1);
                    if (kxusuninicmp(U(u"QUEMBA"), U(u"quembx"), 5) != 0) wrong.fetch_add(1);
                    if (_unilower(u'Z') != u'z') wrong.fetch_add(1);
                }
            });
        }
        for (std::thread &t : threads) t.join();
        EXPECT_EQ(wrong.load(), 0);
        ASSERT_EQ(StandardCounts(), (Counts{1, 1, 1})) << "the set was initialised more than once";
    }
}

}  // namespace
