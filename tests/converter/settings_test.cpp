// The per-handle policy accessors and the character-size query.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <climits>
#include <functional>

namespace {

class Settings : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h_), CVT_OK); }
    void TearDown() override { EXPECT_EQ(KXUXUnloadConverter(h_), CVT_OK); }

    std::pair<int32_t, int32_t> NoMap() {
        int32_t b = 99, u = 99;
        EXPECT_EQ(KXUXGetNoMapAction(h_, &b, &u), CVT_OK);
        return {b, u};
    }
    std::pair<int32_t, int32_t> Scan() {
        int32_t b = 99, u = 99;
        EXPECT_EQ(KXUXGetScanAction(h_, &b, &u), CVT_OK);
        return {b, u};
    }

    ConverterHandle h_ = nullptr;
};

using Pair = std::pair<int32_t, int32_t>;

TEST_F(Settings, DefaultsAfterLoad) {
    EXPECT_EQ(NoMap(), Pair(NOMAP_SUBSTITUTE, NOMAP_FIXER));
    EXPECT_EQ(Scan(), Pair(SCAN_ESCAPES, SCAN_NONE));
    uint8_t sub_byte = 0;
    uint16_t sub_uni = 0;
    EXPECT_EQ(KXUXGetSubByte(h_, &sub_byte), CVT_OK);
    EXPECT_EQ(KXUXGetSubUni(h_, &sub_uni), CVT_OK);
    EXPECT_EQ(sub_byte, 0x03);
    EXPECT_EQ(sub_uni, 0xFFFD);
    EXPECT_EQ(KXUXGetNoMapAction(h_, nullptr, nullptr), CVT_OK);
    EXPECT_EQ(KXUXGetScanAction(h_, nullptr, nullptr), CVT_OK);
}

struct ActionCase {
    int32_t byteValue;
    int32_t uniValue;
    int32_t result;
    Pair after;
};

TEST_F(Settings, NoMapActionValidation) {
    const ActionCase cases[] = {
        {3, 0, CVT_E_BAD_PARAMETER, {1, 2}},
        {-1, 0, CVT_OK, {1, 0}},
        {-2, -1, CVT_E_BAD_PARAMETER, {1, 2}},
        {0, 3, CVT_E_BAD_PARAMETER, {1, 2}},
        {0, -1, CVT_OK, {0, 2}},
        {2, 1, CVT_OK, {2, 1}},
        {-1, -1, CVT_OK, {1, 2}},
        {INT32_MIN, 0, CVT_E_BAD_PARAMETER, {1, 2}},
        {0, INT32_MAX, CVT_E_BAD_PARAMETER, {1, 2}},
    };
    for (const ActionCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.byteValue << ", " << c.uniValue);
        ASSERT_EQ(KXUXResetConverter(h_), CVT_OK);
        EXPECT_EQ(KXUXSetNoMapAction(h_, c.byteValue, c.uniValue), c.result);
        EXPECT_EQ(NoMap(), c.after);
        EXPECT_EQ(Scan(), Pair(2, 0)) << "the scan actions are not touched";
    }
}

TEST_F(Settings, ScanActionValidation) {
    const ActionCase cases[] = {
        {1, -1, CVT_E_BAD_PARAMETER, {2, 0}},
        {-2, -1, CVT_E_BAD_PARAMETER, {2, 0}},
        {3, 0, CVT_E_BAD_PARAMETER, {2, 0}},
        {-1, 1, CVT_E_BAD_PARAMETER, {2, 0}},
        {-1, 3, CVT_E_BAD_PARAMETER, {2, 0}},
        {0, 1, CVT_E_BAD_PARAMETER, {2, 0}},
        {-1, -2, CVT_OK, {2, -2}},
        {-1, INT32_MIN, CVT_OK, {2, INT32_MIN}},
        {0, 2, CVT_OK, {0, 2}},
        {2, 0, CVT_OK, {2, 0}},
        {-1, -1, CVT_OK, {2, 0}},
        {0, -1, CVT_OK, {0, 0}},
    };
    for (const ActionCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.byteValue << ", " << c.uniValue);
        ASSERT_EQ(KXUXResetConverter(h_), CVT_OK);
        EXPECT_EQ(KXUXSetScanAction(h_, c.byteValue, c.uniValue), c.result);
        EXPECT_EQ(Scan(), c.after);
        EXPECT_EQ(NoMap(), Pair(1, 2)) << "the no-map actions are not touched";
    }
}

TEST_F(Settings, SubstitutionCharacters) {
    uint8_t sub_byte = 0;
    uint16_t sub_uni = 0;
    for (const uint8_t value : {uint8_t{0x3F}, uint8_t{0}, uint8_t{0xFF}}) {
        EXPECT_EQ(KXUXSetSubByte(h_, value), CVT_OK);
        EXPECT_EQ(KXUXGetSubByte(h_, &sub_byte), CVT_OK);
        EXPECT_EQ(sub_byte, value);
    }
    for (const uint16_t value : {uint16_t{0x3F}, uint16_t{0}, uint16_t{0xFFFF}, uint16_t{0xD800}}) {
        EXPECT_EQ(KXUXSetSubUni(h_, value), CVT_OK);
        EXPECT_EQ(KXUXGetSubUni(h_, &sub_uni), CVT_OK);
        EXPECT_EQ(sub_uni, value);
    }
    EXPECT_EQ(KXUXSetSubByte(h_, 0x3F), CVT_OK);
    EXPECT_EQ(KXUXResetConverter(h_), CVT_OK);
    EXPECT_EQ(KXUXGetSubByte(h_, &sub_byte), CVT_OK);
    EXPECT_EQ(KXUXGetSubUni(h_, &sub_uni), CVT_OK);
    EXPECT_EQ(sub_byte, 0x03);
    EXPECT_EQ(sub_uni, 0xFFFD);
    EXPECT_EQ(KXUXGetSubByte(h_, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXUXGetSubUni(h_, nullptr), CVT_E_BAD_PARAMETER);
}

// Stand-ins that are never called: only their addresses are compared.
int32_t OtherByteFixer(ConverterHandle, uint16_t *, uint32_t, uint32_t *, const char *, uint32_t) {
    return CVT_OK;
}
const char *OtherByteScanner(ConverterHandle, const char *, int32_t) { return nullptr; }
int32_t OtherByteParser(ConverterHandle, uint16_t *, uint32_t, uint32_t *, const char *,
                        uint32_t *) {
    return CVT_OK;
}
int32_t OtherUniFixer(ConverterHandle, char *, uint32_t, uint32_t *, const uint16_t *, uint32_t) {
    return CVT_OK;
}
const uint16_t *OtherUniScanner(ConverterHandle, const uint16_t *, int32_t) { return nullptr; }
int32_t OtherUniParser(ConverterHandle, char *, uint32_t, uint32_t *, const uint16_t *,
                       uint32_t *) {
    return CVT_OK;
}

TEST_F(Settings, ByteFunctions) {
    const auto keepScanner = reinterpret_cast<ByteScanner>(KEEP_FUNCTION);
    const auto keepFixer = reinterpret_cast<ByteNoMapFixer>(KEEP_FUNCTION);
    const auto keepParser = reinterpret_cast<ByteParser>(KEEP_FUNCTION);
    ByteNoMapFixer fixer = nullptr;
    ByteScanner scanner = nullptr;
    ByteParser parser = nullptr;

    EXPECT_EQ(KXUXSetByteFunctions(h_, OtherByteFixer, OtherByteScanner, OtherByteParser), CVT_OK);
    EXPECT_EQ(KXUXGetByteFunctions(h_, &fixer, &scanner, &parser), CVT_OK);
    EXPECT_EQ(fixer, OtherByteFixer);
    EXPECT_EQ(scanner, OtherByteScanner);
    EXPECT_EQ(parser, OtherByteParser);

    // Null restores the default, all bits set keeps, anything else is stored.
    EXPECT_EQ(KXUXSetByteFunctions(h_, nullptr, keepScanner, KXZByteParserForOemEuro), CVT_OK);
    EXPECT_EQ(KXUXGetByteFunctions(h_, &fixer, &scanner, &parser), CVT_OK);
    EXPECT_EQ(fixer, KXZNoMapByteFixer);
    EXPECT_EQ(scanner, OtherByteScanner);
    EXPECT_EQ(parser, KXZByteParserForOemEuro);

    EXPECT_EQ(KXUXSetByteFunctions(h_, keepFixer, nullptr, keepParser), CVT_OK);
    EXPECT_EQ(KXUXGetByteFunctions(h_, &fixer, &scanner, &parser), CVT_OK);
    EXPECT_EQ(fixer, KXZNoMapByteFixer);
    EXPECT_EQ(scanner, KXZByteScanner);
    EXPECT_EQ(parser, KXZByteParserForOemEuro);

    EXPECT_EQ(KXUXGetByteFunctions(h_, nullptr, nullptr, nullptr), CVT_OK);
    // The other direction is not touched.
    EXPECT_EQ(h_->uniNoMapFixer, KXZNoMapUniFixer);
    EXPECT_EQ(h_->uniScanner, KXZUniScanner);
    EXPECT_EQ(h_->uniParser, KXZUniParser);
}

TEST_F(Settings, UniFunctions) {
    const auto keepScanner = reinterpret_cast<UniScanner>(KEEP_FUNCTION);
    const auto keepFixer = reinterpret_cast<UniNoMapFixer>(KEEP_FUNCTION);
    UniNoMapFixer fixer = nullptr;
    UniScanner scanner = nullptr;
    UniParser parser = nullptr;

    EXPECT_EQ(KXUXSetUniFunctions(h_, OtherUniFixer, OtherUniScanner, OtherUniParser), CVT_OK);
    EXPECT_EQ(KXUXSetUniFunctions(h_, keepFixer, keepScanner, nullptr), CVT_OK);
    EXPECT_EQ(KXUXGetUniFunctions(h_, &fixer, &scanner, &parser), CVT_OK);
    EXPECT_EQ(fixer, OtherUniFixer);
    EXPECT_EQ(scanner, OtherUniScanner);
    EXPECT_EQ(parser, KXZUniParser);

    EXPECT_EQ(KXUXSetUniFunctions(h_, nullptr, nullptr, KXZUniParserForOemEuro), CVT_OK);
    EXPECT_EQ(KXUXGetUniFunctions(h_, &fixer, &scanner, &parser), CVT_OK);
    EXPECT_EQ(fixer, KXZNoMapUniFixer);
    EXPECT_EQ(scanner, KXZUniScanner);
    EXPECT_EQ(parser, KXZUniParserForOemEuro);
    EXPECT_EQ(h_->byteParser, KXZByteParser);

    EXPECT_EQ(KXUXResetConverter(h_), CVT_OK);
    EXPECT_EQ(KXUXGetUniFunctions(h_, &fixer, &scanner, &parser), CVT_OK);
    EXPECT_EQ(parser, KXZUniParser);
}

TEST(SettingsRefused, EveryAccessorChecksTheHandle) {
    ConverterHandle lower = nullptr;
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_LOWER, &lower), CVT_OK);
    Converter unloaded{};
    unloaded.kind = CONVERTER_BYTE_UNI;

    int32_t b = 0, u = 0;
    uint8_t sb = 0;
    uint16_t su = 0;
    ByteNoMapFixer bf = nullptr;
    ByteScanner bs = nullptr;
    ByteParser bp = nullptr;
    UniNoMapFixer uf = nullptr;
    UniScanner us = nullptr;
    UniParser up = nullptr;
    uint32_t size = 0;
    const std::function<int32_t(ConverterHandle)> accessors[] = {
        [&](ConverterHandle h) { return KXUXGetNoMapAction(h, &b, &u); },
        [&](ConverterHandle h) { return KXUXSetNoMapAction(h, 0, 0); },
        [&](ConverterHandle h) { return KXUXGetScanAction(h, &b, &u); },
        [&](ConverterHandle h) { return KXUXSetScanAction(h, 0, 0); },
        [&](ConverterHandle h) { return KXUXGetSubByte(h, &sb); },
        [&](ConverterHandle h) { return KXUXSetSubByte(h, 1); },
        [&](ConverterHandle h) { return KXUXGetSubUni(h, &su); },
        [&](ConverterHandle h) { return KXUXSetSubUni(h, 1); },
        [&](ConverterHandle h) { return KXUXGetByteFunctions(h, &bf, &bs, &bp); },
        [&](ConverterHandle h) { return KXUXSetByteFunctions(h, nullptr, nullptr, nullptr); },
        [&](ConverterHandle h) { return KXUXGetUniFunctions(h, &uf, &us, &up); },
        [&](ConverterHandle h) { return KXUXSetUniFunctions(h, nullptr, nullptr, nullptr); },
        [&](ConverterHandle h) { return KXUXGetCharSize(h, "A", &size); },
        [&](ConverterHandle h) { return KXUXEnableOemEuro(h); },
    };
    struct Case {
        ConverterHandle handle;
        int32_t result;
    };
    const Case cases[] = {{lower, CVT_E_WRONG_KIND},
                          {&unloaded, CVT_E_BAD_HANDLE},
                          {nullptr, CVT_E_NULL_HANDLE}};
    Converter lower_before;
    std::memcpy(&lower_before, lower, sizeof lower_before);
    for (const Case &c : cases) {
        for (size_t i = 0; i < std::size(accessors); ++i) {
            SCOPED_TRACE(testing::Message() << "accessor " << i << " expecting " << c.result);
            size = 77;
            EXPECT_EQ(accessors[i](c.handle), c.result);
            if (i == 12) {
                EXPECT_EQ(size, 0u);
            }
        }
    }
    EXPECT_EQ(std::memcmp(&lower_before, lower, sizeof lower_before), 0);
    Converter blank{};
    blank.kind = CONVERTER_BYTE_UNI;
    EXPECT_EQ(std::memcmp(&blank, &unloaded, sizeof blank), 0);
    EXPECT_EQ(KXUXUnloadConverter(lower), CVT_OK);
}

TEST_F(Settings, CharSize) {
    struct Case {
        const char *locale;
        const char *bytes;
        int32_t result;
        uint32_t size;
    };
    const Case cases[] = {
        {"en_US.UTF-8", "A", CVT_OK, 1},
        {"en_US.UTF-8", "\xE2\x82\xAC", CVT_OK, 3},
        {"en_US.UTF-8", "\xC3\xA9xyz", CVT_OK, 2},
        {"en_US.UTF-8", "", CVT_OK, 0},
        {"en_US.UTF-8", "\x80", -1, 0},
        {"en_US.UTF-8", "\xE2\x82", -1, 0},
        {"ja_JP.EUC-JP", "\xA4\xA2", CVT_OK, 2},
        {"de_DE.ISO-8859-1", "\xE9", CVT_OK, 1},
        {"ru_RU.CP1251", "\xC0", CVT_OK, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.locale << " " << c.bytes);
        qtest::LocaleScope locale(c.locale);
        uint32_t size = 99;
        EXPECT_EQ(KXUXGetCharSize(h_, c.bytes, &size), c.result);
        EXPECT_EQ(size, c.size);
    }
    uint32_t size = 99;
    EXPECT_EQ(KXUXGetCharSize(h_, nullptr, &size), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(KXUXGetCharSize(h_, "A", nullptr), CVT_E_BAD_PARAMETER);
}

}  // namespace
