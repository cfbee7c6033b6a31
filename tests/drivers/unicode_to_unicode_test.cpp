#include "driver_test.h"

#include <vector>

namespace {

using dtest::Loaded;
using dtest::UniToUni;
using qtest::LocaleScope;

struct CaseCase {
    const char *name;
    uint32_t subKind;
    std::u16string text;
    uint32_t size;
    int32_t result;
    std::u16string mapped;
};

TEST(UnicodeToCase, Cases) {
    LocaleScope utf8("de_DE.UTF-8");
    const CaseCase cases[] = {
        {"lower", CASE_LOWER, u"ABC", 8, CVT_OK, u"abc"},
        {"upper", CASE_UPPER, u"abc", 8, CVT_OK, u"ABC"},
        {"upper, mixed", CASE_UPPER, u"aZ1\u00E4\u0436", 8, CVT_OK, u"AZ1\u00C4\u0416"},
        {"empty", CASE_UPPER, u"", 8, CVT_OK, u""},
        {"size 1, empty", CASE_UPPER, u"", 1, CVT_OK, u""},
        {"size 1, text", CASE_UPPER, u"a", 1, CVT_E_BUFFER_FULL, u""},
        {"size 3, five units", CASE_UPPER, u"abcde", 3, CVT_E_BUFFER_FULL, u"AB"},
        {"exact fit", CASE_LOWER, u"ABCDE", 6, CVT_OK, u"abcde"},
        {"size 0", CASE_LOWER, u"ABC", 0, CVT_E_BUFFER_FULL, u""},
    };
    for (const CaseCase &c : cases) {
        SCOPED_TRACE(c.name);
        Loaded h(c.subKind);
        const auto o = UniToUni(KXUXUnicodeToCase, h, c.text, c.size);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.text, c.mapped);
        EXPECT_EQ(o.terminated, c.size > 0);
        EXPECT_TRUE(o.intact);
    }
}

TEST(UnicodeToCase, LengthOnly) {
    LocaleScope utf8("en_US.UTF-8");
    Loaded h(CASE_LOWER);
    for (size_t n : {0u, 1u, 255u, 256u, 257u, 1000u}) {
        const std::u16string s(n, u'Q');
        uint32_t count = 0xDEAD;
        EXPECT_EQ(KXUXUnicodeToCase(h, nullptr, 0, qtest::U(s), &count), CVT_OK);
        EXPECT_EQ(count, n);
        count = 0xDEAD;
        EXPECT_EQ(KXZCaseLength(h, qtest::U(s), &count), CVT_OK);
        EXPECT_EQ(count, n);
    }
    EXPECT_EQ(KXUXUnicodeToCase(h, nullptr, 0, qtest::U(u"a"), nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZCaseLength(h, qtest::U(u"a"), nullptr), CVT_E_BAD_PARAMETER);
}

TEST(UnicodeToUnicode, RefusedCalls) {
    Loaded bytes;
    Loaded lower(CASE_LOWER);
    Converter unloaded{};
    using Fn = decltype(&KXUXUnicodeToCase);
    struct Refusal {
        const char *name;
        Fn fn;
        ConverterHandle h;
        const uint16_t *source;
        int32_t result;
    };
    const uint16_t *ab = qtest::U(u"ab");
    const Refusal refusals[] = {
        {"null handle", KXUXUnicodeToCase, nullptr, ab, CVT_E_NULL_HANDLE},
        {"not loaded", KXUXUnicodeToCase, &unloaded, ab, CVT_E_BAD_HANDLE},
        {"byte/Unicode converter", KXUXUnicodeToCase, bytes, ab, CVT_E_WRONG_KIND},
        {"case converter for collation", KXUXUnicodeToCollation, lower, ab, CVT_E_WRONG_KIND},
        {"case converter for normalization", KXUXUnicodeToNormalized, lower, ab,
         CVT_E_WRONG_KIND},
        {"null source", KXUXUnicodeToCase, lower, nullptr, CVT_E_BAD_PARAMETER},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.name);
        for (bool output : {true, false}) {
            qtest::Guarded<uint16_t> out(4);
            uint32_t count = 77;
            EXPECT_EQ(r.fn(r.h, output ? out.data() : nullptr, 4, r.source, &count), r.result);
            EXPECT_EQ(count, 0u);
            EXPECT_EQ(out[0], output ? 0 : 0x5A5A);
            EXPECT_EQ(out[1], 0x5A5A);
            EXPECT_TRUE(out.intact());
        }
    }
    uint32_t count = 3;
    EXPECT_EQ(KXZCollationLength(lower, ab, &count), CVT_E_WRONG_KIND);
    EXPECT_EQ(KXZNormalizedLength(lower, ab, &count), CVT_E_WRONG_KIND);
    EXPECT_EQ(KXZCaseLength(bytes, ab, &count), CVT_E_WRONG_KIND);
    EXPECT_EQ(count, 0u);
}

// The library has no collation or normalization engine; a caller-built record
// of those kinds shows that the drivers call whatever step it carries.
struct StepCall {
    uintptr_t word;
    int32_t count;
    uint32_t space;
};
std::vector<StepCall> stepCalls;
int32_t ReversingStep(uintptr_t word, const void *source, void *destination, int32_t count,
                      uint32_t space, uint32_t *consumed, uint32_t *produced, uint32_t *) {
    stepCalls.push_back({word, count, space});
    const uint16_t *src = static_cast<const uint16_t *>(source);
    uint16_t *dst = static_cast<uint16_t *>(destination);
    uint32_t n = 0;
    while (src[n] != 0 && n < space) {
        dst[n] = static_cast<uint16_t>(~src[n]);
        ++n;
    }
    *consumed = *produced = n;
    return src[n] == 0 ? CVT_OK : CVT_E_BUFFER_FULL;
}

TEST(UnicodeToUnicode, OtherKindsCallTheirStep) {
    using Fn = decltype(&KXUXUnicodeToCase);
    using LengthFn = decltype(&KXZCaseLength);
    struct Member {
        uint32_t kind;
        Fn driver;
        LengthFn companion;
    };
    for (const Member &m : {Member{CONVERTER_COLLATION, KXUXUnicodeToCollation, KXZCollationLength},
                            Member{CONVERTER_NORMALIZE, KXUXUnicodeToNormalized,
                                   KXZNormalizedLength}}) {
        Converter record{};
        record.signature = CONVERTER_SIGNATURE;
        record.kind = m.kind;
        record.engineData = 0x1234;

        uint32_t count = 9;
        EXPECT_EQ(m.driver(&record, nullptr, 0, qtest::U(u"ab"), &count), CVT_E_NOT_AVAILABLE)
            << "no step to call";
        EXPECT_EQ(count, 0u);

        record.toUnicodeStep = ReversingStep;
        stepCalls.clear();
        const auto o = UniToUni(m.driver, &record, u"ab", 8);
        EXPECT_EQ(o.result, CVT_OK);
        EXPECT_EQ(o.text, std::u16string({char16_t(~u'a'), char16_t(~u'b')}));
        ASSERT_EQ(stepCalls.size(), 1u);
        EXPECT_EQ(stepCalls[0].word, 0u);
        EXPECT_EQ(stepCalls[0].count, -1);
        EXPECT_EQ(stepCalls[0].space, 7u);

        stepCalls.clear();
        const std::u16string longText(600, u'x');
        EXPECT_EQ(m.companion(&record, qtest::U(longText), &count), CVT_OK);
        EXPECT_EQ(count, 600u);
        EXPECT_EQ(stepCalls.size(), 3u);
        EXPECT_EQ(stepCalls[0].space, 256u);
    }
}

TEST(UnicodeToUnicode, Loaders) {
    struct Collation {
        uint32_t country;
        int32_t result;
    };
    for (const Collation &c : {Collation{1000, CVT_E_BAD_PARAMETER},
                               Collation{0xFFFFFFFF, CVT_E_BAD_PARAMETER},
                               Collation{999, CVT_E_LOAD_FAILED}, Collation{49, CVT_E_LOAD_FAILED},
                               Collation{0, CVT_E_LOAD_FAILED}}) {
        ConverterHandle collation = reinterpret_cast<ConverterHandle>(0x10);
        EXPECT_EQ(KXUXLoadCollationConverter(c.country, &collation), c.result) << c.country;
        EXPECT_EQ(collation, nullptr);
    }
    EXPECT_EQ(KXUXLoadCollationConverter(49, nullptr), CVT_E_BAD_PARAMETER);

    ConverterHandle h = reinterpret_cast<ConverterHandle>(0x10);
    EXPECT_EQ(KXUXLoadNormalizeConverter(0, &h), CVT_E_LOAD_FAILED);
    EXPECT_EQ(h, reinterpret_cast<ConverterHandle>(0x10)) << "left as it was";
    EXPECT_EQ(KXUXLoadNormalizeConverter(0, nullptr), CVT_E_BAD_PARAMETER);
}

}  // namespace
