#include "driver_test.h"

namespace {

using dtest::Loaded;
using dtest::UniToBytes;

constexpr int kStop = NOMAP_STOP, kSub = NOMAP_SUBSTITUTE, kFix = NOMAP_FIXER;

struct UniCase {
    bool path;
    const char *locale;
    std::u16string text;
    uint32_t size;  // of the unterminated form; the terminated one gets one more
    int32_t noMap;
    int32_t scan;
    int32_t result;
    std::string bytes;
};

// Every case runs through the unterminated and terminated forms and the length-only mode.
TEST(UnicodeToByte, Cases) {
    const int S = SCAN_ESCAPES, N = SCAN_NONE, OK = CVT_OK, FULL = CVT_E_BUFFER_FULL;
    const bool T = false, P = true;
    const UniCase cases[] = {
        {T, "C", u"", 8, kFix, N, OK, ""},
        {T, "C", u"", 0, kFix, N, OK, ""},
        {T, "C", u"a", 0, kFix, N, FULL, ""},
        {T, "C", u"abc", 3, kFix, N, OK, "abc"},
        {T, "C", u"abcd", 3, kFix, N, FULL, "abc"},
        {T, "C", u"x\u00E9y", 16, kFix, N, OK, "x[00E9]y"},
        {T, "de_DE.ISO-8859-1", u"\u4E2D\u00E9", 16, kFix, N, OK, "[4E2D]\xE9"},
        {T, "C", u"x\u00E9y", 16, kSub, N, OK, "x\x03y"},
        {T, "C", u"x\u00E9y", 16, kStop, N, CVT_E_NO_MAP, "x"},
        {T, "C", u"\u00E9", 5, kFix, N, FULL, ""},
        {T, "C", u"a\u00E9", 7, kFix, N, OK, "a[00E9]"},
        {T, "C", u"ab\u00E9c", 3, kSub, N, FULL, "ab\x03"},
        {T, "en_US.UTF-8", u"a\u00E9", 2, kFix, N, FULL, "a"},
        {T, "en_US.UTF-8", u"a\u00E9", 3, kFix, N, OK, "a\xC3\xA9"},
        {T, "ja_JP.EUC-JP", u"\u3042x", 3, kFix, N, OK, "\xA4\xA2x"},
        {T, "ru_RU.CP1251", u"\u0416\u00E9", 16, kFix, N, OK, "\xC6[00E9]"},
        {T, "C", u"[41]", 8, kFix, N, OK, "[41]"},
        {T, "C", u"a[7F]b[41]", 8, kFix, S, OK, "a\x7F" "bA"},
        {T, "C", u"[4g][4f][41", 16, kFix, S, OK, "[4g][4f][41"},
        {T, "C", u"ab[41]", 2, kFix, S, FULL, "ab"},
        {T, "C", u"ab[41]", 3, kFix, S, OK, "abA"},
        {T, "en_US.UTF-8", u"[FF]", 8, kFix, S, OK, "\xFF"},
        {T, "C", u"[41]", 8, kFix, -2, OK, "[41]"},  // acts as SCAN_NONE
        {T, "C", u"a\\b\u00A5", 16, kFix, N, OK, "a\\b[00A5]"},
        // Paths: each separator is one 0x5C, never passed to the engine.
        {P, "C", u"\\ab\u00A5", 8, kFix, N, OK, "\\ab\\"},
        {P, "C", u"a\\\u20A9\uF8F7b", 8, kFix, N, OK, "a\\\\\\b"},
        {P, "C", u"a/b", 8, kFix, N, OK, "a/b"},
        {P, "C", u"ab\\c", 3, kFix, N, FULL, "ab\\"},
        {P, "C", u"ab\\c", 2, kFix, N, FULL, "ab"},
        {P, "C", u"ab\\", 3, kFix, N, OK, "ab\\"},
        {P, "C", u"\\", 0, kFix, N, FULL, ""},
        {P, "C", u"[41]\\x\\[42]", 8, kFix, S, OK, "A\\x\\B"},
        {P, "C", u"[41]\\x", 8, kFix, N, OK, "[41]\\x"},
        {P, "C", u"\\\u00E9\\", 16, kFix, N, OK, "\\[00E9]\\"},
        {P, "C", u"\\\u00E9\\", 16, kSub, N, OK, "\\\x03\\"},
        {P, "C", u"\\\u00E9\\", 16, kStop, N, CVT_E_NO_MAP, "\\"},
        {P, "de_DE.ISO-8859-1", u"\u00A5\u00E9", 8, kFix, N, OK, "\\\xE9"},
        {P, "en_US.UTF-8", u"\u20A9\u4E2D", 8, kFix, N, OK, "\\\xE4\xB8\xAD"},
        {P, "en_US.UTF-8", u"\u4E2D\\", 2, kFix, N, FULL, ""},
    };
    for (const UniCase &c : cases) {
        SCOPED_TRACE(&c - cases);
        qtest::LocaleScope locale(c.locale);
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, c.noMap), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, c.scan), CVT_OK);
        const auto unterm = UniToBytes(c.path ? KXUXUnicodeToUntermBytePath : KXUXUnicodeToUntermByte,
                                       h, c.text, c.size);
        EXPECT_EQ(unterm.result, c.result);
        EXPECT_EQ(unterm.text, c.bytes);
        EXPECT_TRUE(unterm.intact);
        const auto term = UniToBytes(c.path ? KXUXUnicodeToBytePath : KXUXUnicodeToByte, h, c.text,
                                     c.size + 1);
        EXPECT_EQ(term.result, c.result);
        EXPECT_EQ(term.text, c.bytes);
        EXPECT_TRUE(term.terminated && term.intact);

        uint32_t needed = 0xDEAD;
        const int32_t measured = (c.path ? KXZBytePathLength : KXZByteLength)(h, qtest::U(c.text), &needed);
        if (c.result != CVT_E_BUFFER_FULL) {
            EXPECT_EQ(measured, c.result);
            EXPECT_EQ(needed, c.bytes.size());
        } else {
            EXPECT_GT(needed, c.bytes.size());
        }
    }
}

TEST(UnicodeToByte, SeparatorsInEveryLocale) {
    for (const std::string &name : qtest::AllLocales()) {
        qtest::LocaleScope locale(name);
        Loaded h;
        for (char16_t sep : {u'\\', u'\u00A5', u'\u20A9', u'\uF8F7'}) {
            EXPECT_EQ(UniToBytes(KXUXUnicodeToBytePath, h, std::u16string(u"a") + sep + u"b", 8).text,
                      "a\\b") << name << " " << static_cast<int>(sep);
        }
    }
}

TEST(UnicodeToByte, RefusedCalls) {
    Loaded bytes, upper(CASE_UPPER);
    Converter unloaded{};
    const uint16_t *ab = qtest::U(u"ab");
    struct Refusal {
        ConverterHandle h;
        bool output;
        uint32_t size;
        const uint16_t *source;
        bool count;
        int32_t untermResult, termResult;
    };
    const Refusal refusals[] = {
        {nullptr, true, 4, ab, true, CVT_E_NULL_HANDLE, CVT_E_NULL_HANDLE},
        {&unloaded, true, 4, ab, true, CVT_E_BAD_HANDLE, CVT_E_BAD_HANDLE},
        {upper, true, 4, ab, true, CVT_E_WRONG_KIND, CVT_E_WRONG_KIND},
        {upper, false, 4, ab, true, CVT_E_WRONG_KIND, CVT_E_WRONG_KIND},
        {bytes, true, 4, nullptr, true, CVT_E_BAD_PARAMETER, CVT_E_BAD_PARAMETER},
        {bytes, false, 4, ab, false, CVT_E_BAD_PARAMETER, CVT_OK},  // terminated: own count
        {bytes, true, 0, ab, true, CVT_E_BUFFER_FULL, CVT_E_BUFFER_FULL},
        {&unloaded, true, 0, ab, true, CVT_E_BAD_HANDLE, CVT_E_BAD_HANDLE},
    };
    for (const Refusal &r : refusals) {
        for (dtest::UniToByteFn fn : {KXUXUnicodeToUntermByte, KXUXUnicodeToUntermBytePath,
                                      KXUXUnicodeToByte, KXUXUnicodeToBytePath}) {
            SCOPED_TRACE(&r - refusals);
            const bool terminated = fn == KXUXUnicodeToByte || fn == KXUXUnicodeToBytePath;
            qtest::Guarded<char> out(r.size);
            uint32_t count = 77;
            EXPECT_EQ(fn(r.h, r.output ? out.data() : nullptr, r.size, r.source, r.count ? &count : nullptr),
                      terminated ? r.termResult : r.untermResult);
            EXPECT_EQ(count, r.count ? 0u : 77u);
            if (r.size > 0) {
                EXPECT_EQ(out[0], terminated && r.output ? 0 : 0x5A);
                EXPECT_EQ(out[1], 0x5A);
            }
            EXPECT_TRUE(out.intact());
        }
    }
    uint32_t count = 9;
    for (auto fn : {KXZByteLength, KXZBytePathLength}) {
        EXPECT_EQ(fn(bytes, ab, nullptr), CVT_E_BAD_PARAMETER);
        EXPECT_EQ(fn(upper, ab, &count), CVT_E_WRONG_KIND);
        EXPECT_EQ(count, 0u);
    }
}

int32_t FailingParser(ConverterHandle, char *, uint32_t, uint32_t *, const uint16_t *, uint32_t *) {
    return CVT_E_NOT_AVAILABLE;
}
int32_t BoastingFixer(ConverterHandle, char *, uint32_t space, uint32_t *produced, const uint16_t *,
                      uint32_t) {
    *produced = space + 1000;
    return CVT_OK;
}

TEST(UnicodeToByte, ReplacementCallbacks) {
    qtest::LocaleScope c("C");
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, BoastingFixer, nullptr, FailingParser), CVT_OK);
    const auto o = UniToBytes(KXUXUnicodeToByte, h, u"xy[41]z", 10);
    EXPECT_EQ(o.result, CVT_E_NOT_AVAILABLE);
    EXPECT_EQ(o.text, "xy");
    for (uint32_t size : {1u, 2u, 5u}) {
        const auto t = UniToBytes(KXUXUnicodeToByte, h, u"x\u00E9y", size);
        EXPECT_TRUE(t.count < size && t.terminated && t.intact) << size;
        const auto u = UniToBytes(KXUXUnicodeToUntermBytePath, h, u"x\u00E9y", size);
        EXPECT_TRUE(u.count <= size && u.intact) << size;
    }
}

int scannerCalls = 0;
const uint16_t *CountingScanner(ConverterHandle h, const uint16_t *src, int32_t length) {
    ++scannerCalls;
    EXPECT_EQ(length, -1);
    return KXZUniScanner(h, src, length);
}

// Plain text asks the scanner until it finds nothing; paths ask on every pass.
TEST(UnicodeToByte, ScannerCalls) {
    qtest::LocaleScope c("C");
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, CountingScanner, nullptr), CVT_OK);
    struct Calls {
        dtest::UniToByteFn fn;
        std::u16string text;
        int scans;
    };
    const Calls calls[] = {
        {KXUXUnicodeToUntermByte, u"", 1},
        {KXUXUnicodeToUntermByte, u"\u00E9a\u00E9b\u00E9", 1},
        {KXUXUnicodeToUntermByte, u"a[41]\u00E9b\u00E9[4", 2},
        {KXUXUnicodeToUntermByte, u"[41][42]\u00E9", 3},
        // Passes start at: a, b (stops at the e-acute), the second separator, [41], c.
        {KXUXUnicodeToUntermBytePath, u"a\\b\u00E9\\[41]c", 5},
        {KXUXUnicodeToUntermBytePath, u"a\\b\\c", 3},
    };
    for (const Calls &c : calls) {
        for (bool measure : {false, true}) {
            SCOPED_TRACE(&c - calls);
            scannerCalls = 0;
            char out[64];
            uint32_t count = 0;
            EXPECT_EQ(c.fn(h, measure ? nullptr : out, sizeof out, qtest::U(c.text), &count), CVT_OK);
            EXPECT_EQ(scannerCalls, c.scans);
        }
    }
}

// A scanner that reports a separator: the escape wins over the separator.
const uint16_t *WonScanner(ConverterHandle, const uint16_t *src, int32_t) {
    for (; *src != 0; ++src) {
        if (*src == 0x20A9) return src;
    }
    return nullptr;
}
int32_t HashParser(ConverterHandle, char *out, uint32_t, uint32_t *produced, const uint16_t *,
                   uint32_t *consumed) {
    *out = '#';
    *produced = *consumed = 1;
    return CVT_OK;
}

TEST(UnicodeToByte, EscapeAtASeparatorIsParsed) {
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, WonScanner, HashParser), CVT_OK);
    EXPECT_EQ(UniToBytes(KXUXUnicodeToBytePath, h, u"a\\\u20A9b\u20A9", 8).text, "a\\#b#");
}

}  // namespace
