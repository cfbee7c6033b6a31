#include "driver_test.h"

namespace {

using dtest::Loaded;
using dtest::UniToBytes;
using qtest::kC;

// Every case runs through the unterminated and terminated forms and the length-only mode.
TEST(UnicodeToByte, Cases) {
    const int Stop = NOMAP_STOP, Sub = NOMAP_SUBSTITUTE, Fix = NOMAP_FIXER, S = SCAN_ESCAPES, N = SCAN_NONE;
    const int OK = CVT_OK, FULL = CVT_E_BUFFER_FULL, NOMAP = CVT_E_NO_MAP;
    const bool T = false, P = true;
    const char *latin1 = qtest::kLatin1, *utf8 = qtest::kUtf8;
    const struct {
        bool path;
        const char *locale;
        std::u16string text;
        uint32_t size;  // of the unterminated form; the terminated one gets one more
        int32_t noMap, scan, result;
        std::string bytes;
    } cases[] = {
        {T, kC, u"", 8, Fix, N, OK, ""},                     {T, kC, u"", 0, Fix, N, OK, ""},
        {T, kC, u"a", 0, Fix, N, FULL, ""},                  {T, kC, u"abc", 3, Fix, N, OK, "abc"},
        {T, kC, u"abcd", 3, Fix, N, FULL, "abc"},            {T, kC, u"x\u00E9y", 16, Fix, N, OK, "x[00E9]y"},
        {T, latin1, u"\u4E2D\u00E9", 16, Fix, N, OK, "[4E2D]\xE9"}, {T, kC, u"x\u00E9y", 16, Sub, N, OK, "x\x03y"},
        {T, kC, u"x\u00E9y", 16, Stop, N, NOMAP, "x"},       {T, kC, u"\u00E9", 5, Fix, N, FULL, ""},
        {T, kC, u"a\u00E9", 7, Fix, N, OK, "a[00E9]"},       {T, kC, u"ab\u00E9c", 3, Sub, N, FULL, "ab\x03"},
        {T, utf8, u"a\u00E9", 2, Fix, N, FULL, "a"},         {T, utf8, u"a\u00E9", 3, Fix, N, OK, "a\xC3\xA9"},
        {T, qtest::kEucJp, u"\u3042x", 3, Fix, N, OK, "\xA4\xA2x"},
        {T, qtest::kCp1251, u"\u0416\u00E9", 16, Fix, N, OK, "\xC6[00E9]"},
        {T, kC, u"[41]", 8, Fix, N, OK, "[41]"},             {T, kC, u"a[7F]b[41]", 8, Fix, S, OK, "a\x7F" "bA"},
        {T, kC, u"[4g][4f][41", 16, Fix, S, OK, "[4g][4f][41"}, {T, kC, u"ab[41]", 2, Fix, S, FULL, "ab"},
        {T, kC, u"ab[41]", 3, Fix, S, OK, "abA"},            {T, utf8, u"[FF]", 8, Fix, S, OK, "\xFF"},
        {T, kC, u"[41]", 8, Fix, -2, OK, "[41]"},  // acts as SCAN_NONE
        {T, kC, u"a\\b\u00A5", 16, Fix, N, OK, "a\\b[00A5]"},
        // Paths: each separator is one 0x5C, never passed to the engine.
        {P, kC, u"\\ab\u00A5", 8, Fix, N, OK, "\\ab\\"},     {P, kC, u"a\\\u20A9\uF8F7b", 8, Fix, N, OK, "a\\\\\\b"},
        {P, kC, u"a/b", 8, Fix, N, OK, "a/b"},               {P, kC, u"ab\\c", 3, Fix, N, FULL, "ab\\"},
        {P, kC, u"ab\\c", 2, Fix, N, FULL, "ab"},            {P, kC, u"ab\\", 3, Fix, N, OK, "ab\\"},
        {P, kC, u"\\", 0, Fix, N, FULL, ""},                 {P, kC, u"[41]\\x\\[42]", 8, Fix, S, OK, "A\\x\\B"},
        {P, kC, u"[41]\\x", 8, Fix, N, OK, "[41]\\x"},       {P, kC, u"\\\u00E9\\", 16, Fix, N, OK, "\\[00E9]\\"},
        {P, kC, u"\\\u00E9\\", 16, Sub, N, OK, "\\\x03\\"},  {P, kC, u"\\\u00E9\\", 16, Stop, N, NOMAP, "\\"},
        {P, latin1, u"\u00A5\u00E9", 8, Fix, N, OK, "\\\xE9"}, {P, utf8, u"\u20A9\u4E2D", 8, Fix, N, OK, "\\\xE4\xB8\xAD"},
        {P, utf8, u"\u4E2D\\", 2, Fix, N, FULL, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        qtest::LocaleScope locale(c.locale);
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, c.noMap), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, c.scan), CVT_OK);
        const auto unterm = UniToBytes(c.path ? KXUXUnicodeToUntermBytePath : KXUXUnicodeToUntermByte, h, c.text, c.size);
        EXPECT_TRUE(unterm.result == c.result && unterm.text == c.bytes && unterm.intact) << unterm.result;
        const auto term = UniToBytes(c.path ? KXUXUnicodeToBytePath : KXUXUnicodeToByte, h, c.text, c.size + 1);
        EXPECT_TRUE(term.result == c.result && term.text == c.bytes && term.terminated && term.intact);
        uint32_t needed = qtest::kUnset;
        const int32_t measured = (c.path ? KXZBytePathLength : KXZByteLength)(h, qtest::U(c.text), &needed);
        const bool full = c.result == CVT_E_BUFFER_FULL;
        EXPECT_TRUE(full ? needed > c.bytes.size() : measured == c.result && needed == c.bytes.size());
    }
}

TEST(UnicodeToByte, SeparatorsInEveryLocale) {
    for (const std::string &name : qtest::AllLocales()) {
        qtest::LocaleScope locale(name);
        Loaded h;
        for (char16_t sep : {u'\\', u'\u00A5', u'\u20A9', u'\uF8F7'}) {
            EXPECT_EQ(UniToBytes(KXUXUnicodeToBytePath, h, std::u16string(u"a") + sep + u"b", 8).text, "a\\b")
                << name << " " << static_cast<int>(sep);
        }
    }
}

int32_t FailingParser(ConverterHandle, char *, uint32_t, uint32_t *, const uint16_t *, uint32_t *) {
    return CVT_E_NOT_AVAILABLE;
}
int32_t BoastingFixer(ConverterHandle, char *, uint32_t space, uint32_t *produced, const uint16_t *, uint32_t) {
    *produced = space + 1000;
    return CVT_OK;
}

TEST(UnicodeToByte, ReplacementCallbacks) {
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, BoastingFixer, nullptr, FailingParser), CVT_OK);
    const auto o = UniToBytes(KXUXUnicodeToByte, h, u"xy[41]z", 10);
    EXPECT_TRUE(o.result == CVT_E_NOT_AVAILABLE && o.text == "xy");
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
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, CountingScanner, nullptr), CVT_OK);
    const dtest::UniToByteFn plain = KXUXUnicodeToUntermByte, path = KXUXUnicodeToUntermBytePath;
    const struct { dtest::UniToByteFn fn; std::u16string text; int scans; } calls[] = {
        {plain, u"", 1}, {plain, u"\u00E9a\u00E9b\u00E9", 1}, {plain, u"a[41]\u00E9b\u00E9[4", 2},
        {plain, u"[41][42]\u00E9", 3},
        // Passes start at: a, b (stops at the e-acute), the second separator, [41], c.
        {path, u"a\\b\u00E9\\[41]c", 5}, {path, u"a\\b\\c", 3},
    };
    for (const auto &c : calls) {
        for (bool measure : {false, true}) {
            scannerCalls = 0;
            char out[64];
            uint32_t count = 0;
            EXPECT_EQ(c.fn(h, measure ? nullptr : out, sizeof out, qtest::U(c.text), &count), CVT_OK);
            EXPECT_EQ(scannerCalls, c.scans) << (&c - calls);
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
int32_t HashParser(ConverterHandle, char *out, uint32_t, uint32_t *produced, const uint16_t *, uint32_t *consumed) {
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
