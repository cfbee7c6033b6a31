#include "driver_test.h"

namespace {

using dtest::BytesToUni;
using dtest::Loaded;
using qtest::LocaleScope;

struct ByteCase {
    const char *name;
    std::string bytes;
    int32_t length;
    uint32_t size;
    int32_t noMap;  // byte no-map action
    int32_t scan;   // byte scan action
    int32_t result;
    std::u16string text;
};

const int kSub = NOMAP_SUBSTITUTE, kFix = NOMAP_FIXER, kStop = NOMAP_STOP;
const int kScan = SCAN_ESCAPES, kNoScan = SCAN_NONE;
using namespace std::string_literals;

TEST(ByteToUnicode, Cases) {
    LocaleScope utf8("en_US.UTF-8");
    const ByteCase cases[] = {
        {"empty", "", -1, 10, kSub, kScan, CVT_OK, u""},
        {"length 0", "abc", 0, 10, kSub, kScan, CVT_OK, u""},
        {"size 1, empty", "", -1, 1, kSub, kScan, CVT_OK, u""},
        {"size 1, text", "abc", -1, 1, kSub, kScan, CVT_E_BUFFER_FULL, u""},
        {"size 1, counted, NUL first", "\0ab"s, 3, 1, kSub, kScan, CVT_E_EARLY_TERMINATOR, u""},
        {"size 1, counted, text", "abc", 2, 1, kSub, kScan, CVT_E_BUFFER_FULL, u""},
        {"counted NUL inside", "ab\0cd"s, 5, 10, kSub, kScan, CVT_E_EARLY_TERMINATOR, u"ab"},
        {"same bytes, NUL-terminated", "ab\0cd"s, -1, 10, kSub, kScan, CVT_OK, u"ab"},
        {"counted, shorter than text", "abcdef", 3, 10, kSub, kScan, CVT_OK, u"abc"},
        {"unit escape", "A[00E9]B", -1, 10, kSub, kScan, CVT_OK, u"A\u00E9B"},
        {"lower-case digits", "A[00e9]B", -1, 10, kSub, kScan, CVT_OK, u"A[00e9]B"},
        {"unclosed", "A[00E9B", -1, 10, kSub, kScan, CVT_OK, u"A[00E9B"},
        {"scanning off", "[00E9]", -1, 10, kSub, kNoScan, CVT_OK, u"[00E9]"},
        {"escape first", "[0041]xyz", -1, 10, kSub, kScan, CVT_OK, u"Axyz"},
        {"escapes back to back", "[0041][4E2D]", -1, 10, kSub, kScan, CVT_OK, u"A\u4E2D"},
        {"escape cut by count", "x[0041]", 6, 10, kSub, kScan, CVT_OK, u"x[0041"},
        {"escape ends the count", "x[0041]yz", 7, 10, kSub, kScan, CVT_OK, u"xA"},
        {"substitute", "a\xFF" "b", -1, 10, kSub, kScan, CVT_OK, u"a\uFFFDb"},
        {"fixer", "a\xFF" "b", -1, 10, kFix, kScan, CVT_OK, u"a[FF]b"},
        {"stop", "a\xFF" "b", -1, 10, kStop, kScan, CVT_E_NO_MAP, u"a"},
        {"fixer without room", "a\xFF" "b", -1, 4, kFix, kScan, CVT_E_BUFFER_FULL, u"a"},
        {"fixer with just room", "a\xFF", -1, 6, kFix, kScan, CVT_OK, u"a[FF]"},
        {"incomplete at NUL", "a\xC3", -1, 10, kSub, kScan, CVT_OK, u"a\uFFFD"},
        {"incomplete at count, substitute", "a\xC3", 2, 10, kSub, kScan, CVT_OK, u"a\uFFFD"},
        {"incomplete at count, fixer", "a\xE4\xB8", 3, 10, kFix, kScan, CVT_OK, u"a[E4][B8]"},
        {"incomplete at count, stop", "a\xC3", 2, 10, kStop, kScan, CVT_E_NO_MAP, u"a"},
        {"complete at count", "a\xC3\xA9", 3, 10, kStop, kScan, CVT_OK, u"a\u00E9"},
        {"incomplete before escape", "a\xC3[0041]b", -1, 10, kSub, kScan, CVT_OK,
         u"a\uFFFDAb"},
        {"incomplete before escape, fixer", "a\xE4\xB8[0041]", -1, 20, kFix, kScan, CVT_OK,
         u"a[E4][B8]A"},
        {"incomplete before escape, stop", "a\xC3[0041]b", -1, 10, kStop, kScan, CVT_E_NO_MAP,
         u"a"},
        {"full in mid-string", "abcdef", -1, 4, kSub, kScan, CVT_E_BUFFER_FULL, u"abc"},
        {"full at the end", "abc", -1, 4, kSub, kScan, CVT_OK, u"abc"},
        {"full before escape", "ab[0041]", -1, 3, kSub, kScan, CVT_E_BUFFER_FULL, u"ab"},
        {"full after escape, NUL next", "ab[0041]", -1, 4, kSub, kScan, CVT_OK, u"abA"},
        {"full after escape, counted NUL next", "ab[0041]\0x"s, 10, 4, kSub, kScan,
         CVT_E_EARLY_TERMINATOR, u"abA"},
        {"substitute fills the buffer", "ab\xFF" "c", -1, 4, kSub, kScan, CVT_E_BUFFER_FULL,
         u"ab\uFFFD"},
        {"multibyte characters", "\xE4\xB8\xAD\xC3\xA9", -1, 10, kSub, kScan, CVT_OK,
         u"\u4E2D\u00E9"},
    };
    for (const ByteCase &c : cases) {
        SCOPED_TRACE(c.name);
        Loaded h;
        ASSERT_EQ(KXUXSetNoMapAction(h, c.noMap, KEEP_SETTING), CVT_OK);
        ASSERT_EQ(KXUXSetScanAction(h, c.scan, KEEP_SETTING), CVT_OK);
        const auto o = BytesToUni(h, c.bytes, c.length, c.size);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.text, c.text);
        EXPECT_TRUE(o.terminated);
        EXPECT_TRUE(o.intact);

        // The length-only mode takes the same decisions.
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
    Loaded bytes;
    Loaded lower(CASE_LOWER);
    Converter unloaded{};
    struct Refusal {
        const char *name;
        ConverterHandle h;
        bool output;
        uint32_t size;
        const char *source;
        int32_t length;
        bool count;
        int32_t result;
    };
    const Refusal refusals[] = {
        {"null handle", nullptr, true, 4, "ab", -1, true, CVT_E_NULL_HANDLE},
        {"not loaded", &unloaded, true, 4, "ab", -1, true, CVT_E_BAD_HANDLE},
        {"case converter", lower, true, 4, "ab", -1, true, CVT_E_WRONG_KIND},
        {"null handle, length-only", nullptr, false, 0, "ab", -1, true, CVT_E_NULL_HANDLE},
        {"length below -1", bytes, true, 4, "ab", -2, true, CVT_E_BAD_PARAMETER},
        {"null source", bytes, true, 4, nullptr, -1, true, CVT_E_BAD_PARAMETER},
        {"no output, no count", bytes, false, 0, "ab", -1, false, CVT_E_BAD_PARAMETER},
        {"size 0", bytes, true, 0, "ab", -1, true, CVT_E_BUFFER_FULL},
        {"size 0, empty", bytes, true, 0, "", -1, true, CVT_E_BUFFER_FULL},
        {"size 0, null handle", nullptr, true, 0, "ab", -1, true, CVT_E_NULL_HANDLE},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.name);
        qtest::Guarded<uint16_t> out(r.size);
        uint32_t count = 77;
        EXPECT_EQ(KXUXLenByteToUnicode(r.h, r.output ? out.data() : nullptr, r.size, r.source,
                                       r.length, r.count ? &count : nullptr),
                  r.result);
        if (r.count) {
            EXPECT_EQ(count, 0u);
        }
        if (r.size > 0) {
            EXPECT_EQ(out[0], 0) << "the terminator is written on every path";
            EXPECT_EQ(out[1], 0x5A5A) << "and nothing else";
        }
        EXPECT_TRUE(out.intact());
    }
    uint32_t count = 5;
    EXPECT_EQ(KXZLSUnicodeLength(bytes, "ab", -1, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZLSUnicodeLength(lower, "ab", -1, &count), CVT_E_WRONG_KIND);
    EXPECT_EQ(count, 0u);
}

TEST(ByteToUnicode, EntryPointsAgree) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    for (const std::string s : {"", "plain", "a[00E9]\xFF\xC3\xA9", "\xC3"}) {
        SCOPED_TRACE(s);
        const auto len = BytesToUni(h, s, -1, 16);
        using Fn = int32_t (*)(ConverterHandle, uint16_t *, uint32_t, const char *, uint32_t *);
        for (Fn fn : {Fn{KXUXByteToUnicode}, Fn{KXUXByteToUnicodePath}}) {
            const auto o = dtest::Guard<char16_t>(16, [&](char16_t *out, uint32_t n, uint32_t *c) {
                return fn(h, reinterpret_cast<uint16_t *>(out), n, s.c_str(), c);
            });
            EXPECT_EQ(o.result, len.result);
            EXPECT_EQ(o.text, len.text);
        }
        const auto path = dtest::Guard<char16_t>(16, [&](char16_t *out, uint32_t n, uint32_t *c) {
            return KXUXLenByteToUnicodePath(h, reinterpret_cast<uint16_t *>(out), n, s.c_str(),
                                            static_cast<int32_t>(s.size()), c);
        });
        const auto counted = BytesToUni(h, s, static_cast<int32_t>(s.size()), 16);
        EXPECT_EQ(path.result, counted.result);
        EXPECT_EQ(path.text, counted.text);
    }
}

TEST(ByteToUnicode, LengthOnlyBeyondScratch) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    std::string s;
    for (int i = 0; i < 300; ++i) s += i % 3 == 0 ? "\xE4\xB8\xAD" : i % 3 == 1 ? "[0041]" : "\xFF";
    uint32_t count = 0;
    EXPECT_EQ(KXUXLenByteToUnicode(h, nullptr, 0, s.c_str(), -1, &count), CVT_OK);
    EXPECT_EQ(count, 300u);
    ASSERT_EQ(KXUXSetNoMapAction(h, NOMAP_FIXER, KEEP_SETTING), CVT_OK);
    EXPECT_EQ(KXUXLenByteToUnicode(h, nullptr, 12345, s.c_str(), -1, &count), CVT_OK);
    EXPECT_EQ(count, 200u + 100u * 4u);
    const auto o = BytesToUni(h, s, -1, count + 1);
    EXPECT_EQ(o.result, CVT_OK);
    EXPECT_EQ(o.text.size(), count);
}

// Replacement callbacks: errors pass through, output they claim beyond their
// space does not move the driver past the buffer.
int32_t FailingParser(ConverterHandle, uint16_t *, uint32_t, uint32_t *, const char *,
                      uint32_t *) {
    return CVT_E_NOT_AVAILABLE;
}
int32_t FixerWritesOneThenFails(ConverterHandle, uint16_t *out, uint32_t space,
                                uint32_t *produced, const char *, uint32_t) {
    if (space > 0) *out = u'?';
    *produced = space > 0 ? 1 : 0;
    return CVT_E_UNSUPPORTED_OP;
}
int32_t BoastingFixer(ConverterHandle, uint16_t *, uint32_t space, uint32_t *produced,
                      const char *, uint32_t) {
    *produced = space + 1000;
    return CVT_OK;
}

TEST(ByteToUnicode, ReplacementCallbacks) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    ASSERT_EQ(KXUXSetByteFunctions(h, nullptr, nullptr, FailingParser), CVT_OK);
    auto o = BytesToUni(h, "xy[0041]z", -1, 10);
    EXPECT_EQ(o.result, CVT_E_NOT_AVAILABLE);
    EXPECT_EQ(o.text, u"xy");
    EXPECT_TRUE(o.terminated);

    ASSERT_EQ(KXUXSetNoMapAction(h, NOMAP_FIXER, KEEP_SETTING), CVT_OK);
    ASSERT_EQ(KXUXSetByteFunctions(h, FixerWritesOneThenFails, nullptr, nullptr), CVT_OK);
    o = BytesToUni(h, "x\xFFy", -1, 10);
    EXPECT_EQ(o.result, CVT_E_UNSUPPORTED_OP);
    EXPECT_EQ(o.text, u"x?");
    EXPECT_TRUE(o.terminated);

    ASSERT_EQ(KXUXSetByteFunctions(h, BoastingFixer, nullptr, nullptr), CVT_OK);
    for (uint32_t size : {1u, 2u, 3u, 8u}) {
        o = BytesToUni(h, "x\xFFy", -1, size);
        EXPECT_LE(o.count, size - 1);
        EXPECT_TRUE(o.terminated);
        EXPECT_TRUE(o.intact);
    }
    uint32_t count = 0;
    EXPECT_EQ(KXZLSUnicodeLength(h, "x\xFFy", -1, &count), CVT_OK);
    EXPECT_EQ(count, 1u + 256u + 1u);
}

// An engine step that counts its calls, installed in a copy of a loaded record.
int stepCalls = 0;
int32_t CountingStep(uintptr_t word, const void *src, void *dst, int32_t n, uint32_t space,
                     uint32_t *consumed, uint32_t *produced, uint32_t *noMap) {
    ++stepCalls;
    return KXUToUnicode(word, src, dst, n, space, consumed, produced, noMap);
}
int scannerCalls = 0;
int32_t lastScanLength = 0;
const char *CountingByteScanner(ConverterHandle h, const char *src, int32_t length) {
    ++scannerCalls;
    lastScanLength = length;
    return KXZByteScanner(h, src, length);
}

TEST(ByteToUnicode, ScannerAndStepCalls) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h;
    Converter copy = *h.get();
    copy.toUnicodeStep = CountingStep;
    copy.byteScanner = CountingByteScanner;

    struct Calls {
        const char *name;
        std::string bytes;
        int32_t length;
        int scans;
        int32_t lastLength;
    };
    const Calls calls[] = {
        {"length 0", "[0041]", 0, 0, 0},
        // One answer of "none" settles the rest, however often the step stops.
        {"no escape", "a\xFF" "b\xFF" "c\xFF" "d", -1, 1, -1},
        {"one escape", "a[0041]b\xFF" "c\xFF", -1, 2, -1},
        {"counted", "ab[0041]cdef", 12, 2, 4},
    };
    for (const Calls &c : calls) {
        SCOPED_TRACE(c.name);
        for (bool measure : {false, true}) {
            scannerCalls = 0;
            stepCalls = 0;
            lastScanLength = 0;
            uint16_t out[32];
            uint32_t count = 0;
            EXPECT_EQ(KXUXLenByteToUnicode(&copy, measure ? nullptr : out, 32, c.bytes.c_str(),
                                           c.length, &count),
                      CVT_OK);
            EXPECT_EQ(scannerCalls, c.scans);
            EXPECT_EQ(lastScanLength, c.lastLength);
            if (c.length == 0) {
                EXPECT_EQ(stepCalls, 0);
            }
        }
    }
}

}  // namespace
