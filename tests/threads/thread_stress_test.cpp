// Many threads convert through one shared handle in both directions and
// through the standard converters, and call the uni, UTF-8 and multibyte
// functions, each checking its results against ones computed beforehand
// on one thread. Under the tsan preset ThreadSanitizer watches the lot.
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/unistr.h>
#include <quemba/utf8.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "quemba_test.h"

namespace {

constexpr int kThreads = 8;
constexpr int kIterations = 300;

using qtest::S16;
using qtest::U;

// The same work on every thread; `expected` holds what one thread got first.
struct Work {
    ConverterHandle shared = nullptr;
    std::string bytes = "Gr\xC3\xBC\xC3\x9F" "e [4E2D] \xE4\xB8\xAD \xFF end";
    std::u16string units = u"Stra\u00dfe \u4e2d \U0001F600 [41] \\path\u00a5x " + std::u16string(1, char16_t(0xD800));
    struct Results {
        std::u16string toUnicode, standardToUnicode, lower, upper, fromUtf8;
        std::string toBytes, pathBytes, standardToBytes, utf8;
        uint32_t needUnits = 0, needBytes = 0, chars = 0;
        int32_t caseless = 0, compared = 0;
    };

    Results Run() const {
        Results r;
        uint16_t u16[256];
        char b[256];
        uint32_t n = 0;
        KXUXByteToUnicode(shared, u16, 256, bytes.c_str(), &n);
        r.toUnicode = S16(u16, n);
        KXUXLenByteToUnicode(shared, nullptr, 0, bytes.c_str(), -1, &r.needUnits);
        KXUXUnicodeToByte(shared, b, 256, U(units), &n);
        r.toBytes.assign(b, n);
        KXUXUnicodeToBytePath(shared, b, 256, U(units), &n);
        r.pathBytes.assign(b, n);
        KXUXUnicodeToByte(shared, nullptr, 0, U(units), &r.needBytes);
        KXUSByteToUnicode(u16, 256, bytes.c_str(), &n);
        r.standardToUnicode = S16(u16, n);
        KXUSUnicodeToByte(b, 256, U(units), &n);
        r.standardToBytes.assign(b, n);
        KXUSUnicodeToLowerCase(u16, 256, U(units), &n);
        r.lower = S16(u16, n);
        KXUSUnicodeToUpperCase(u16, 256, U(units), &n);
        r.upper = S16(u16, n);
        r.caseless = kxusuniicmp(U(r.lower), U(r.upper)) + kxusuninicmp(U(units), U(r.upper), 5);
        r.compared = unicmp(U(units), U(r.lower)) + static_cast<int32_t>(unilen(U(units))) +
                     static_cast<int32_t>(unispn(U(units), U(u"Sart"))) +
                     static_cast<int32_t>(unistr(U(units), U(u"\u4e2d")) - U(units));
        KXLUnicodeToUTF8(U(units), 256, b, &n);
        r.utf8.assign(b, n);
        KXLUTF8ToUnicode(b, 512, u16, &n, nullptr);
        r.fromUtf8 = S16(u16, n / 2 - 1);
        r.chars = KXLmbslen(bytes.c_str()) + static_cast<uint32_t>(KXLstricmp(bytes.c_str(), "Gr")) +
                  static_cast<uint32_t>(KXstrncoll(bytes.c_str(), "Gr\xC3\xBC", 4));
        char copy[8];
        KXLstrbcpy(copy, bytes.c_str(), sizeof copy);
        r.chars += KXstrlen(copy);
        return r;
    }
};

bool Same(const Work::Results &a, const Work::Results &b) {
    return a.toUnicode == b.toUnicode && a.standardToUnicode == b.standardToUnicode && a.lower == b.lower &&
           a.upper == b.upper && a.fromUtf8 == b.fromUtf8 && a.toBytes == b.toBytes && a.pathBytes == b.pathBytes &&
           a.standardToBytes == b.standardToBytes && a.utf8 == b.utf8 && a.needUnits == b.needUnits &&
           a.needBytes == b.needBytes && a.chars == b.chars && a.caseless == b.caseless && a.compared == b.compared;
}

TEST(Threads, FirstUseOfTheCaselessComparisonFromManyThreads) {
    // Before any init: the first _unilower loads the standard set, once.
    ASSERT_EQ(KXZCheckHandle(KXZStandardLowerCase(), 0), CVT_E_BAD_HANDLE);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                wrong += kxusuniicmp(U(u"ABC"), U(u"abc")) != 0;
                wrong += _unilower(u'Q') != u'q';
            }
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(KXZStandardLowerCase()->refCount, 1);
}

TEST(Threads, SharedHandleStandardConvertersAndStringFunctions) {
    for (const char *locale : {"de_DE.UTF-8", "ja_JP.EUC-JP", "ru_RU.CP1251"}) {
        SCOPED_TRACE(locale);
        qtest::LocaleScope scope(locale);
        ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
        Work work;
        ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &work.shared), CVT_OK);
        ASSERT_EQ(KXUXSetNoMapAction(work.shared, NOMAP_FIXER, NOMAP_FIXER), CVT_OK);
        const Work::Results expected = work.Run();
        ASSERT_FALSE(expected.toUnicode.empty());
        ASSERT_FALSE(expected.toBytes.empty());

        std::atomic<int> mismatches{0};
        std::atomic<int> runs{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < kIterations; ++i) {
                    mismatches += !Same(work.Run(), expected);
                    ++runs;
                }
            });
        }
        for (auto &t : threads) t.join();
        EXPECT_EQ(mismatches.load(), 0);
        EXPECT_EQ(runs.load(), kThreads * kIterations);
        EXPECT_EQ(KXUXUnloadConverter(work.shared), CVT_OK);
        KXUSStandardUnicodeRelease();
    }
    std::printf("threads: %d, iterations per thread and locale: %d\n", kThreads, kIterations);
}

}  // namespace
