// The locale engine: the common stop rules of every step, the byte/UTF-16
// steps in each test locale against libc itself, case steps, the auxiliary
// functions and the engine set-up.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <cwchar>
#include <cwctype>

namespace {

using qtest::Guarded;
using qtest::LocaleScope;

constexpr uint32_t kUnset = 0xDEADBEEF;

struct StepRun {
    int32_t status;
    uint32_t consumed;
    uint32_t produced;
    uint32_t noMap;
    bool intact;
    std::u16string units;  // output of the UTF-16 producing steps
    std::string bytes;     // output of KXUToByte
};

// Sources are copied into exactly sized storage, so reading past a count
// (or past the NUL) is an overread the sanitizer preset reports.
StepRun ToUnicode(const std::string &src, int32_t count, uint32_t space, bool terminated) {
    std::vector<char> in(src.begin(), src.end());
    if (terminated) in.push_back('\0');
    Guarded<uint16_t> out(space);
    StepRun r{0, kUnset, kUnset, kUnset, false, {}, {}};
    r.status = KXUToUnicode(0, in.data(), out.data(), count, out.size(), &r.consumed, &r.produced,
                            &r.noMap);
    r.intact = out.intact();
    if (r.produced <= space) r.units = qtest::S16(out.data(), r.produced);
    return r;
}

StepRun UnitStep(EngineStep step, const std::u16string &src, int32_t count, uint32_t space) {
    std::vector<uint16_t> in(src.begin(), src.end());
    in.push_back(0);
    StepRun r{0, kUnset, kUnset, kUnset, false, {}, {}};
    if (step == KXUToByte) {
        Guarded<char> out(space);
        r.status = step(0, in.data(), out.data(), count, out.size(), &r.consumed, &r.produced,
                        &r.noMap);
        r.intact = out.intact();
        if (r.produced <= space) r.bytes.assign(out.data(), r.produced);
    } else {
        Guarded<uint16_t> out(space);
        r.status = step(0, in.data(), out.data(), count, out.size(), &r.consumed, &r.produced,
                        &r.noMap);
        r.intact = out.intact();
        if (r.produced <= space) r.units = qtest::S16(out.data(), r.produced);
    }
    return r;
}

// ASCII text behaves alike in every step, so one table covers the stop rules.
struct FrameCase {
    const char *text;
    size_t length;  // bytes of text, inner NULs included
    int32_t count;
    uint32_t space;
    int32_t status;
    uint32_t consumed;
    uint32_t produced;
};

const FrameCase kFrame[] = {
    {"ab", 2, 0, 10, CVT_E_SOURCE_EXHAUSTED, 0, 0},
    {"ab", 2, 0, 0, CVT_E_SOURCE_EXHAUSTED, 0, 0},
    {"", 0, -1, 0, CVT_OK, 0, 0},
    {"", 0, -1, 10, CVT_OK, 0, 0},
    {"", 0, 3, 10, CVT_OK, 0, 0},
    {"ab", 2, -1, 0, CVT_E_BUFFER_FULL, 0, 0},
    {"ab", 2, 2, 0, CVT_E_BUFFER_FULL, 0, 0},
    {"ab", 2, -1, 10, CVT_OK, 2, 2},
    {"ab", 2, -1, 1, CVT_E_BUFFER_FULL, 1, 1},
    {"ab", 2, -1, 2, CVT_OK, 2, 2},
    {"ab\0cd", 5, 5, 10, CVT_OK, 2, 2},
    {"abc", 3, 2, 10, CVT_E_SOURCE_EXHAUSTED, 2, 2},
    {"abc", 3, 2, 2, CVT_E_SOURCE_EXHAUSTED, 2, 2},  // count is tested before space
    {"abc", 3, 3, 2, CVT_E_BUFFER_FULL, 2, 2},
    {"ab", 2, 3, 2, CVT_OK, 2, 2},
    {"abc", 3, -7, 10, CVT_OK, 3, 3},  // every negative count means up to the NUL
    {"a", 1, 1, 1, CVT_E_SOURCE_EXHAUSTED, 1, 1},
};

std::string Upper(std::string s) {
    for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

TEST(EngineFrame, AllStepsStopAlike) {
    LocaleScope locale("en_US.UTF-8");
    const EngineStep steps[] = {KXUToUnicode, KXUToByte, KXUToUpper, KXUToLower};
    for (const FrameCase &c : kFrame) {
        const std::string text(c.text, c.length);
        const std::string expected = text.substr(0, c.produced);
        for (const EngineStep step : steps) {
            SCOPED_TRACE(testing::Message() << "text \"" << text.c_str() << "\" count " << c.count
                                            << " space " << c.space << " step "
                                            << reinterpret_cast<const void *>(step));
            StepRun r = step == KXUToUnicode
                        ? ToUnicode(text, c.count, c.space, true)
                        : UnitStep(step, std::u16string(text.begin(), text.end()), c.count,
                                   c.space);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.consumed, c.consumed);
            EXPECT_EQ(r.produced, c.produced);
            EXPECT_EQ(r.noMap, kUnset) << "no-map length written without CVT_E_NO_MAP";
            EXPECT_TRUE(r.intact);
            if (step == KXUToByte) {
                EXPECT_EQ(r.bytes, expected);
            } else {
                const std::string want = step == KXUToUpper ? Upper(expected) : expected;
                EXPECT_EQ(r.units, std::u16string(want.begin(), want.end()));
            }
        }
    }
}

TEST(EngineFrame, NullPointersAreRefused) {
    uint16_t out[4];
    uint32_t consumed = kUnset, produced = kUnset;
    EXPECT_EQ(KXUToUnicode(0, nullptr, out, -1, 4, &consumed, &produced, nullptr),
              CVT_E_BAD_PARAMETER);
    EXPECT_EQ(consumed, 0u);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(KXUToByte(0, u"a", nullptr, -1, 4, &consumed, &produced, nullptr),
              CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXUToUpper(0, nullptr, out, 2, 4, nullptr, nullptr, nullptr), CVT_E_BAD_PARAMETER);
    // Count 0 is answered before anything is looked at.
    EXPECT_EQ(KXUToLower(0, nullptr, nullptr, 0, 4, &consumed, &produced, nullptr),
              CVT_E_SOURCE_EXHAUSTED);
    // The out-counts are optional.
    EXPECT_EQ(KXUToUnicode(0, "ab", out, -1, 4, nullptr, nullptr, nullptr), CVT_OK);
    EXPECT_EQ(out[1], u'b');
}

struct ToUnicodeCase {
    const char *name;
    std::string bytes;
    int32_t count;  // -1: the bytes are followed by a NUL
    uint32_t space;
    int32_t status;
    uint32_t consumed;
    std::u16string units;
    uint32_t noMap;
};

TEST(EngineToUnicode, Utf8Sequences) {
    LocaleScope locale("en_US.UTF-8");
    const ToUnicodeCase cases[] = {
        {"bad byte consumed alone", "\x41\xFF\x42\x43", 4, 10, CVT_E_NO_MAP, 2, u"A", 1},
        {"bad byte before NUL", "\x41\xFF", -1, 10, CVT_E_NO_MAP, 2, u"A", 1},
        {"bad byte is the whole count", "\xFF", 1, 10, CVT_E_NO_MAP, 1, u"", 1},
        {"bad byte at the start", "\x80\x41", -1, 10, CVT_E_NO_MAP, 1, u"", 1},
        {"NUL inside a character", std::string("\xC3\0\x41", 3), 3, 10, CVT_E_NO_MAP, 1, u"", 1},
        {"encoded surrogate", "\xED\xA0\x80", -1, 10, CVT_E_NO_MAP, 1, u"", 1},
        {"count ends in a character", "\x41\xC3", 2, 10, CVT_E_SOURCE_EXHAUSTED, 1, u"A", kUnset},
        {"NUL ends a character", "\x41\xC3", -1, 10, CVT_E_NO_MAP, 2, u"A", 1},
        {"NUL ends a 3-byte character", "\x41\xE2\x82", -1, 10, CVT_E_NO_MAP, 3, u"A", 2},
        {"count ends a 3-byte character", "\x41\xE2\x82", 3, 10, CVT_E_SOURCE_EXHAUSTED, 1, u"A",
         kUnset},
        {"beyond U+FFFF", "\xF0\x9F\x98\x80", -1, 10, CVT_E_NO_MAP, 4, u"", 4},
        {"beyond U+FFFF after text", "\x41\xF0\x9F\x98\x80\x42", -1, 10, CVT_E_NO_MAP, 5, u"A",
         4},
        {"beyond U+FFFF, counted", "\xF0\x9F\x98\x80", 4, 10, CVT_E_NO_MAP, 4, u"", 4},
        {"two bytes into one unit", "\xC3\xA9", -1, 1, CVT_OK, 2, u"\u00E9", kUnset},
        {"space ends before more", "\xC3\xA9\x41", -1, 1, CVT_E_BUFFER_FULL, 2, u"\u00E9", kUnset},
        {"count ends after a character", "\xE2\x82\xAC", 3, 10, CVT_E_SOURCE_EXHAUSTED, 3,
         u"\u20AC", kUnset},
        {"mixed text", "a\xC3\xA9\xE4\xB8\xAD", -1, 10, CVT_OK, 6, u"a\u00E9\u4E2D", kUnset},
        {"last BMP character", "\xEF\xBF\xBF", -1, 10, CVT_OK, 3, u"\uFFFF", kUnset},
    };
    for (const ToUnicodeCase &c : cases) {
        SCOPED_TRACE(c.name);
        const StepRun r = ToUnicode(c.bytes, c.count, c.space, c.count < 0);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.consumed, c.consumed);
        EXPECT_EQ(r.units, c.units);
        EXPECT_EQ(r.noMap, c.noMap);
        EXPECT_TRUE(r.intact);
        // Never beyond the end of the source.
        EXPECT_LE(r.consumed, c.bytes.size());
    }
}

struct ToByteCase {
    const char *locale;
    std::u16string units;
    int32_t count;
    uint32_t space;
    int32_t status;
    uint32_t consumed;
    std::string bytes;
    uint32_t noMap;
};

TEST(EngineToByte, UnitsAndSpace) {
    const ToByteCase cases[] = {
        {"en_US.UTF-8", u"\u00E9", -1, 1, CVT_E_BUFFER_FULL, 0, "", kUnset},
        {"en_US.UTF-8", u"\u00E9", -1, 2, CVT_OK, 1, "\xC3\xA9", kUnset},
        {"en_US.UTF-8", u"A\u00E9", -1, 2, CVT_E_BUFFER_FULL, 1, "A", kUnset},
        {"en_US.UTF-8", u"\u20AC", -1, 3, CVT_OK, 1, "\xE2\x82\xAC", kUnset},
        {"en_US.UTF-8", u"\u4E2DA", 1, 10, CVT_E_SOURCE_EXHAUSTED, 1, "\xE4\xB8\xAD", kUnset},
        {"en_US.UTF-8", u"\xD800", -1, 10, CVT_E_NO_MAP, 1, "", 1},
        {"en_US.UTF-8", u"A\xDC00" u"B", -1, 10, CVT_E_NO_MAP, 2, "A", 1},
        // A pair is not joined: each half is refused on its own.
        {"en_US.UTF-8", u"\U0001F600", -1, 10, CVT_E_NO_MAP, 1, "", 1},
        {"de_DE.ISO-8859-1", u"\u20AC", -1, 10, CVT_E_NO_MAP, 1, "", 1},
        {"de_DE.ISO-8859-1", u"a\u00E9", -1, 10, CVT_OK, 2, "a\xE9", kUnset},
        {"ja_JP.EUC-JP", u"\u3042x", -1, 2, CVT_E_BUFFER_FULL, 1, "\xA4\xA2", kUnset},
        {"ru_RU.CP1251", u"\u0410\u20AC", -1, 10, CVT_OK, 2, "\xC0\x88", kUnset},
        {"C", u"a\u00E9", -1, 10, CVT_E_NO_MAP, 2, "a", 1},
    };
    for (const ToByteCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.locale << " " << c.bytes.size());
        LocaleScope locale(c.locale);
        const StepRun r = UnitStep(KXUToByte, c.units, c.count, c.space);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.consumed, c.consumed);
        EXPECT_EQ(r.bytes, c.bytes);
        EXPECT_EQ(r.noMap, c.noMap);
        EXPECT_TRUE(r.intact);
    }
}

TEST(EngineToUnicode, LocaleSpecificBytes) {
    struct Case {
        const char *locale;
        const char *bytes;
        std::u16string units;
    };
    const Case cases[] = {
        {"C", "Az", u"Az"},
        {"de_DE.ISO-8859-1", "\xE9\xFF", u"\u00E9\u00FF"},
        {"de_DE.UTF-8", "\xC3\xA4", u"\u00E4"},
        {"ja_JP.EUC-JP", "\xA4\xA2\xC3\xE6", u"\u3042\u4E2D"},
        {"ru_RU.CP1251", "\xC0\x88", u"\u0410\u20AC"},
        {"fi_FI.UTF-8", "\xC3\xB6", u"\u00F6"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.locale);
        LocaleScope locale(c.locale);
        const StepRun r = ToUnicode(c.bytes, -1, 10, true);
        EXPECT_EQ(r.status, CVT_OK);
        EXPECT_EQ(r.units, c.units);
        EXPECT_EQ(r.consumed, std::strlen(c.bytes));
    }
}

// Every single byte, in every test locale, as libc decodes it.
TEST(EngineToUnicode, EverySingleByteAgreesWithLibc) {
    for (const std::string &name : qtest::AllLocales()) {
        LocaleScope locale(name);
        for (int b = 1; b < 256; ++b) {
            SCOPED_TRACE(testing::Message() << name << " byte " << b);
            const std::string one(1, static_cast<char>(b));
            wchar_t wide = 0;
            std::mbstate_t state{};
            const size_t n = std::mbrtowc(&wide, one.data(), 1, &state);
            const StepRun counted = ToUnicode(one, 1, 4, false);
            const StepRun terminated = ToUnicode(one, -1, 4, true);
            EXPECT_TRUE(counted.intact && terminated.intact);
            if (n == 1 && static_cast<uint32_t>(wide) <= 0xFFFF) {
                const std::u16string unit(1, static_cast<char16_t>(wide));
                EXPECT_EQ(counted.status, CVT_E_SOURCE_EXHAUSTED);
                EXPECT_EQ(counted.units, unit);
                EXPECT_EQ(terminated.status, CVT_OK);
                EXPECT_EQ(terminated.units, unit);
                EXPECT_EQ(terminated.consumed, 1u);
            } else if (n == static_cast<size_t>(-2)) {
                // A lead byte: more may follow in a counted source.
                EXPECT_EQ(counted.status, CVT_E_SOURCE_EXHAUSTED);
                EXPECT_EQ(counted.consumed, 0u);
                EXPECT_EQ(terminated.status, CVT_E_NO_MAP);
                EXPECT_EQ(terminated.consumed, 1u);
                EXPECT_EQ(terminated.noMap, 1u);
            } else {
                EXPECT_EQ(counted.status, CVT_E_NO_MAP);
                EXPECT_EQ(counted.consumed, 1u);
                EXPECT_EQ(counted.noMap, 1u);
                EXPECT_EQ(counted.produced, 0u);
                EXPECT_EQ(terminated.status, CVT_E_NO_MAP);
            }
        }
    }
}

std::vector<char16_t> SampleUnits() {
    std::vector<char16_t> units = {0x7F,   0x80,   0xA4,   0xE9,   0xFF,   0x100,  0x410,
                                   0x3042, 0x4E2D, 0x20AC, 0xD800, 0xDFFF, 0xE000, 0xFFFD,
                                   0xFFFE, 0xFFFF, 0x0130, 0x0131, 0x00DF, 0x1E9E};
    for (uint32_t u = 1; u <= 0xFFFF; u += 0x133) units.push_back(static_cast<char16_t>(u));
    return units;
}

// A sample of BMP units, in every test locale, as libc encodes them; what
// encodes also decodes back to the same unit.
TEST(EngineToByte, SampleUnitsAgreeWithLibc) {
    const std::vector<char16_t> sample = SampleUnits();
    for (const std::string &name : qtest::AllLocales()) {
        LocaleScope locale(name);
        for (const char16_t unit : sample) {
            SCOPED_TRACE(testing::Message() << name << " unit " << std::hex << static_cast<uint32_t>(unit));
            char want[MB_LEN_MAX];
            std::mbstate_t state{};
            const size_t n = std::wcrtomb(want, static_cast<wchar_t>(unit), &state);
            const StepRun r = UnitStep(KXUToByte, std::u16string(1, unit), -1, 16);
            EXPECT_TRUE(r.intact);
            if (n == static_cast<size_t>(-1)) {
                EXPECT_EQ(r.status, CVT_E_NO_MAP);
                EXPECT_EQ(r.consumed, 1u);
                EXPECT_EQ(r.produced, 0u);
                EXPECT_EQ(r.noMap, 1u);
                continue;
            }
            EXPECT_EQ(r.status, CVT_OK);
            EXPECT_EQ(r.bytes, std::string(want, n));
            // One byte short: nothing is written and the unit is given back.
            const StepRun tight = UnitStep(KXUToByte, std::u16string(1, unit) + u"x", -1,
                                       static_cast<uint32_t>(n - 1));
            EXPECT_EQ(tight.status, CVT_E_BUFFER_FULL);
            EXPECT_EQ(tight.consumed, 0u);
            EXPECT_TRUE(tight.intact);
            wchar_t decoded = 0;
            state = std::mbstate_t{};
            ASSERT_EQ(std::mbrtowc(&decoded, want, n, &state), n);
            const StepRun back = ToUnicode(r.bytes, -1, 4, true);
            EXPECT_EQ(back.status, CVT_OK);
            EXPECT_EQ(back.units, std::u16string(1, static_cast<char16_t>(decoded)));
        }
    }
}

TEST(EngineCase, SampleUnitsAgreeWithLibc) {
    const std::vector<char16_t> sample = SampleUnits();
    for (const std::string &name : qtest::AllLocales()) {
        LocaleScope locale(name);
        for (const char16_t unit : sample) {
            SCOPED_TRACE(testing::Message() << name << " unit " << std::hex << static_cast<uint32_t>(unit));
            const std::u16string one(1, unit);
            const StepRun up = UnitStep(KXUToUpper, one, -1, 1);
            const StepRun down = UnitStep(KXUToLower, one, -1, 1);
            EXPECT_EQ(up.status, CVT_OK);
            EXPECT_EQ(down.status, CVT_OK);
            EXPECT_EQ(up.units,
                      std::u16string(1, static_cast<char16_t>(std::towupper(unit) & 0xFFFF)));
            EXPECT_EQ(down.units,
                      std::u16string(1, static_cast<char16_t>(std::towlower(unit) & 0xFFFF)));
            EXPECT_TRUE(up.intact && down.intact);
        }
    }
}

TEST(EngineCase, Texts) {
    LocaleScope locale("de_DE.UTF-8");
    struct Case {
        EngineStep step;
        std::u16string in;
        int32_t count;
        int32_t status;
        std::u16string out;
    };
    const Case cases[] = {
        {KXUToUpper, u"aZ1", -1, CVT_OK, u"AZ1"},
        {KXUToUpper, u"aZ1", 2, CVT_E_SOURCE_EXHAUSTED, u"AZ"},
        {KXUToLower, u"aZ1", -1, CVT_OK, u"az1"},
        {KXUToUpper, u"\u00E4\u00F6\u00FC", -1, CVT_OK, u"\u00C4\u00D6\u00DC"},
        {KXUToLower, u"\u0410\u00C4", -1, CVT_OK, u"\u0430\u00E4"},
        // Units are mapped one by one, halves of pairs untouched.
        {KXUToUpper, u"\xD801\xDC28", -1, CVT_OK, u"\xD801\xDC28"},
    };
    for (const Case &c : cases) {
        const StepRun r = UnitStep(c.step, c.in, c.count, 10);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.units, c.out);
        EXPECT_EQ(r.consumed, c.out.size());
        EXPECT_EQ(r.noMap, kUnset);
        EXPECT_TRUE(r.intact);
    }
}

TEST(EngineAux, Operations) {
    LocaleScope locale("en_US.UTF-8");
    struct Case {
        uint32_t operation;
        const char *bytes;
        int32_t result;
    };
    const Case cases[] = {
        {1, "\xC3\xA9", 2}, {1, "", 0},     {1, "A", 1},
        {1, "\x80", -1},    {1, "\xE2\x82\xAC", 3}, {1, "\xC3", -1},
        {2, "x", 0},        {3, "x", 0},    {0, "x", CVT_E_UNSUPPORTED_OP},
        {4, "x", CVT_E_UNSUPPORTED_OP}, {7, "x", CVT_E_UNSUPPORTED_OP},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "operation " << c.operation);
        EXPECT_EQ(KXUAux(0, c.operation, c.bytes), c.result);
        EXPECT_EQ(KXUCaseAux(0, c.operation, c.bytes), CVT_E_UNSUPPORTED_OP);
    }
    LocaleScope euc("ja_JP.EUC-JP");
    EXPECT_EQ(KXUAux(850, 1, "\xA4\xA2"), 2);
}

TEST(EngineSetUp, ByKindAndSubKind) {
    struct Case {
        uint32_t kind;
        uint32_t subKind;
        int32_t result;
        EngineStep toUnicode;
        EngineStep toByte;
        AuxFunction aux;
        uint16_t subUni;
        uint8_t subByte;
    };
    const Case cases[] = {
        {CONVERTER_BYTE_UNI, 0, CVT_OK, KXUToUnicode, KXUToByte, KXUAux, 0xFFFD, 0x03},
        {CONVERTER_BYTE_UNI, 9, CVT_OK, KXUToUnicode, KXUToByte, KXUAux, 0xFFFD, 0x03},
        {CONVERTER_CASE, CASE_LOWER, CVT_OK, KXUToLower, nullptr, KXUCaseAux, 0, 0},
        {CONVERTER_CASE, CASE_UPPER, CVT_OK, KXUToUpper, nullptr, KXUCaseAux, 0, 0},
        {CONVERTER_CASE, 2, CVT_E_NOT_AVAILABLE, nullptr, nullptr, nullptr, 0, 0},
        {CONVERTER_CASE, 3, CVT_E_BAD_PARAMETER, nullptr, nullptr, nullptr, 0, 0},
        {CONVERTER_COLLATION, 0, CVT_E_NOT_AVAILABLE, nullptr, nullptr, nullptr, 0, 0},
        {CONVERTER_NORMALIZE, 0, CVT_E_NOT_AVAILABLE, nullptr, nullptr, nullptr, 0, 0},
        {0, 0, CVT_E_BAD_PARAMETER, nullptr, nullptr, nullptr, 0, 0},
        {5, 0, CVT_E_BAD_PARAMETER, nullptr, nullptr, nullptr, 0, 0},
        {9, 0, CVT_E_BAD_PARAMETER, nullptr, nullptr, nullptr, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " sub-kind " << c.subKind);
        Converter record{};
        record.kind = c.kind;
        record.subKind = c.subKind;
        record.codePage = 850;
        EXPECT_EQ(KXUGetInfo(3, &record), c.result);
        EXPECT_EQ(record.engineTag, 7u);
        EXPECT_EQ(record.toUnicodeStep, c.toUnicode);
        EXPECT_EQ(record.toByteStep, c.toByte);
        EXPECT_EQ(record.auxFunction, c.aux);
        EXPECT_EQ(record.defaultSubUni, c.subUni);
        EXPECT_EQ(record.defaultSubByte, c.subByte);
        EXPECT_EQ(record.engineData, 0u);
        EXPECT_EQ(record.signature, 0u);  // the set-up leaves the loader's fields alone
    }
    EXPECT_EQ(KXUGetInfo(3, nullptr), CVT_E_BAD_PARAMETER);
}

}  // namespace
