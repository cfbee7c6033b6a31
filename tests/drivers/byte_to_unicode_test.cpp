#include "driver_test.h"

namespace {

using namespace std::string_literals;
using dtest::Loaded;

constexpr int kStop = NOMAP_STOP, kSub = NOMAP_SUBSTITUTE, kFix = NOMAP_FIXER;

struct ByteCase {
    std::string bytes;
    int32_t length;
    uint32_t size;
    int32_t noMap;
    int32_t scan;
    int32_t result;
    std::u16string text;
};

// In en_US.UTF-8. Each case also checks that the length-only mode agrees.
TEST(ByteToUnicode, Cases) {
    qtest::LocaleScope utf8("en_US.UTF-8");
    const int S = SCAN_ESCAPES, N = SCAN_NONE, OK = CVT_OK, FULL = CVT_E_BUFFER_FULL;
    const int EARLY = CVT_E_EARLY_TERMINATOR, NOMAP = CVT_E_NO_MAP;
    const ByteCase cases[] = {
        {"", -1, 10, kSub, S, OK, u""},
        {"abc", 0, 10, kSub, S, OK, u""},
        {"", -1, 1, kSub, S, OK, u""},
        {"abc", -1, 1, kSub, S, FULL, u""},
        {"abc", 2, 1, kSub, S, FULL, u""},
        {"\0ab"s, 3, 1, kSub, S, EARLY, u""},  // a counted NUL is early, whatever the room
        {"ab\0cd"s, 5, 10, kSub, S, EARLY, u"ab"},
        {"ab\0cd"s, -1, 10, kSub, S, OK, u"ab"},
        {"abcdef", 3, 10, kSub, S, OK, u"abc"},
        {"A[00E9]B", -1, 10, kSub, S, OK, u"A\u00E9B"},
        {"A[00e9]B", -1, 10, kSub, S, OK, u"A[00e9]B"},
        {"A[00E9B", -1, 10, kSub, S, OK, u"A[00E9B"},
        {"[00E9]", -1, 10, kSub, N, OK, u"[00E9]"},
        {"[0041]xyz", -1, 10, kSub, S, OK, u"Axyz"},
        {"[0041][4E2D]", -1, 10, kSub, S, OK, u"A\u4E2D"},
        {"x[0041]", 6, 10, kSub, S, OK, u"x[0041"},
        {"x[0041]yz", 7, 10, kSub, S, OK, u"xA"},
        {"a\xFF" "b", -1, 10, kSub, S, OK, u"a\uFFFDb"},
        {"a\xFF" "b", -1, 10, kFix, S, OK, u"a[FF]b"},
        {"a\xFF" "b", -1, 10, kStop, S, NOMAP, u"a"},
        {"a\xFF" "b", -1, 5, kFix, S, FULL, u"a"},
        {"a\xFF", -1, 6, kFix, S, OK, u"a[FF]"},
        {"ab\xFF" "c", -1, 4, kSub, S, FULL, u"ab\uFFFD"},
        // An incomplete character at the end of the input or of a piece.
        {"a\xC3", -1, 10, kSub, S, OK, u"a\uFFFD"},
        {"a\xC3", 2, 10, kSub, S, OK, u"a\uFFFD"},
        {"a\xE4\xB8", 3, 10, kFix, S, OK, u"a[E4][B8]"},
        {"a\xC3", 2, 10, kStop, S, NOMAP, u"a"},
        {"a\xC3\xA9", 3, 10, kStop, S, OK, u"a\u00E9"},
        {"a\xC3[0041]b", -1, 10, kSub, S, OK, u"a\uFFFDAb"},
        {"a\xE4\xB8[0041]", -1, 20, kFix, S, OK, u"a[E4][B8]A"},
        {"a\xC3[0041]b", -1, 10, kStop, S, NOMAP, u"a"},
        // Running out of room.
        {"abcdef", -1, 4, kSub, S, FULL, u"abc"},
        {"abc", -1, 4, kSub, S, OK, u"abc"},
        {"ab[0041]", -1, 3, kSub, S, FULL, u"ab"},
        {"ab[0041]", -1, 4, kSub, S, OK, u"abA"},
        {"ab[0041]\0x"s, 10, 4, kSub, S, EARLY, u"abA"},
        {"\xE4\xB8\xAD\xC3\xA9", -1, 10, kSub, S, OK, u"\u4E2D\u00E9"},
    };
    for (const ByteCase &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes) + " length " + std::to_string(c.length) +
                     " size " + std::to_string(c.size));
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, c.noMap, KEEP_SETTING), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, c.scan, KEEP_SETTING), CVT_OK);
        const auto o = dtest::BytesToUni(h, c.bytes, c.length, c.size);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.text, c.text);
        EXPECT_TRUE(o.terminated && o.intact);

        uint32_t needed = 0xDEAD;
        const int32_t measured = KXZLSUnicodeLength(h, c.bytes.c_str(), c.length, &needed);
        if (c.result != CVT_E_BUFFER_FULL) {
            EXPECT_EQ(measured, c.result);
            EXPECT_EQ(needed, c.text.size());
        } else {
            EXPECT_GT(needed, c.text.size());
        }
    }
}

TEST(ByteToUnicode, RefusedCalls) {
    Loaded bytes, lower(CASE_LOWER);
    Converter unloaded{};
    struct Refusal {
        ConverterHandle h;
        bool output;
        uint32_t size;
        const char *source;
        int32_t length;
        bool count;
        int32_t result;
    };
    const Refusal refusals[] = {
        {nullptr, true, 4, "ab", -1, true, CVT_E_NULL_HANDLE},
        {&unloaded, true, 4, "ab", -1, true, CVT_E_BAD_HANDLE},
        {lower, true, 4, "ab", -1, true, CVT_E_WRONG_KIND},
        {nullptr, false, 4, "ab", -1, true, CVT_E_NULL_HANDLE},
        {bytes, true, 4, "ab", -2, true, CVT_E_BAD_PARAMETER},
        {bytes, true, 4, nullptr, -1, true, CVT_E_BAD_PARAMETER},
        {bytes, false, 4, "ab", -1, false, CVT_E_BAD_PARAMETER},
        {bytes, true, 0, "", -1, true, CVT_E_BUFFER_FULL},
        {nullptr, true, 0, "ab", -1, true, CVT_E_NULL_HANDLE},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(&r - refusals);
        qtest::Guarded<uint16_t> out(r.size);
        uint32_t count = 77;
        EXPECT_EQ(KXUXLenByteToUnicode(r.h, r.output ? out.data() : nullptr, r.size, r.source,
                                       r.length, r.count ? &count : nullptr),
                  r.result);
        EXPECT_EQ(count, r.count ? 0u : 77u);
        if (r.size > 0) {  // the terminator alone, when there is an output
            EXPECT_EQ(out[0], r.output ? 0 : 0x5A5A);
            EXPECT_EQ(out[1], 0x5A5A);
        }
        EXPECT_TRUE(out.intact());
    }
    uint32_t count = 5;
    EXPECT_EQ(KXZLSUnicodeLength(bytes, "ab", -1, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZLSUnicodeLength(lower, "ab", -1, &count), CVT_E_WRONG_KIND);
    EXPECT_EQ(count, 0u);
}

// Replacement callbacks: their errors end the conversion, and output they
// claim beyond their space does not carry the driver past the buffer.
int32_t FailingParser(ConverterHandle, uint16_t *, uint32_t, uint32_t *, const char *, uint32_t *) {
    return CVT_E_NOT_AVAILABLE;
}
int32_t OneUnitThenFail(ConverterHandle, uint16_t *out, uint32_t, uint32_t *produced, const char *,
                        uint32_t) {
    *out = u'?';
    *produced = 1;
    return CVT_E_UNSUPPORTED_OP;
}
int32_t BoastingFixer(ConverterHandle, uint16_t *, uint32_t space, uint32_t *produced,
                      const char *, uint32_t) {
    *produced = space + 1000;
    return CVT_OK;
}

TEST(ByteToUnicode, ReplacementCallbacks) {
    qtest::LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    ASSERT_EQ(KXUXSetNoMapAction(h, NOMAP_FIXER, KEEP_SETTING), CVT_OK);
    ASSERT_EQ(KXUXSetByteFunctions(h, OneUnitThenFail, nullptr, FailingParser), CVT_OK);
    auto o = dtest::BytesToUni(h, "xy[0041]z", -1, 10);
    EXPECT_EQ(o.result, CVT_E_NOT_AVAILABLE);
    EXPECT_EQ(o.text, u"xy");
    o = dtest::BytesToUni(h, "x\xFFy", -1, 10);
    EXPECT_EQ(o.result, CVT_E_UNSUPPORTED_OP);
    EXPECT_EQ(o.text, u"x?");
    EXPECT_TRUE(o.terminated);

    ASSERT_EQ(KXUXSetByteFunctions(h, BoastingFixer, nullptr, nullptr), CVT_OK);
    for (uint32_t size : {1u, 2u, 3u, 8u}) {
        o = dtest::BytesToUni(h, "x\xFFy", -1, size);
        EXPECT_TRUE(o.count < size && o.terminated && o.intact) << size;
    }
}

// Counts the calls of a step and a scanner installed in a copy of a loaded record.
int stepCalls = 0, scannerCalls = 0;
int32_t lastScanLength = 0;
int32_t CountingStep(uintptr_t word, const void *src, void *dst, int32_t n, uint32_t space,
                     uint32_t *consumed, uint32_t *produced, uint32_t *noMap) {
    ++stepCalls;
    return KXUToUnicode(word, src, dst, n, space, consumed, produced, noMap);
}
const char *CountingScanner(ConverterHandle h, const char *src, int32_t length) {
    ++scannerCalls;
    lastScanLength = length;
    return KXZByteScanner(h, src, length);
}

TEST(ByteToUnicode, ScannerNotAskedAgainOnceItFoundNothing) {
    qtest::LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    Converter copy = *static_cast<ConverterHandle>(h);
    copy.toUnicodeStep = CountingStep;
    copy.byteScanner = CountingScanner;
    struct Calls {
        std::string bytes;
        int32_t length;
        int scans;
        int32_t lastLength;
    };
    for (const Calls &c : {Calls{"[0041]", 0, 0, 0}, Calls{"a\xFF" "b\xFF" "c\xFF", -1, 1, -1},
                           Calls{"a[0041]b\xFF" "c\xFF", -1, 2, -1}, Calls{"ab[0041]cdef", 12, 2, 4}}) {
        for (bool measure : {false, true}) {
            SCOPED_TRACE(c.bytes + (measure ? " measured" : ""));
            scannerCalls = stepCalls = lastScanLength = 0;
            uint16_t out[32];
            uint32_t count = 0;
            EXPECT_EQ(KXUXLenByteToUnicode(&copy, measure ? nullptr : out, 32, c.bytes.c_str(),
                                           c.length, &count),
                      CVT_OK);
            EXPECT_EQ(scannerCalls, c.scans);
            EXPECT_EQ(lastScanLength, c.lastLength);
            EXPECT_EQ(stepCalls == 0, c.length == 0);
        }
    }
}

}  // namespace
