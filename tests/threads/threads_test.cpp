// Many threads convert through one shared handle and the standard
// converters and call the uni, UTF-8 and multibyte functions, each checking
// its results against those of one thread alone. Under the tsan preset
// ThreadSanitizer watches the lot.
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/unistr.h>
#include <quemba/utf8.h>

#include <atomic>
#include <thread>
#include <vector>

#include "qtest.h"

namespace {

using qtest::S16;
using qtest::U;

// Every result of one round, in one string.
std::u16string Round(ConverterHandle shared) {
    static const std::string bytes = "Gr\xC3\xBC\xC3\x9F" "e [4E2D] \xE4\xB8\xAD \xA4\xA2\xFF end";
    static const std::u16string units = u"Stra\u00dfe \u4e2d \U0001F600 [41] \\path\u00a5x \xD800";
    std::u16string all;
    uint16_t u16[256];
    char b[256];
    uint32_t n = 0;
    auto units16 = [&](int32_t r) { all += S16(u16, n) + char16_t(r) + char16_t(n) + u'|'; };
    auto bytes8 = [&](int32_t r) { all += qtest::Widen(std::string(b, n)) + char16_t(r) + char16_t(n) + u'|'; };
    // Long enough, and free of escapes, to fill the memos of libc's answers.
    static const std::string plain = [] { std::string s; for (int i = 0; i < 12; ++i) s += "\xC3\x9F\xA4\xA2\xE4\xB8\xAD\xC6\xFF x "; return s; }();
    static const std::u16string wide = [] { std::u16string s; for (int i = 0; i < 12; ++i) s += u"\u00df\u4e2d\u0416\u00e4x "; return s; }();
    units16(KXUXByteToUnicode(shared, u16, 256, plain.c_str(), &n));
    bytes8(KXUXUnicodeToByte(shared, b, 256, U(wide), &n));
    units16(KXUXByteToUnicode(shared, u16, 256, bytes.c_str(), &n));
    units16(KXUXLenByteToUnicode(shared, nullptr, 0, bytes.c_str(), -1, &n));
    bytes8(KXUXUnicodeToByte(shared, b, 256, U(units), &n));
    bytes8(KXUXUnicodeToBytePath(shared, b, 256, U(units), &n));
    units16(KXUSByteToUnicode(u16, 256, bytes.c_str(), &n));
    bytes8(KXUSUnicodeToByte(b, 256, U(units), &n));
    units16(KXUSUnicodeToLowerCase(u16, 256, U(units), &n));
    const std::u16string lower = S16(u16, n);
    units16(KXUSUnicodeToUpperCase(u16, 256, U(units), &n));
    all += char16_t(kxusuniicmp(U(lower), u16) + 2) + char16_t(kxusuninicmp(U(units), u16, 5) + 2);
    all += char16_t(unicmp(U(units), U(lower)) + 2) + char16_t(unispn(U(units), U(u"Sart")));
    bytes8(KXLUnicodeToUTF8(U(units), 256, b, &n));
    all += char16_t(KXLmbslen(bytes.c_str())) + char16_t(KXstrncoll(bytes.c_str(), "Gr\xC3\xBC", 4) + 2);
    return all;
}

// Each thread runs `round` 300 times and counts the results unlike `expected`.
template <typename Round>
int WrongAcrossThreads(const Round &round, const std::u16string &expected) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back([&] { for (int i = 0; i < 300; ++i) wrong += round() != expected; });
    for (auto &t : threads) t.join();
    return wrong.load();
}

TEST(Threads, FirstUseOfTheCaselessComparison) {
    // The first _unilower loads the standard set, once.
    ASSERT_EQ(KXZCheckHandle(KXZStandardLowerCase(), 0), CVT_E_BAD_HANDLE);
    EXPECT_EQ(WrongAcrossThreads([] { return std::u16string(1, char16_t(kxusuniicmp(U(u"ABC"), U(u"abc")) + _unilower(u'Q'))); }, u"q"), 0);
    EXPECT_EQ(KXZStandardLowerCase()->refCount, 1);
}

// Each thread switches its own locale between rounds: what one thread
// learned of libc's answers under one codeset holds nowhere else.
TEST(Threads, SharedHandleStandardConvertersAndStrings) {
    const char *const names[] = {"de_DE.UTF-8", qtest::kEucJp, qtest::kCp1251, qtest::kLatin1};
    locale_t locales[4];
    std::u16string expected[4];
    ConverterHandle shared = nullptr;
    ASSERT_TRUE(KXUSStandardUnicodeInit() == CVT_OK && KXUXLoadByteUnicodeConverter(0, &shared) == CVT_OK &&
                KXUXSetNoMapAction(shared, NOMAP_FIXER, NOMAP_FIXER) == CVT_OK);
    for (int i = 0; i < 4; ++i) {
        qtest::LocaleScope scope(names[i]);
        ASSERT_NE(locales[i] = duplocale(LC_GLOBAL_LOCALE), nullptr);  // newlocale under LOCPATH leaks in glibc
        expected[i] = Round(shared);
    }
    std::atomic<unsigned> next{0};
    EXPECT_EQ(WrongAcrossThreads([&] {
        thread_local unsigned k = next++;
        uselocale(locales[k = (k + 1) % 4]);
        const bool right = Round(shared) == expected[k];
        uselocale(LC_GLOBAL_LOCALE);
        return std::u16string(right ? u"" : u"wrong");
    }, u""), 0);
    for (locale_t l : locales) freelocale(l);
    KXUXUnloadConverter(shared);
    KXUSStandardUnicodeRelease();
}

}  // namespace
