#include "driver_test.h"

namespace {

using dtest::Loaded;
using dtest::UniToBytes;
using qtest::LocaleScope;

const int kSub = NOMAP_SUBSTITUTE, kFix = NOMAP_FIXER, kStop = NOMAP_STOP;
const int kScan = SCAN_ESCAPES, kNoScan = SCAN_NONE;

struct UniCase {
    const char *name;
    const char *locale;
    std::u16string text;
    uint32_t size;  // given to the unterminated form; the terminated one gets one more
    int32_t noMap;  // uni no-map action
    int32_t scan;   // uni scan action
    int32_t result;
    std::string bytes;
};

TEST(UnicodeToByte, Cases) {
    const UniCase cases[] = {
        {"empty", "C", u"", 8, kFix, kNoScan, CVT_OK, ""},
        {"size 0, empty", "C", u"", 0, kFix, kNoScan, CVT_OK, ""},
        {"size 0, text", "C", u"a", 0, kFix, kNoScan, CVT_E_BUFFER_FULL, ""},
        {"exact fit", "C", u"abc", 3, kFix, kNoScan, CVT_OK, "abc"},
        {"one short", "C", u"abcd", 3, kFix, kNoScan, CVT_E_BUFFER_FULL, "abc"},
        {"fixer", "C", u"x\u00E9y", 16, kFix, kNoScan, CVT_OK, "x[00E9]y"},
        {"fixer, CJK", "de_DE.ISO-8859-1", u"\u4E2D", 16, kFix, kNoScan, CVT_OK, "[4E2D]"},
        {"substitute", "C", u"x\u00E9y", 16, kSub, kNoScan, CVT_OK, "x\x03y"},
        {"stop", "C", u"x\u00E9y", 16, kStop, kNoScan, CVT_E_NO_MAP, "x"},
        {"fixer, five bytes left", "C", u"\u00E9", 5, kFix, kNoScan, CVT_E_BUFFER_FULL, ""},
        {"fixer, six bytes left", "C", u"a\u00E9", 7, kFix, kNoScan, CVT_OK, "a[00E9]"},
        {"substitute in the last byte", "C", u"ab\u00E9c", 3, kSub, kNoScan, CVT_E_BUFFER_FULL,
         "ab\x03"},
        {"two-byte character, one byte left", "en_US.UTF-8", u"a\u00E9", 2, kFix, kNoScan,
         CVT_E_BUFFER_FULL, "a"},
        {"two-byte character fits", "en_US.UTF-8", u"a\u00E9", 3, kFix, kNoScan, CVT_OK,
         "a\xC3\xA9"},
        {"EUC-JP", "ja_JP.EUC-JP", u"\u3042x", 3, kFix, kNoScan, CVT_OK, "\xA4\xA2x"},
        {"CP1251", "ru_RU.CP1251", u"\u0416\u00E9", 16, kFix, kNoScan, CVT_OK, "\xC6[00E9]"},
        {"not scanned", "C", u"[41]", 8, kFix, kNoScan, CVT_OK, "[41]"},
        {"byte escape", "C", u"[41]", 8, kFix, kScan, CVT_OK, "A"},
        {"byte escape mid-text", "C", u"a[7F]b[41]", 8, kFix, kScan, CVT_OK, "a\x7F" "bA"},
        {"bad digit", "C", u"[4g]", 8, kFix, kScan, CVT_OK, "[4g]"},
        {"lower-case digit", "C", u"[4f]", 8, kFix, kScan, CVT_OK, "[4f]"},
        {"unclosed", "C", u"[41", 8, kFix, kScan, CVT_OK, "[41"},
        {"escape, no room", "C", u"ab[41]", 2, kFix, kScan, CVT_E_BUFFER_FULL, "ab"},
        {"escape fills the buffer", "C", u"ab[41]", 3, kFix, kScan, CVT_OK, "abA"},
        {"escape of a byte the locale lacks", "en_US.UTF-8", u"[FF]", 8, kFix, kScan, CVT_OK,
         "\xFF"},
        {"scan action -2 acts as none", "C", u"[41]", 8, kFix, -2, CVT_OK, "[41]"},
    };
    for (const UniCase &c : cases) {
        SCOPED_TRACE(c.name);
        LocaleScope locale(c.locale);
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, c.noMap), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, c.scan), CVT_OK);

        const auto unterm = UniToBytes(KXUXUnicodeToUntermByte, h, c.text, c.size);
        EXPECT_EQ(unterm.result, c.result);
        EXPECT_EQ(unterm.text, c.bytes);
        EXPECT_TRUE(unterm.intact);

        const auto term = UniToBytes(KXUXUnicodeToByte, h, c.text, c.size + 1);
        EXPECT_EQ(term.result, c.result);
        EXPECT_EQ(term.text, c.bytes);
        EXPECT_TRUE(term.terminated);
        EXPECT_TRUE(term.intact);

        uint32_t needed = 0xDEAD;
        const int32_t measured = KXZByteLength(h, qtest::U(c.text), &needed);
        if (c.result != CVT_E_BUFFER_FULL) {
            EXPECT_EQ(measured, c.result);
            EXPECT_EQ(needed, c.bytes.size());
        } else {
            EXPECT_GT(needed, c.bytes.size());
        }
    }
}

TEST(UnicodeToByte, RefusedCalls) {
    Loaded bytes;
    Loaded upper(CASE_UPPER);
    Converter unloaded{};
    struct Refusal {
        const char *name;
        ConverterHandle h;
        bool output;
        uint32_t size;
        const uint16_t *source;
        bool count;
        int32_t untermResult;
        int32_t termResult;
    };
    const uint16_t *ab = qtest::U(u"ab");
    const Refusal refusals[] = {
        {"null handle", nullptr, true, 4, ab, true, CVT_E_NULL_HANDLE, CVT_E_NULL_HANDLE},
        {"not loaded", &unloaded, true, 4, ab, true, CVT_E_BAD_HANDLE, CVT_E_BAD_HANDLE},
        {"case converter", upper, true, 4, ab, true, CVT_E_WRONG_KIND, CVT_E_WRONG_KIND},
        {"case converter, length-only", upper, false, 4, ab, true, CVT_E_WRONG_KIND,
         CVT_E_WRONG_KIND},
        {"null source", bytes, true, 4, nullptr, true, CVT_E_BAD_PARAMETER, CVT_E_BAD_PARAMETER},
        // The terminated form measures into its own count.
        {"no output, no count", bytes, false, 0, ab, false, CVT_E_BAD_PARAMETER, CVT_OK},
        {"size 0", bytes, true, 0, ab, true, CVT_E_BUFFER_FULL, CVT_E_BUFFER_FULL},
        {"size 0, bad handle", &unloaded, true, 0, ab, true, CVT_E_BAD_HANDLE,
         CVT_E_BAD_HANDLE},
    };
    using Fn = dtest::UniToByteFn;
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.name);
        for (Fn fn : {Fn{KXUXUnicodeToUntermByte}, Fn{KXUXUnicodeToUntermBytePath},
                      Fn{KXUXUnicodeToByte}, Fn{KXUXUnicodeToBytePath}}) {
            const bool terminated = fn == Fn{KXUXUnicodeToByte} || fn == Fn{KXUXUnicodeToBytePath};
            qtest::Guarded<char> out(r.size);
            uint32_t count = 77;
            EXPECT_EQ(fn(r.h, r.output ? out.data() : nullptr, r.size, r.source,
                         r.count ? &count : nullptr),
                      terminated ? r.termResult : r.untermResult);
            if (r.count) {
                EXPECT_EQ(count, 0u);
            }
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

TEST(UnicodeToByte, LengthOnlyBeyondScratch) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    std::u16string s;
    for (int i = 0; i < 200; ++i) s += u"\u4E2D\xD800";  // 3 bytes, then a 6-byte escape
    for (auto fn : {KXUXUnicodeToByte, KXUXUnicodeToUntermByte}) {
        uint32_t count = 0;
        EXPECT_EQ(fn(h, nullptr, 0, qtest::U(s), &count), CVT_OK);
        EXPECT_EQ(count, 200u * 9u);
    }
    uint32_t count = 0;
    EXPECT_EQ(KXUXUnicodeToByte(h, nullptr, 0, qtest::U(s), nullptr), CVT_OK);
    const auto o = UniToBytes(KXUXUnicodeToByte, h, s, 200 * 9 + 1);
    EXPECT_EQ(o.result, CVT_OK);
    EXPECT_EQ(o.text.size(), 1800u);
    EXPECT_EQ(KXZByteLength(h, qtest::U(s), &count), CVT_OK);
    EXPECT_EQ(count, 1800u);
}

int32_t FailingUniParser(ConverterHandle, char *, uint32_t, uint32_t *, const uint16_t *,
                         uint32_t *) {
    return CVT_E_NOT_AVAILABLE;
}
int32_t BoastingUniFixer(ConverterHandle, char *, uint32_t space, uint32_t *produced,
                         const uint16_t *, uint32_t) {
    *produced = space + 1000;
    return CVT_OK;
}
int scannerCalls = 0;
const uint16_t *CountingUniScanner(ConverterHandle h, const uint16_t *src, int32_t length) {
    ++scannerCalls;
    EXPECT_EQ(length, -1);
    return KXZUniScanner(h, src, length);
}

TEST(UnicodeToByte, ReplacementCallbacks) {
    LocaleScope c("C");
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, nullptr, FailingUniParser), CVT_OK);
    auto o = UniToBytes(KXUXUnicodeToByte, h, u"xy[41]z", 10);
    EXPECT_EQ(o.result, CVT_E_NOT_AVAILABLE);
    EXPECT_EQ(o.text, "xy");
    EXPECT_TRUE(o.terminated);

    ASSERT_EQ(KXUXSetUniFunctions(h, BoastingUniFixer, nullptr, nullptr), CVT_OK);
    for (uint32_t size : {1u, 2u, 5u}) {
        o = UniToBytes(KXUXUnicodeToByte, h, u"x\u00E9y", size);
        EXPECT_LE(o.count, size - 1);
        EXPECT_TRUE(o.terminated);
        EXPECT_TRUE(o.intact);
        o = UniToBytes(KXUXUnicodeToUntermByte, h, u"x\u00E9y", size);
        EXPECT_LE(o.count, size);
        EXPECT_TRUE(o.intact);
    }
}

TEST(UnicodeToByte, ScannerAskedUntilItFindsNothing) {
    LocaleScope c("C");
    Loaded h;
    ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, CountingUniScanner, nullptr), CVT_OK);
    struct Calls {
        std::u16string text;
        int scans;
    };
    const Calls calls[] = {
        {u"", 1},
        {u"\u00E9a\u00E9b\u00E9", 1},
        {u"a[41]\u00E9b\u00E9[4", 2},
        {u"[41][42]\u00E9", 3},
    };
    for (const Calls &c : calls) {
        for (bool measure : {false, true}) {
            scannerCalls = 0;
            char out[64];
            uint32_t count = 0;
            EXPECT_EQ(KXUXUnicodeToUntermByte(h, measure ? nullptr : out, sizeof out,
                                              qtest::U(c.text), &count),
                      CVT_OK);
            EXPECT_EQ(scannerCalls, c.scans) << (measure ? "length-only" : "conversion");
        }
    }
}

}  // namespace
