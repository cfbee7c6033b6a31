// The per-handle policy accessors and the character-size query.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <climits>

namespace {

using Pair = std::pair<int32_t, int32_t>;

class Settings : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h_), CVT_OK); }
    void TearDown() override { EXPECT_EQ(KXUXUnloadConverter(h_), CVT_OK); }
    Pair Get(int32_t (*get)(ConverterHandle, int32_t *, int32_t *)) {
        Pair p{99, 99};
        EXPECT_EQ(get(h_, &p.first, &p.second), CVT_OK);
        return p;
    }
    ConverterHandle h_ = nullptr;
};

TEST_F(Settings, ActionsAreValidatedBeforeEitherIsStored) {
    struct Case { bool scan; int32_t byteValue, uniValue, result; Pair after; };
    const Case cases[] = {
        {false, 3, 0, CVT_E_BAD_PARAMETER, {1, 2}},  {false, -1, 0, CVT_OK, {1, 0}},
        {false, -2, -1, CVT_E_BAD_PARAMETER, {1, 2}}, {false, 0, 3, CVT_E_BAD_PARAMETER, {1, 2}},
        {false, 2, 1, CVT_OK, {2, 1}},                {false, INT32_MIN, 0, CVT_E_BAD_PARAMETER, {1, 2}},
        {false, 0, -1, CVT_OK, {0, 2}},
        {true, 1, -1, CVT_E_BAD_PARAMETER, {2, 0}},   {true, -2, -1, CVT_E_BAD_PARAMETER, {2, 0}},
        {true, 3, 0, CVT_E_BAD_PARAMETER, {2, 0}},    {true, -1, 1, CVT_E_BAD_PARAMETER, {2, 0}},
        {true, -1, 3, CVT_E_BAD_PARAMETER, {2, 0}},   {true, 0, 1, CVT_E_BAD_PARAMETER, {2, 0}},
        {true, -1, -2, CVT_OK, {2, -2}},              {true, -1, INT32_MIN, CVT_OK, {2, INT32_MIN}},
        {true, 0, 2, CVT_OK, {0, 2}},                 {true, -1, -1, CVT_OK, {2, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.scan ? "scan " : "no-map ") << c.byteValue << ", " << c.uniValue);
        ASSERT_EQ(KXUXResetConverter(h_), CVT_OK);
        EXPECT_EQ((c.scan ? KXUXSetScanAction : KXUXSetNoMapAction)(h_, c.byteValue, c.uniValue), c.result);
        EXPECT_EQ(Get(KXUXGetScanAction), c.scan ? c.after : Pair(2, 0));
        EXPECT_EQ(Get(KXUXGetNoMapAction), c.scan ? Pair(1, 2) : c.after);
    }
    EXPECT_TRUE(KXUXGetNoMapAction(h_, nullptr, nullptr) == CVT_OK && KXUXGetScanAction(h_, nullptr, nullptr) == CVT_OK);
}

TEST_F(Settings, SubstitutesAndFunctionSlots) {
    uint8_t byte = 1;
    uint16_t unit = 1;
    EXPECT_TRUE(KXUXGetSubByte(h_, &byte) == CVT_OK && KXUXGetSubUni(h_, &unit) == CVT_OK);
    EXPECT_TRUE(byte == 0x03 && unit == 0xFFFD);
    EXPECT_TRUE(KXUXGetSubByte(h_, nullptr) == CVT_E_BAD_PARAMETER && KXUXGetSubUni(h_, nullptr) == CVT_E_BAD_PARAMETER);
    // The substitutes set are the ones the conversions write.
    ASSERT_EQ(KXUXSetNoMapAction(h_, NOMAP_SUBSTITUTE, NOMAP_SUBSTITUTE), CVT_OK);
    ASSERT_TRUE(KXUXSetSubByte(h_, '?') == CVT_OK && KXUXSetSubUni(h_, u'#') == CVT_OK);
    char bytes[4] = {};
    uint16_t units[4] = {};
    EXPECT_EQ(KXUXUnicodeToByte(h_, bytes, 4, qtest::U(u"x\u00E9"), nullptr), CVT_OK);
    qtest::LocaleScope utf8(qtest::kUtf8);
    EXPECT_EQ(KXUXByteToUnicode(h_, units, 4, "x\xFF", nullptr), CVT_OK);
    EXPECT_TRUE(std::string(bytes) == "x?" && qtest::S16(units) == u"x#");

    // Null restores the default, all bits set keeps, anything else is stored
    // (the OEM Euro functions stand in for foreign ones).
    const auto keep = [](auto fn) { return reinterpret_cast<decltype(fn)>(KEEP_FUNCTION); };
    ByteNoMapFixer bf = nullptr;
    ByteScanner bs = nullptr;
    ByteParser bp = nullptr;
    UniNoMapFixer uf = nullptr;
    UniScanner us = nullptr;
    UniParser up = nullptr;
    EXPECT_EQ(KXUXSetByteFunctions(h_, nullptr, KXZByteScannerForOemEuro, KXZByteParserForOemEuro), CVT_OK);
    EXPECT_EQ(KXUXSetByteFunctions(h_, keep(bf), keep(bs), nullptr), CVT_OK);
    EXPECT_EQ(KXUXGetByteFunctions(h_, &bf, &bs, &bp), CVT_OK);
    EXPECT_TRUE(bf == KXZNoMapByteFixer && bs == KXZByteScannerForOemEuro && bp == KXZByteParser);
    EXPECT_EQ(KXUXSetUniFunctions(h_, nullptr, KXZUniScannerForOemEuro, KXZUniParserForOemEuro), CVT_OK);
    EXPECT_EQ(KXUXSetUniFunctions(h_, keep(uf), nullptr, keep(up)), CVT_OK);
    EXPECT_EQ(KXUXGetUniFunctions(h_, &uf, &us, &up), CVT_OK);
    EXPECT_TRUE(uf == KXZNoMapUniFixer && us == KXZUniScanner && up == KXZUniParserForOemEuro);
    EXPECT_EQ(KXUXGetByteFunctions(h_, nullptr, nullptr, nullptr) | KXUXGetUniFunctions(h_, nullptr, nullptr, nullptr),
              CVT_OK);
}

TEST_F(Settings, CharSize) {
    struct Case { const char *locale, *bytes; int32_t result; uint32_t size; };
    const char *utf8 = qtest::kUtf8;
    const Case cases[] = {{utf8, "A", CVT_OK, 1}, {utf8, "\xE2\x82\xACx", CVT_OK, 3}, {utf8, "", CVT_OK, 0},
                          {utf8, "\x80", -1, 0}, {qtest::kEucJp, "\xA4\xA2", CVT_OK, 2}};
    for (const Case &c : cases) {
        qtest::LocaleScope locale(c.locale);
        uint32_t size = 99;
        EXPECT_TRUE(KXUXGetCharSize(h_, c.bytes, &size) == c.result && size == c.size) << (&c - cases);
    }
    uint32_t size = 99;
    EXPECT_EQ(KXUXGetCharSize(h_, nullptr, &size), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(KXUXGetCharSize(h_, "A", nullptr), CVT_E_BAD_PARAMETER);
}

TEST(SettingsRefused, EveryAccessorChecksTheHandleFirst) {
    ConverterHandle lower = nullptr;
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_LOWER, &lower), CVT_OK);
    Converter unloaded{}, before;
    unloaded.kind = CONVERTER_BYTE_UNI;
    std::memcpy(&before, lower, sizeof before);
    int32_t i = 0;
    uint8_t b = 0;
    uint16_t u = 0;
    for (const auto &[h, want] : {std::pair{lower, CVT_E_WRONG_KIND}, std::pair{&unloaded, CVT_E_BAD_HANDLE},
                                  std::pair{ConverterHandle{}, CVT_E_NULL_HANDLE}}) {
        uint32_t size = 77;
        const int32_t got[] = {
            KXUXGetCharSize(h, "A", &size), KXUXGetNoMapAction(h, &i, &i), KXUXSetNoMapAction(h, 0, 0),
            KXUXGetScanAction(h, &i, &i), KXUXSetScanAction(h, 0, 0), KXUXGetSubByte(h, &b), KXUXSetSubByte(h, 1),
            KXUXGetSubUni(h, &u), KXUXSetSubUni(h, 1), KXUXGetByteFunctions(h, nullptr, nullptr, nullptr),
            KXUXSetByteFunctions(h, nullptr, nullptr, nullptr), KXUXGetUniFunctions(h, nullptr, nullptr, nullptr),
            KXUXSetUniFunctions(h, nullptr, nullptr, nullptr), KXUXEnableOemEuro(h)};
        for (const int32_t result : got) EXPECT_EQ(result, want);
        EXPECT_EQ(size, 0u);
    }
    EXPECT_EQ(std::memcmp(&before, lower, sizeof before), 0);
    EXPECT_TRUE(unloaded.subByte == 0 && unloaded.byteScanAction == 0 && unloaded.byteParser == nullptr);
    EXPECT_EQ(KXUXUnloadConverter(lower), CVT_OK);
}

}  // namespace
