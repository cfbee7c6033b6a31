#include "driver_test.h"

namespace {

using dtest::Loaded;
using dtest::UniToBytes;
using qtest::LocaleScope;

const char16_t kSeparators[] = {u'\\', u'\u00A5', u'\u20A9', u'\uF8F7'};

TEST(UnicodeToBytePath, EverySeparatorIsABackslashInEveryLocale) {
    for (const std::string &name : qtest::AllLocales()) {
        SCOPED_TRACE(name);
        LocaleScope locale(name);
        Loaded h;
        for (char16_t sep : kSeparators) {
            const std::u16string path = std::u16string(u"a") + sep + u"b";
            const auto o = UniToBytes(KXUXUnicodeToBytePath, h, path, 8);
            EXPECT_EQ(o.result, CVT_OK);
            EXPECT_EQ(o.text, "a\\b");
            EXPECT_TRUE(o.terminated);
        }
        const auto slash = UniToBytes(KXUXUnicodeToBytePath, h, u"a/b", 8);
        EXPECT_EQ(slash.text, "a/b");
    }
}

struct PathCase {
    const char *name;
    const char *locale;
    std::u16string path;
    uint32_t size;  // unterminated form; the terminated one gets one more
    int32_t noMap;
    int32_t scan;
    int32_t result;
    std::string bytes;
};

TEST(UnicodeToBytePath, Cases) {
    const int kFix = NOMAP_FIXER, kSub = NOMAP_SUBSTITUTE, kStop = NOMAP_STOP;
    const int kScan = SCAN_ESCAPES, kNoScan = SCAN_NONE;
    const PathCase cases[] = {
        {"leading separator", "C", u"\\ab", 8, kFix, kNoScan, CVT_OK, "\\ab"},
        {"trailing separator", "C", u"ab\u00A5", 8, kFix, kNoScan, CVT_OK, "ab\\"},
        {"adjacent separators", "C", u"a\\\u20A9b", 8, kFix, kNoScan, CVT_OK, "a\\\\b"},
        {"only separators", "C", u"\\\\\\", 8, kFix, kNoScan, CVT_OK, "\\\\\\"},
        {"separator fits", "C", u"ab\\c", 3, kFix, kNoScan, CVT_E_BUFFER_FULL, "ab\\"},
        {"separator without room", "C", u"ab\\c", 2, kFix, kNoScan, CVT_E_BUFFER_FULL, "ab"},
        {"separator at exact end", "C", u"ab\\", 3, kFix, kNoScan, CVT_OK, "ab\\"},
        {"size 0, empty", "C", u"", 0, kFix, kNoScan, CVT_OK, ""},
        {"size 0, separator", "C", u"\\", 0, kFix, kNoScan, CVT_E_BUFFER_FULL, ""},
        {"escape then separator", "C", u"[41]\\x", 8, kFix, kScan, CVT_OK, "A\\x"},
        {"separator then escape", "C", u"x\\[41]", 8, kFix, kScan, CVT_OK, "x\\A"},
        {"escape text unscanned", "C", u"[41]\\x", 8, kFix, kNoScan, CVT_OK, "[41]\\x"},
        {"fixer between separators", "C", u"\\\u00E9\\", 16, kFix, kNoScan, CVT_OK,
         "\\[00E9]\\"},
        {"substitute between separators", "C", u"\\\u00E9\\", 16, kSub, kNoScan, CVT_OK,
         "\\\x03\\"},
        {"stop between separators", "C", u"\\\u00E9\\", 16, kStop, kNoScan, CVT_E_NO_MAP, "\\"},
        // The yen and won signs are separators even where the locale encodes them.
        {"yen in Latin-1", "de_DE.ISO-8859-1", u"\u00A5\u00E9", 8, kFix, kNoScan, CVT_OK,
         "\\\xE9"},
        {"won in UTF-8", "en_US.UTF-8", u"\u20A9\u4E2D", 8, kFix, kNoScan, CVT_OK,
         "\\\xE4\xB8\xAD"},
        {"multibyte before separator, no room", "en_US.UTF-8", u"\u4E2D\\", 2, kFix, kNoScan,
         CVT_E_BUFFER_FULL, ""},
    };
    for (const PathCase &c : cases) {
        SCOPED_TRACE(c.name);
        LocaleScope locale(c.locale);
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, c.noMap), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, c.scan), CVT_OK);

        const auto unterm = UniToBytes(KXUXUnicodeToUntermBytePath, h, c.path, c.size);
        EXPECT_EQ(unterm.result, c.result);
        EXPECT_EQ(unterm.text, c.bytes);
        EXPECT_TRUE(unterm.intact);

        const auto term = UniToBytes(KXUXUnicodeToBytePath, h, c.path, c.size + 1);
        EXPECT_EQ(term.result, c.result);
        EXPECT_EQ(term.text, c.bytes);
        EXPECT_TRUE(term.terminated);
        EXPECT_TRUE(term.intact);

        uint32_t needed = 0xDEAD;
        const int32_t measured = KXZBytePathLength(h, qtest::U(c.path), &needed);
        if (c.result != CVT_E_BUFFER_FULL) {
            EXPECT_EQ(measured, c.result);
            EXPECT_EQ(needed, c.bytes.size());
        } else {
            EXPECT_GT(needed, c.bytes.size());
        }
    }
}

TEST(UnicodeToBytePath, LongPathsCountOneBytePerSeparator) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    // 255 bytes of text, then separators across the 256-byte scratch boundary.
    for (size_t lead = 250; lead < 262; ++lead) {
        std::u16string path(lead, u'x');
        path += u"\\\u00A5\u4E2D\\";
        for (int i = 0; i < 100; ++i) path += u"\u20A9y";
        const uint32_t expected = static_cast<uint32_t>(lead) + 2 + 3 + 1 + 200;
        uint32_t count = 0;
        EXPECT_EQ(KXZBytePathLength(h, qtest::U(path), &count), CVT_OK);
        EXPECT_EQ(count, expected);
        EXPECT_EQ(KXUXUnicodeToUntermBytePath(h, nullptr, 0, qtest::U(path), &count), CVT_OK);
        EXPECT_EQ(count, expected);
        const auto o = UniToBytes(KXUXUnicodeToBytePath, h, path, expected + 1);
        EXPECT_EQ(o.result, CVT_OK);
        EXPECT_EQ(o.count, expected);
        EXPECT_EQ(o.text.substr(lead, 6), "\\\\\xE4\xB8\xAD\\");
    }
}

int scannerCalls = 0;
const uint16_t *CountingUniScanner(ConverterHandle h, const uint16_t *src, int32_t length) {
    ++scannerCalls;
    return KXZUniScanner(h, src, length);
}

TEST(UnicodeToBytePath, ScannerAskedOnEveryPass) {
    LocaleScope c("C");
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, CountingUniScanner, nullptr), CVT_OK);
    for (bool measure : {false, true}) {
        scannerCalls = 0;
        char out[64];
        uint32_t count = 0;
        // Passes start at: a, b (stops at the e-acute), the second separator, [41], c.
        EXPECT_EQ(KXUXUnicodeToUntermBytePath(h, measure ? nullptr : out, sizeof out,
                                              qtest::U(u"a\\b\u00E9\\[41]c"), &count),
                  CVT_OK);
        EXPECT_EQ(count, 12u);
        EXPECT_EQ(scannerCalls, 5);
    }
}

}  // namespace
