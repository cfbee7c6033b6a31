// The handle-free shortcuts: same results as the converter functions on the
// standard handles, but for a standard converter that is not loaded.
#include <quemba/standard.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "quemba_test.h"
#include "standard_state.h"

namespace {

using qtest::U;

const char kBytes[] = "Gr\xc3\xbc\xc3\x9f" "e [00E9]\\x";
const std::u16string kUnits = u"Gr\u00fc\u00dfe \\\u00a5\u20a9\u20ac";

// One call, through the shortcut or through the KXUX function with the
// standard handle; output is the buffer of the row's unit type.
using Call = std::function<int32_t(bool shortcut, void *output, uint32_t size, uint32_t *count)>;

struct Row {
    const char *name;
    bool byteOutput;
    Call call;
};

uint16_t *Units(void *p) { return static_cast<uint16_t *>(p); }
char *Bytes(void *p) { return static_cast<char *>(p); }

const std::vector<Row> &Rows() {
    static const std::vector<Row> rows = {
        {"KXUSByteToUnicode", false,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSByteToUnicode(Units(o), n, kBytes, c)
                      : KXUXLenByteToUnicode(KXZStandardByteUni(), Units(o), n, kBytes, -1, c);
         }},
        {"KXUSLenByteToUnicode", false,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSLenByteToUnicode(Units(o), n, kBytes, 9, c)
                      : KXUXLenByteToUnicode(KXZStandardByteUni(), Units(o), n, kBytes, 9, c);
         }},
        {"KXUSByteToUnicodePath", false,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSByteToUnicodePath(Units(o), n, kBytes, c)
                      : KXUXLenByteToUnicodePath(KXZStandardByteUni(), Units(o), n, kBytes, -1, c);
         }},
        {"KXUSLenByteToUnicodePath", false,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSLenByteToUnicodePath(Units(o), n, kBytes, 9, c)
                      : KXUXLenByteToUnicodePath(KXZStandardByteUni(), Units(o), n, kBytes, 9, c);
         }},
        {"KXUSUnicodeToByte", true,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSUnicodeToByte(Bytes(o), n, U(kUnits), c)
                      : KXUXUnicodeToByte(KXZStandardByteUni(), Bytes(o), n, U(kUnits), c);
         }},
        {"KXUSUnicodeToBytePath", true,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSUnicodeToBytePath(Bytes(o), n, U(kUnits), c)
                      : KXUXUnicodeToBytePath(KXZStandardByteUni(), Bytes(o), n, U(kUnits), c);
         }},
        {"KXUSUnicodeToUntermByte", true,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSUnicodeToUntermByte(Bytes(o), n, U(kUnits), c)
                      : KXUXUnicodeToUntermByte(KXZStandardByteUni(), Bytes(o), n, U(kUnits), c);
         }},
        {"KXUSUnicodeToUntermBytePath", true,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSUnicodeToUntermBytePath(Bytes(o), n, U(kUnits), c)
                      : KXUXUnicodeToUntermBytePath(KXZStandardByteUni(), Bytes(o), n, U(kUnits), c);
         }},
        {"KXUSUnicodeToLowerCase", false,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSUnicodeToLowerCase(Units(o), n, U(kUnits), c)
                      : KXUXUnicodeToCase(KXZStandardLowerCase(), Units(o), n, U(kUnits), c);
         }},
        {"KXUSUnicodeToUpperCase", false,
         [](bool s, void *o, uint32_t n, uint32_t *c) {
             return s ? KXUSUnicodeToUpperCase(Units(o), n, U(kUnits), c)
                      : KXUXUnicodeToCase(KXZStandardUpperCase(), Units(o), n, U(kUnits), c);
         }},
    };
    return rows;
}

struct Outcome {
    int32_t result;
    uint32_t count;
    std::vector<uint32_t> output;  // the whole guarded buffer, canaries included
    bool intact;
    bool operator==(const Outcome &) const = default;
};

void PrintTo(const Outcome &o, std::ostream *os) {
    *os << "result " << o.result << ", count " << o.count << (o.intact ? "" : ", canaries hit");
}

// size 0 with lengthOnly: a null output buffer.
Outcome Invoke(const Row &row, bool shortcut, uint32_t size, bool lengthOnly) {
    constexpr size_t kRoom = 24;
    qtest::Guarded<uint16_t> units(kRoom);
    qtest::Guarded<char> bytes(kRoom);
    Outcome o{};
    o.count = 0xCCCCCCCC;
    void *output = lengthOnly ? nullptr : row.byteOutput ? static_cast<void *>(bytes.data())
                                                          : static_cast<void *>(units.data());
    o.result = row.call(shortcut, output, size, &o.count);
    const ptrdiff_t guard = qtest::Guarded<char>::kGuard;
    for (ptrdiff_t i = -guard; i < static_cast<ptrdiff_t>(kRoom) + guard; ++i) {
        o.output.push_back(row.byteOutput ? static_cast<unsigned char>(bytes.data()[i])
                                          : units.data()[i]);
    }
    o.intact = units.intact() && bytes.intact();
    return o;
}

struct Mode {
    const char *name;
    uint32_t size;
    bool lengthOnly;
    int32_t loadedResult;
};

const Mode kModes[] = {{"room", 24, false, CVT_OK},
                       {"too small", 3, false, CVT_E_BUFFER_FULL},
                       {"length only", 0, true, CVT_OK}};

class Shortcuts : public qtest::StandardSetTest {
protected:
    qtest::LocaleScope locale_{"en_US.UTF-8"};

    // Every shortcut in every mode against the direct call.
    void ExpectLikeDirectCalls(bool loaded) {
        for (const Row &row : Rows()) {
            SCOPED_TRACE(row.name);
            for (const Mode &mode : kModes) {
                SCOPED_TRACE(mode.name);
                const Outcome direct = Invoke(row, false, mode.size, mode.lengthOnly);
                Outcome shortcut = Invoke(row, true, mode.size, mode.lengthOnly);
                EXPECT_TRUE(shortcut.intact);
                if (loaded) {
                    EXPECT_EQ(direct.result, mode.loadedResult);
                    EXPECT_EQ(shortcut, direct);
                } else {
                    EXPECT_EQ(direct.result, CVT_E_BAD_HANDLE);
                    EXPECT_EQ(shortcut.result, CVT_E_NOT_INITIALISED);
                    shortcut.result = direct.result;
                    EXPECT_EQ(shortcut, direct) << "writes differ from the converter function's";
                }
            }
        }
    }
};

TEST_F(Shortcuts, BeforeInitAfterInitAndAfterTheLastRelease) {
    {
        SCOPED_TRACE("before init");
        ExpectLikeDirectCalls(false);
    }
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    {
        SCOPED_TRACE("after init");
        ExpectLikeDirectCalls(true);
    }
    KXUSStandardUnicodeRelease();
    {
        SCOPED_TRACE("one reference left");
        ExpectLikeDirectCalls(true);
    }
    KXUSStandardUnicodeRelease();
    {
        SCOPED_TRACE("after the last release");
        ExpectLikeDirectCalls(false);
    }
}

// Each shortcut follows its own standard converter only.
TEST_F(Shortcuts, OnlyTheirOwnConverterCounts) {
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    ASSERT_EQ(KXUXUnloadConverter(KXZStandardUpperCase()), CVT_OK);
    uint16_t units[8];
    EXPECT_EQ(KXUSUnicodeToUpperCase(units, 8, U(u"ab"), nullptr), CVT_E_NOT_INITIALISED);
    EXPECT_EQ(KXUSUnicodeToLowerCase(units, 8, U(u"AB"), nullptr), CVT_OK);
    ASSERT_EQ(KXUXUnloadConverter(KXZStandardByteUni()), CVT_OK);
    char bytes[8];
    EXPECT_EQ(KXUSUnicodeToByte(bytes, 8, U(u"ab"), nullptr), CVT_E_NOT_INITIALISED);
    EXPECT_EQ(KXUSByteToUnicode(units, 8, "ab", nullptr), CVT_E_NOT_INITIALISED);
    EXPECT_EQ(KXUSUnicodeToLowerCase(units, 8, U(u"AB"), nullptr), CVT_OK);
}

TEST_F(Shortcuts, ConvertThroughTheLocale) {
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    qtest::Guarded<uint16_t> units(8);
    qtest::Guarded<char> bytes(12);
    uint32_t count = 0;

    ASSERT_EQ(KXUSByteToUnicode(units.data(), units.size(), "Gr\xc3\xbc\xc3\x9f" "e", &count), CVT_OK);
    EXPECT_EQ(qtest::S16(units.data()), u"Gr\u00fc\u00dfe");
    EXPECT_EQ(count, 5u);
    ASSERT_EQ(KXUSUnicodeToUpperCase(units.data(), units.size(), U(u"gr\u00fcn"), &count), CVT_OK);
    EXPECT_EQ(qtest::S16(units.data()), u"GR\u00dcN");
    ASSERT_EQ(KXUSUnicodeToLowerCase(units.data(), units.size(), U(u"\u00c4\u00d6\u00dc"), &count), CVT_OK);
    EXPECT_EQ(qtest::S16(units.data()), u"\u00e4\u00f6\u00fc");
    ASSERT_EQ(KXUSUnicodeToByte(bytes.data(), bytes.size(), U(u"\u00e4/\u00a5"), &count), CVT_OK);
    EXPECT_STREQ(bytes.data(), "\xc3\xa4/\xc2\xa5");
    ASSERT_EQ(KXUSUnicodeToBytePath(bytes.data(), bytes.size(), U(u"\u00e4/\u00a5"), &count), CVT_OK);
    EXPECT_STREQ(bytes.data(), "\xc3\xa4/\\");
    EXPECT_TRUE(units.intact());
    EXPECT_TRUE(bytes.intact());
}

TEST_F(Shortcuts, ByteToUnicodeIsLenByteToUnicodeUpToTheNul) {
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    for (const char *source : {"", "abc", "Gr\xc3\xbc\xc3\x9f" "e", "x[00E9]y", "bad\xff" "byte"}) {
        SCOPED_TRACE(source);
        for (uint32_t size : {1u, 3u, 16u}) {
            qtest::Guarded<uint16_t> a(size), b(size);
            uint32_t countA = 77, countB = 77;
            EXPECT_EQ(KXUSByteToUnicode(a.data(), a.size(), source, &countA),
                      KXUSLenByteToUnicode(b.data(), b.size(), source, -1, &countB));
            EXPECT_EQ(countA, countB);
            EXPECT_EQ(qtest::S16(a.data(), size), qtest::S16(b.data(), size));
            EXPECT_TRUE(a.intact() && b.intact());
        }
    }
}

}  // namespace
