#include "driver_test.h"

#include <vector>

namespace {

using dtest::Loaded;

TEST(UnicodeToCase, Cases) {
    qtest::LocaleScope utf8("de_DE.UTF-8");
    const struct { uint32_t subKind; std::u16string text; uint32_t size; int32_t result; std::u16string mapped; } cases[] = {
        {CASE_LOWER, u"ABC", 8, CVT_OK, u"abc"},     {CASE_UPPER, u"aZ1\u00E4\u0436", 8, CVT_OK, u"AZ1\u00C4\u0416"},
        {CASE_UPPER, u"", 8, CVT_OK, u""},           {CASE_UPPER, u"", 1, CVT_OK, u""},
        {CASE_UPPER, u"a", 1, CVT_E_BUFFER_FULL, u""}, {CASE_UPPER, u"abcde", 3, CVT_E_BUFFER_FULL, u"AB"},
        {CASE_LOWER, u"ABCDE", 6, CVT_OK, u"abcde"}, {CASE_LOWER, u"ABC", 0, CVT_E_BUFFER_FULL, u""},
    };
    for (const auto &c : cases) {
        Loaded h(c.subKind);
        const auto o = dtest::UniToUni(KXUXUnicodeToCase, h, c.text, c.size);
        EXPECT_TRUE(o.result == c.result && o.text == c.mapped && o.terminated == (c.size > 0) && o.intact)
            << (&c - cases);
    }
    Loaded lower(CASE_LOWER);
    for (size_t n : {0u, 255u, 256u, 257u, 1000u}) {
        const std::u16string s(n, u'Q');
        uint32_t count = qtest::kUnset, again = qtest::kUnset;
        EXPECT_EQ(KXUXUnicodeToCase(lower, nullptr, 0, qtest::U(s), &count), CVT_OK);
        EXPECT_EQ(KXZCaseLength(lower, qtest::U(s), &again), CVT_OK);
        EXPECT_TRUE(count == n && again == n) << n;
    }
}

// No engine here provides collation or normalization; a record built by the
// caller shows that those drivers call the step it carries, as case does.
struct StepCall { uintptr_t word; int32_t count; uint32_t space; };
std::vector<StepCall> stepCalls;
int32_t InvertingStep(uintptr_t word, const void *source, void *destination, int32_t count, uint32_t space,
                      uint32_t *consumed, uint32_t *produced, uint32_t *) {
    stepCalls.push_back({word, count, space});
    const uint16_t *src = static_cast<const uint16_t *>(source);
    uint16_t *dst = static_cast<uint16_t *>(destination);
    uint32_t n = 0;
    for (; src[n] != 0 && n < space; ++n) dst[n] = static_cast<uint16_t>(~src[n]);
    *consumed = *produced = n;
    return src[n] == 0 ? CVT_OK : CVT_E_BUFFER_FULL;
}

TEST(UnicodeToUnicode, OtherKindsCallTheirStep) {
    using Companion = int32_t (*)(ConverterHandle, const uint16_t *, uint32_t *);
    const std::tuple<uint32_t, dtest::UniToUniFn, Companion> kinds[] = {
        {CONVERTER_COLLATION, KXUXUnicodeToCollation, KXZCollationLength},
        {CONVERTER_NORMALIZE, KXUXUnicodeToNormalized, KXZNormalizedLength}};
    for (const auto &[kind, driver, companion] : kinds) {
        Converter record{};
        record.signature = CONVERTER_SIGNATURE;
        record.kind = kind;
        record.engineData = 0x1234;
        uint32_t count = 9;
        EXPECT_EQ(driver(&record, nullptr, 0, qtest::U(u"ab"), &count), CVT_E_NOT_AVAILABLE);
        EXPECT_EQ(count, 0u);

        record.toUnicodeStep = InvertingStep;
        stepCalls.clear();
        const auto o = dtest::UniToUni(driver, &record, u"ab", 8);
        EXPECT_TRUE(o.result == CVT_OK && o.text == std::u16string({char16_t(~u'a'), char16_t(~u'b')}));
        ASSERT_EQ(stepCalls.size(), 1u);
        EXPECT_TRUE(stepCalls[0].word == 0 && stepCalls[0].count == -1 && stepCalls[0].space == 7);

        stepCalls.clear();
        EXPECT_EQ(companion(&record, qtest::U(std::u16string(600, u'x')), &count), CVT_OK);
        EXPECT_EQ(count, 600u);
        ASSERT_EQ(stepCalls.size(), 3u);
        EXPECT_EQ(stepCalls[0].space, 256u);
    }
}

TEST(UnicodeToUnicode, Loaders) {
    const auto kSentinel = reinterpret_cast<ConverterHandle>(0x10);
    for (uint32_t country : {1000u, 0xFFFFFFFFu, 999u, 49u, 0u}) {
        ConverterHandle h = kSentinel;
        EXPECT_EQ(KXUXLoadCollationConverter(country, &h), country > 999 ? CVT_E_BAD_PARAMETER : CVT_E_LOAD_FAILED);
        EXPECT_EQ(h, nullptr) << country;
    }
    ConverterHandle h = kSentinel;
    EXPECT_EQ(KXUXLoadNormalizeConverter(0, &h), CVT_E_LOAD_FAILED);
    EXPECT_EQ(h, kSentinel) << "left as it was";
    EXPECT_EQ(KXUXLoadCollationConverter(49, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXUXLoadNormalizeConverter(0, nullptr), CVT_E_BAD_PARAMETER);
}

}  // namespace
