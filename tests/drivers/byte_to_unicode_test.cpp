#include "driver_test.h"

namespace {

using namespace std::string_literals;
using dtest::Loaded;

// In en_US.UTF-8. Each case also checks that the length-only mode agrees.
TEST(ByteToUnicode, Cases) {
    qtest::LocaleScope utf8(qtest::kUtf8);
    const int Stop = NOMAP_STOP, Sub = NOMAP_SUBSTITUTE, Fix = NOMAP_FIXER, S = SCAN_ESCAPES, N = SCAN_NONE;
    const int OK = CVT_OK, FULL = CVT_E_BUFFER_FULL, EARLY = CVT_E_EARLY_TERMINATOR, NOMAP = CVT_E_NO_MAP;
    const struct {
        std::string bytes;
        int32_t length;
        uint32_t size;
        int32_t noMap, scan, result;
        std::u16string text;
    } cases[] = {
        {"", -1, 10, Sub, S, OK, u""},                 {"abc", 0, 10, Sub, S, OK, u""},
        {"", -1, 1, Sub, S, OK, u""},                  {"abc", -1, 1, Sub, S, FULL, u""},
        {"abc", 2, 1, Sub, S, FULL, u""},              {"abcdef", 3, 10, Sub, S, OK, u"abc"},
        // A counted NUL is early, whatever the room.
        {"\0ab"s, 3, 1, Sub, S, EARLY, u""},          {"ab\0cd"s, 5, 10, Sub, S, EARLY, u"ab"},
        {"ab\0cd"s, -1, 10, Sub, S, OK, u"ab"},        {"ab[0041]\0x"s, 10, 4, Sub, S, EARLY, u"abA"},
        {"A[00E9]B", -1, 10, Sub, S, OK, u"A\u00E9B"}, {"A[00e9]B", -1, 10, Sub, S, OK, u"A[00e9]B"},
        {"A[00E9B", -1, 10, Sub, S, OK, u"A[00E9B"},   {"[00E9]", -1, 10, Sub, N, OK, u"[00E9]"},
        {"[0041][4E2D]", -1, 10, Sub, S, OK, u"A\u4E2D"}, {"x[0041]", 6, 10, Sub, S, OK, u"x[0041"},
        {"x[0041]yz", 7, 10, Sub, S, OK, u"xA"},       {"a\xFF" "b", -1, 10, Sub, S, OK, u"a\uFFFDb"},
        {"a\xFF" "b", -1, 10, Fix, S, OK, u"a[FF]b"},  {"a\xFF" "b", -1, 10, Stop, S, NOMAP, u"a"},
        {"a\xFF" "b", -1, 5, Fix, S, FULL, u"a"},      {"a\xFF", -1, 6, Fix, S, OK, u"a[FF]"},
        {"ab\xFF" "c", -1, 4, Sub, S, FULL, u"ab\uFFFD"},
        // An incomplete character at the end of the input or of a piece.
        {"a\xC3", -1, 10, Sub, S, OK, u"a\uFFFD"},     {"a\xC3", 2, 10, Sub, S, OK, u"a\uFFFD"},
        {"a\xE4\xB8", 3, 10, Fix, S, OK, u"a[E4][B8]"}, {"a\xC3", 2, 10, Stop, S, NOMAP, u"a"},
        {"a\xC3\xA9", 3, 10, Stop, S, OK, u"a\u00E9"}, {"a\xC3[0041]b", -1, 10, Sub, S, OK, u"a\uFFFDAb"},
        {"a\xE4\xB8[0041]", -1, 20, Fix, S, OK, u"a[E4][B8]A"},
        {"a\xC3[0041]b", -1, 10, Stop, S, NOMAP, u"a"},
        // Running out of room.
        {"abcdef", -1, 4, Sub, S, FULL, u"abc"},       {"abc", -1, 4, Sub, S, OK, u"abc"},
        {"ab[0041]", -1, 3, Sub, S, FULL, u"ab"},      {"ab[0041]", -1, 4, Sub, S, OK, u"abA"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (&c - cases) << ": length " << c.length << " size " << c.size);
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, c.noMap, KEEP_SETTING), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, c.scan, KEEP_SETTING), CVT_OK);
        const auto o = dtest::BytesToUni(h, c.bytes, c.length, c.size);
        EXPECT_TRUE(o.result == c.result && o.text == c.text && o.terminated && o.intact) << o.result;
        uint32_t needed = qtest::kUnset;
        const int32_t measured = KXZLSUnicodeLength(h, c.bytes.c_str(), c.length, &needed);
        const bool full = c.result == CVT_E_BUFFER_FULL;
        EXPECT_TRUE(full ? needed > c.text.size() : measured == c.result && needed == c.text.size());
    }
}

// Replacement callbacks: their errors end the conversion, and output they
// claim beyond their space does not carry the driver past the buffer.
int32_t FailingParser(ConverterHandle, uint16_t *, uint32_t, uint32_t *, const char *, uint32_t *) {
    return CVT_E_NOT_AVAILABLE;
}
int32_t OneUnitThenFail(ConverterHandle, uint16_t *out, uint32_t, uint32_t *produced, const char *, uint32_t) {
    *out = u'?';
    *produced = 1;
    return CVT_E_UNSUPPORTED_OP;
}
int32_t BoastingFixer(ConverterHandle, uint16_t *, uint32_t space, uint32_t *produced, const char *, uint32_t) {
    *produced = space + 1000;
    return CVT_OK;
}

TEST(ByteToUnicode, ReplacementCallbacks) {
    qtest::LocaleScope utf8(qtest::kUtf8);
    Loaded h;
    ASSERT_EQ(KXUXSetNoMapAction(h, NOMAP_FIXER, KEEP_SETTING), CVT_OK);
    ASSERT_EQ(KXUXSetByteFunctions(h, OneUnitThenFail, nullptr, FailingParser), CVT_OK);
    auto o = dtest::BytesToUni(h, "xy[0041]z", -1, 10);
    EXPECT_TRUE(o.result == CVT_E_NOT_AVAILABLE && o.text == u"xy");
    o = dtest::BytesToUni(h, "x\xFFy", -1, 10);
    EXPECT_TRUE(o.result == CVT_E_UNSUPPORTED_OP && o.text == u"x?" && o.terminated);

    ASSERT_EQ(KXUXSetByteFunctions(h, BoastingFixer, nullptr, nullptr), CVT_OK);
    for (uint32_t size : {1u, 2u, 3u, 8u}) {
        o = dtest::BytesToUni(h, "x\xFFy", -1, size);
        EXPECT_TRUE(o.count < size && o.terminated && o.intact) << size;
    }
}

// Counts the calls of a step and a scanner installed in a copy of a loaded record.
int stepCalls = 0, scannerCalls = 0;
int32_t lastScanLength = 0;
int32_t CountingStep(uintptr_t word, const void *src, void *dst, int32_t n, uint32_t space, uint32_t *consumed,
                     uint32_t *produced, uint32_t *noMap) {
    ++stepCalls;
    return KXUToUnicode(word, src, dst, n, space, consumed, produced, noMap);
}
const char *CountingScanner(ConverterHandle h, const char *src, int32_t length) {
    ++scannerCalls;
    lastScanLength = length;
    return KXZByteScanner(h, src, length);
}

TEST(ByteToUnicode, ScannerNotAskedAgainOnceItFoundNothing) {
    qtest::LocaleScope utf8(qtest::kUtf8);
    Loaded h;
    Converter copy = *static_cast<ConverterHandle>(h);
    copy.toUnicodeStep = CountingStep;
    copy.byteScanner = CountingScanner;
    const struct { std::string bytes; int32_t length; int scans; int32_t lastLength; } calls[] = {
        {"[0041]", 0, 0, 0}, {"a\xFF" "b\xFF" "c\xFF", -1, 1, -1}, {"a[0041]b\xFF" "c\xFF", -1, 2, -1},
        {"ab[0041]cdef", 12, 2, 4}};
    for (const auto &c : calls) {
        for (bool measure : {false, true}) {
            SCOPED_TRACE(c.bytes + (measure ? " measured" : ""));
            scannerCalls = stepCalls = lastScanLength = 0;
            uint16_t out[32];
            uint32_t count = 0;
            const char *src = c.bytes.c_str();
            EXPECT_EQ(KXUXLenByteToUnicode(&copy, measure ? nullptr : out, 32, src, c.length, &count), CVT_OK);
            EXPECT_TRUE(scannerCalls == c.scans && lastScanLength == c.lastLength);
            EXPECT_EQ(stepCalls == 0, c.length == 0);
        }
    }
}

}  // namespace

namespace {

// Charsets where libc keeps a character in the conversion state, gives two
// code points for one sequence, has "[" as a second byte, or calls a
// sequence incomplete that no byte can complete. Both directions, with the
// defaults; the length-only mode must agree.
TEST(ByteToUnicode, KeptAndCutCharacters) {
    const int OK = CVT_OK, FULL = CVT_E_BUFFER_FULL;
    const struct {
        const char *locale;
        std::string bytes;
        int32_t length;
        std::u16string text;
        uint32_t size;
        int32_t result;
    } cases[] = {
        // A letter waits for a tone mark; the end of the text gives it back.
        {"vi_VN.TCVN5712-1", "a", 1, u"a", 10, OK},
        {"vi_VN.TCVN5712-1", "ab", -1, u"ab", 10, OK},
        {"vi_VN.CP1258", "a\xEC" "b", 3, u"\u00E1b", 10, OK},
        {"he_IL.CP1255", "a\xE5\xEF\x22", 4, u"a\u05D5\u05DF\"", 10, OK},
        // One sequence, two code points: written together or not at all.
        {"zh_HK.BIG5-HKSCS", "\x88\x62xy", -1, u"\u00CA\u0304xy", 10, OK},
        {"zh_HK.BIG5-HKSCS", "\x88\x62", 2, u"", 2, FULL},
        {"zh_HK.BIG5-HKSCS", "\x88\x62", 2, u"\u00CA\u0304", 3, OK},
        {"ja_JP.EUC-JISX0213", "\xAB\xC9x", -1, u"\u0254\u0301x", 10, OK},
        {"ja_JP.SHIFT_JISX0213", "\x86\x63", 2, u"\u00E6\u0300", 10, OK},
        // "[" ends a character here: no escape starts inside one.
        {"ja_JP.SHIFT_JIS", "\x83\x5B\x32\x30\x41\x43\x5D", 7, u"\u30BC20AC]", 10, OK},
        {"ja_JP.SHIFT_JIS", "\x81[0041]", -1, u"\u30FC0041]", 10, OK},
        {"zh_TW.BIG5", "\xA4[20AC]", -1, u"\u4E4520AC]", 10, OK},
        {"ja_JP.SHIFT_JIS", "a[0041]\x83", -1, u"aA\uFFFD", 10, OK},
        // Bytes no later byte completes give one substitution each.
        {"zh_CN.GB18030", "A\x81\x30\x0A", 4, u"A\uFFFD0\n", 10, OK},
        {"zh_CN.GB18030", "A\x81\x30\x0A", -1, u"A\uFFFD0\n", 10, OK},
        {"en_US.UTF-8", "a\xE4\xB8[0041]", -1, u"a\uFFFD\uFFFDA", 10, OK},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (&c - cases) << ": " << c.locale);
        qtest::LocaleScope scope(c.locale);
        dtest::Loaded h;
        const auto o = dtest::BytesToUni(h, c.bytes, c.length, c.size);
        EXPECT_TRUE(o.result == c.result && o.text == c.text && o.terminated && o.intact) << o.result;
        uint32_t needed = qtest::kUnset;
        EXPECT_EQ(KXZLSUnicodeLength(h, c.bytes.c_str(), c.length, &needed), CVT_OK);
        if (c.result == CVT_OK) {
            EXPECT_EQ(needed, c.text.size());
        }
    }
}

TEST(UnicodeToByte, KeptCharacters) {
    const struct {
        const char *locale;
        std::u16string text;
        std::string bytes;
    } cases[] = {
        // A kana that may take a sound mark, at the end and before one
        // the charset lacks.
        {"ja_JP.EUC-JISX0213", u"\u3044\u304F\u3064\u304B", "\xA4\xA4\xA4\xAF\xA4\xC4\xA4\xAB"},
        {"ja_JP.SHIFT_JISX0213", u"\u304B\u0E01", "\x82\xA9[0E01]"},
        {"ja_JP.EUC-JISX0213", u"\u304B\u309A", "\xA4\xF7"},
        {"zh_HK.BIG5-HKSCS", u"S\u00EA\u015Fem", "S\x88\xA7[015F]em"},
        {"zh_HK.BIG5-HKSCS", u"\u00CA\u0304", "\x88\x62"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (&c - cases) << ": " << c.locale);
        qtest::LocaleScope scope(c.locale);
        dtest::Loaded h;
        const auto o = dtest::UniToBytes(KXUXUnicodeToByte, h, c.text, 20);
        EXPECT_TRUE(o.result == CVT_OK && o.text == c.bytes && o.terminated && o.intact) << o.result;
        uint32_t needed = qtest::kUnset;
        EXPECT_EQ(KXUXUnicodeToByte(h, nullptr, 0, qtest::U(c.text), &needed), CVT_OK);
        EXPECT_EQ(needed, c.bytes.size());
    }
}

}  // namespace
