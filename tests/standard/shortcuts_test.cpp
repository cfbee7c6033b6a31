// The handle-free shortcuts do what the converter functions do on the
// standard handles, but say CVT_E_NOT_INITIALISED for a record not loaded.
#include <quemba/standard.h>

#include <cstddef>
#include <vector>

#include "quemba_test.h"
#include "standard_state.h"

namespace {

using qtest::U;

const char kBytes[] = "Gr\xc3\xbc\xc3\x9f" "e [00E9]\\x";
const char16_t kUnits[] = u"Gr\u00fc\u00dfe \\\u00a5\u20a9\u20ac";

// bytes: output in bytes, else UTF-16.
struct Row { const char *name; bool bytes; int32_t (*call)(bool shortcut, void *output, uint32_t size, uint32_t *count); };

#define O16 static_cast<uint16_t *>(o)
#define O8 static_cast<char *>(o)
#define ROW(name, bytes, shortcut, direct) \
    {#name, bytes, [](bool s, void *o, uint32_t n, uint32_t *c) { return s ? shortcut : direct; }}
const ConverterHandle B = KXZStandardByteUni(), L = KXZStandardLowerCase(), H = KXZStandardUpperCase();
const Row kRows[] = {
    ROW(ByteToUnicode, false, KXUSByteToUnicode(O16, n, kBytes, c), KXUXLenByteToUnicode(B, O16, n, kBytes, -1, c)),
    ROW(LenByteToUnicode, false, KXUSLenByteToUnicode(O16, n, kBytes, 9, c), KXUXLenByteToUnicode(B, O16, n, kBytes, 9, c)),
    ROW(ByteToUnicodePath, false, KXUSByteToUnicodePath(O16, n, kBytes, c), KXUXLenByteToUnicodePath(B, O16, n, kBytes, -1, c)),
    ROW(LenByteToUnicodePath, false, KXUSLenByteToUnicodePath(O16, n, kBytes, 9, c), KXUXLenByteToUnicodePath(B, O16, n, kBytes, 9, c)),
    ROW(UnicodeToByte, true, KXUSUnicodeToByte(O8, n, U(kUnits), c), KXUXUnicodeToByte(B, O8, n, U(kUnits), c)),
    ROW(UnicodeToBytePath, true, KXUSUnicodeToBytePath(O8, n, U(kUnits), c), KXUXUnicodeToBytePath(B, O8, n, U(kUnits), c)),
    ROW(UnicodeToUntermByte, true, KXUSUnicodeToUntermByte(O8, n, U(kUnits), c), KXUXUnicodeToUntermByte(B, O8, n, U(kUnits), c)),
    ROW(UnicodeToUntermBytePath, true, KXUSUnicodeToUntermBytePath(O8, n, U(kUnits), c), KXUXUnicodeToUntermBytePath(B, O8, n, U(kUnits), c)),
    ROW(UnicodeToLowerCase, false, KXUSUnicodeToLowerCase(O16, n, U(kUnits), c), KXUXUnicodeToCase(L, O16, n, U(kUnits), c)),
    ROW(UnicodeToUpperCase, false, KXUSUnicodeToUpperCase(O16, n, U(kUnits), c), KXUXUnicodeToCase(H, O16, n, U(kUnits), c)),
};

// Result, count and the whole guarded output buffer, canaries included.
std::vector<int64_t> Outcome(const Row &row, bool shortcut, uint32_t size, bool lengthOnly) {
    qtest::Guarded<uint16_t> units(24);
    qtest::Guarded<char> bytes(24);
    uint32_t count = 0xCCCCCCCC;
    void *output = lengthOnly ? nullptr : row.bytes ? static_cast<void *>(bytes.data()) : units.data();
    std::vector<int64_t> o = {row.call(shortcut, output, size, &count), count};
    for (ptrdiff_t i = -8; i < 24 + 8; ++i) o.push_back(row.bytes ? bytes.data()[i] : units.data()[i]);
    return o;
}

class Shortcuts : public qtest::StandardSetTest {};

TEST_F(Shortcuts, BeforeInitAfterInitAndAfterTheLastRelease) {
    qtest::LocaleScope scope("en_US.UTF-8");
    const struct Mode { uint32_t size; bool lengthOnly; int32_t loadedResult; } modes[] = {{24, false, CVT_OK}, {3, false, CVT_E_BUFFER_FULL}, {0, true, CVT_OK}};
    auto check = [&](const char *phase, bool loaded) {
        for (const Row &row : kRows) {
            for (const Mode &m : modes) {
                SCOPED_TRACE(std::string(phase) + " " + row.name + " size " + std::to_string(m.size));
                const std::vector<int64_t> direct = Outcome(row, false, m.size, m.lengthOnly);
                std::vector<int64_t> shortcut = Outcome(row, true, m.size, m.lengthOnly);
                EXPECT_EQ(direct[0], loaded ? m.loadedResult : CVT_E_BAD_HANDLE);
                EXPECT_EQ(shortcut[0], loaded ? direct[0] : CVT_E_NOT_INITIALISED);
                shortcut[0] = direct[0];
                EXPECT_EQ(shortcut, direct);
            }
        }
    };
    check("before init", false);
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    check("after init", true);
    KXUSStandardUnicodeRelease();
    check("one reference left", true);
    KXUSStandardUnicodeRelease();
    check("after the last release", false);
}

}  // namespace
