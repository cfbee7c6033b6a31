// Every driver and length-only companion checks the handle first, then its
// arguments. A refusal zeroes the count; a form that terminates writes its
// terminator when it has room; nothing else is touched.
#include "driver_test.h"

#include <array>

namespace {

using Call = int32_t (*)(ConverterHandle, void *output, uint32_t size, bool source, uint32_t *count);

// Columns: the situations of kSituations. kNotApplicable: a companion
// has no output to refuse.
constexpr int32_t kNotApplicable = 1;
struct Driver {
    const char *name;
    uint32_t kind;
    bool bytes, terminates;
    Call call;
    std::array<int32_t, 9> results;
};

enum Handle { kNone, kUnloaded, kWrongKind, kRightKind };
const struct Situation { Handle handle; bool output; uint32_t size; bool source, count; } kSituations[] = {
    {kNone, true, 4, true, true},      {kNone, true, 0, true, true},      {kUnloaded, true, 4, true, true},
    {kUnloaded, true, 0, true, true},  {kWrongKind, true, 4, true, true}, {kWrongKind, false, 4, true, true},
    {kRightKind, true, 4, false, true}, {kRightKind, false, 4, true, false}, {kRightKind, true, 0, true, true},
};

#define B8 (s ? "ab" : nullptr)
#define B16 (s ? qtest::U(u"ab") : nullptr)
#define O8 static_cast<char *>(o)
#define O16 static_cast<uint16_t *>(o)
#define ROW(kind, bytes, terminates, fn, args, ...)                                                           \
    {#fn, kind, bytes, terminates, [](ConverterHandle h, void *o, uint32_t n, bool s, uint32_t *c) {      \
         (void)o, (void)n;                                                                                \
         return fn args;                                                                                  \
     }, {__VA_ARGS__}}
constexpr int32_t NUL = CVT_E_NULL_HANDLE, BAD = CVT_E_BAD_HANDLE, KIND = CVT_E_WRONG_KIND,
                  PAR = CVT_E_BAD_PARAMETER, FULL = CVT_E_BUFFER_FULL, NA = CVT_E_NOT_AVAILABLE, OK = CVT_OK,
                  X = kNotApplicable;
constexpr uint32_t BYTE = CONVERTER_BYTE_UNI, CASE = CONVERTER_CASE, COLL = CONVERTER_COLLATION,
                   NORM = CONVERTER_NORMALIZE;
const Driver kDrivers[] = {
    ROW(BYTE, false, true, KXUXLenByteToUnicode, (h, O16, n, B8, -1, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, PAR, FULL),
    ROW(BYTE, false, true, KXUXLenByteToUnicodePath, (h, O16, n, B8, 2, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, PAR, FULL),
    ROW(BYTE, false, false, KXZLSUnicodeLength, (h, B8, -1, c), NUL, X, BAD, X, KIND, KIND, PAR, PAR, X),
    ROW(BYTE, true, false, KXUXUnicodeToUntermByte, (h, O8, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, PAR, FULL),
    ROW(BYTE, true, true, KXUXUnicodeToByte, (h, O8, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, OK, FULL),
    ROW(BYTE, true, false, KXZByteLength, (h, B16, c), NUL, X, BAD, X, KIND, KIND, PAR, PAR, X),
    ROW(BYTE, true, false, KXUXUnicodeToUntermBytePath, (h, O8, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, PAR, FULL),
    ROW(BYTE, true, true, KXUXUnicodeToBytePath, (h, O8, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, OK, FULL),
    ROW(BYTE, true, false, KXZBytePathLength, (h, B16, c), NUL, X, BAD, X, KIND, KIND, PAR, PAR, X),
    ROW(CASE, false, true, KXUXUnicodeToCase, (h, O16, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, PAR, FULL),
    ROW(CASE, false, false, KXZCaseLength, (h, B16, c), NUL, X, BAD, X, KIND, KIND, PAR, PAR, X),
    // No engine gives these kinds a step: a hand-made record of the kind says so.
    ROW(COLL, false, true, KXUXUnicodeToCollation, (h, O16, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, NA, NA),
    ROW(COLL, false, false, KXZCollationLength, (h, B16, c), NUL, X, BAD, X, KIND, KIND, PAR, PAR, X),
    ROW(NORM, false, true, KXUXUnicodeToNormalized, (h, O16, n, B16, c), NUL, NUL, BAD, BAD, KIND, KIND, PAR, NA, NA),
    ROW(NORM, false, false, KXZNormalizedLength, (h, B16, c), NUL, X, BAD, X, KIND, KIND, PAR, PAR, X),
};

TEST(Drivers, RefuseBadHandlesAndArguments) {
    dtest::Loaded bytes, lower(CASE_LOWER);
    Converter unloaded{}, collation{}, normalize{};
    collation.signature = normalize.signature = CONVERTER_SIGNATURE;
    collation.kind = COLL, normalize.kind = NORM;
    for (const Driver &d : kDrivers) {
        const ConverterHandle right = d.kind == BYTE ? bytes : d.kind == CASE ? lower : d.kind == COLL ? &collation : &normalize;
        const ConverterHandle handles[] = {nullptr, &unloaded, d.kind == BYTE ? lower : bytes, right};
        for (size_t i = 0; i < std::size(kSituations); ++i) {
            if (d.results[i] == kNotApplicable) continue;
            SCOPED_TRACE(testing::Message() << d.name << " situation " << i);
            const Situation &s = kSituations[i];
            qtest::Guarded<char> out8(s.size);
            qtest::Guarded<uint16_t> out16(s.size);
            void *output = !s.output ? nullptr : d.bytes ? static_cast<void *>(out8.data()) : out16.data();
            uint32_t count = 77;
            EXPECT_EQ(d.call(handles[s.handle], output, s.size, s.source, s.count ? &count : nullptr), d.results[i]);
            EXPECT_EQ(count, s.count ? 0u : 77u);
            if (s.size > 0) {  // the terminator alone, when the form writes one
                const bool terminator = s.output && d.terminates;
                EXPECT_TRUE(d.bytes ? out8[0] == (terminator ? 0 : 0x5A) && out8[1] == 0x5A
                                    : out16[0] == (terminator ? 0 : 0x5A5A) && out16[1] == 0x5A5A);
            }
            EXPECT_TRUE(out8.intact() && out16.intact());
        }
    }
    uint32_t count = 77;
    EXPECT_EQ(KXUXLenByteToUnicode(bytes, nullptr, 0, "ab", -2, &count), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(count, 0u);
}

}  // namespace
