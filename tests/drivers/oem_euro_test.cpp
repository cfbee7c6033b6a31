// OEM Euro mode: the byte 0xCC and U+20AC for the OEM code pages.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <optional>

namespace {

using qtest::Guarded;

constexpr uint32_t kUnset = 0xDEADBEEF;
constexpr uint32_t kOemPages[] = {437, 737, 775, 850, 852, 855, 857,
                                  860, 861, 862, 863, 865, 866, 869};

struct ScanCase {
    std::string text;
    int32_t length;
    std::optional<size_t> found;
};

TEST(ByteScannerForOemEuro, FindsEuroBytesAndUnitEscapes) {
    const ScanCase cases[] = {
        {"5\xCC", -1, 1},
        {"\xCC", -1, 0},
        {"\xCC", 1, 0},
        {"ab[0041]", -1, 2},
        {"ab[0041]", 8, 2},
        {"ab[0041]", 7, {}},
        {"ab\xCC", 2, {}},
        {"ab\xCC", 3, 2},
        {"[0041]\xCC", -1, 0},
        {"x[004\xCC", -1, 5},
        {"[00e9]", -1, {}},
        {"abc", -1, {}},
        {"\xCC", 0, {}},
        {"", -1, {}},
        {std::string("a\0\xCC", 3), 3, {}},
    };
    for (const ScanCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.text.size() << " bytes, length " << c.length);
        std::vector<char> src(c.text.begin(), c.text.end());
        if (c.length < 0) src.push_back('\0');
        const char *hit = KXZByteScannerForOemEuro(nullptr, src.data(), c.length);
        if (c.found) {
            EXPECT_EQ(hit, src.data() + *c.found);
        } else {
            EXPECT_EQ(hit, nullptr);
        }
    }
}

TEST(UniScannerForOemEuro, FindsTheEuroUnitOnly) {
    struct Case {
        std::u16string text;
        int32_t length;
        std::optional<size_t> found;
    };
    const Case cases[] = {
        {u"5\u20AC", -1, 1}, {u"5\u20AC", 2, 1},   {u"5\u20AC", 1, {}}, {u"\u20AC", 0, {}},
        {u"[41]", -1, {}},   {u"", -1, {}},        {u"ab\u20AC\u20AC", -1, 2},
        {std::u16string(u"a\0\u20AC", 3), 3, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.text.size() << " units, length " << c.length);
        std::vector<uint16_t> src(c.text.begin(), c.text.end());
        if (c.length < 0) src.push_back(0);
        const uint16_t *hit = KXZUniScannerForOemEuro(nullptr, src.data(), c.length);
        if (c.found) {
            EXPECT_EQ(hit, src.data() + *c.found);
        } else {
            EXPECT_EQ(hit, nullptr);
        }
    }
}

TEST(ByteParserForOemEuro, EuroByteOrUnitEscape) {
    struct Case {
        const char *text;
        uint32_t space;
        int32_t result;
        uint16_t unit;
        uint32_t consumed;
    };
    const Case cases[] = {
        {"\xCC", 1, CVT_OK, 0x20AC, 1},
        {"\xCCxyz", 2, CVT_OK, 0x20AC, 1},
        {"[0041]", 1, CVT_OK, 0x0041, 6},
        {"[00CC]", 1, CVT_OK, 0x00CC, 6},
        {"\xCC", 0, CVT_E_BUFFER_FULL, 0x7777, kUnset},
        {"x", 1, CVT_E_NO_MAP, 0x7777, kUnset},
        {"[00", 1, CVT_E_NO_MAP, 0x7777, kUnset},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Guarded<uint16_t> out(c.space, 0x7777);
        uint32_t produced = kUnset, consumed = kUnset;
        EXPECT_EQ(KXZByteParserForOemEuro(nullptr, out.data(), out.size(), &produced, c.text,
                                          &consumed),
                  c.result);
        if (c.space > 0) {
            EXPECT_EQ(out[0], c.unit);
        }
        EXPECT_EQ(produced, c.result == CVT_OK ? 1u : kUnset);
        EXPECT_EQ(consumed, c.consumed);
        EXPECT_TRUE(out.intact());
    }
}

TEST(UniParserForOemEuro, EuroUnitToEuroByte) {
    struct Case {
        std::u16string text;
        uint32_t space;
        int32_t result;
        char byte;
        uint32_t consumed;
    };
    const Case cases[] = {
        {u"\u20AC", 1, CVT_OK, '\xCC', 1},
        {u"\u20AC\u20AC", 3, CVT_OK, '\xCC', 1},
        {u"\u20AC", 0, CVT_E_BUFFER_FULL, 'z', kUnset},
        {u"[41]", 1, CVT_E_NO_MAP, 'z', kUnset},
    };
    for (const Case &c : cases) {
        Guarded<char> out(c.space, 'z');
        uint32_t produced = kUnset, consumed = kUnset;
        EXPECT_EQ(KXZUniParserForOemEuro(nullptr, out.data(), out.size(), &produced,
                                         qtest::U(c.text), &consumed),
                  c.result);
        if (c.space > 0) {
            EXPECT_EQ(out[0], c.byte);
        }
        for (size_t i = 1; i < c.space; ++i) EXPECT_EQ(out[i], 'z');
        EXPECT_EQ(produced, c.result == CVT_OK ? 1u : kUnset);
        EXPECT_EQ(consumed, c.consumed);
        EXPECT_TRUE(out.intact());
    }
}

void ExpectFunctions(ConverterHandle h, ByteScanner bs, ByteParser bp, UniScanner us,
                     UniParser up) {
    EXPECT_EQ(h->byteScanner, bs);
    EXPECT_EQ(h->byteParser, bp);
    EXPECT_EQ(h->uniScanner, us);
    EXPECT_EQ(h->uniParser, up);
    EXPECT_EQ(h->byteNoMapFixer, KXZNoMapByteFixer);
    EXPECT_EQ(h->uniNoMapFixer, KXZNoMapUniFixer);
}

TEST(EnableOemEuro, ByCodePage) {
    std::vector<uint32_t> pages(std::begin(kOemPages), std::end(kOemPages));
    const std::vector<uint32_t> others = {0, 858, 1252, 436, 438, 864, 870, 65001};
    pages.insert(pages.end(), others.begin(), others.end());
    for (const uint32_t page : pages) {
        SCOPED_TRACE(page);
        const bool oem = std::find(std::begin(kOemPages), std::end(kOemPages), page) !=
                         std::end(kOemPages);
        ConverterHandle h = nullptr;
        ASSERT_EQ(KXZLoadByteUnicodeConverter(page, 1, &h), CVT_OK);
        ASSERT_EQ(KXUXSetNoMapAction(h, NOMAP_STOP, NOMAP_SUBSTITUTE), CVT_OK);
        for (int round = 0; round < 2; ++round) {  // twice is once
            EXPECT_EQ(KXUXEnableOemEuro(h), CVT_OK);
            EXPECT_EQ(h->byteScanAction, SCAN_ESCAPES);
            EXPECT_EQ(h->uniScanAction, SCAN_ESCAPES);
            EXPECT_EQ(h->byteNoMapAction, NOMAP_STOP);
            EXPECT_EQ(h->uniNoMapAction, NOMAP_SUBSTITUTE);
            if (oem) {
                ExpectFunctions(h, KXZByteScannerForOemEuro, KXZByteParserForOemEuro,
                                KXZUniScannerForOemEuro, KXZUniParserForOemEuro);
            } else {
                ExpectFunctions(h, KXZByteScanner, KXZByteParser, KXZUniScanner, KXZUniParser);
            }
        }
        EXPECT_EQ(KXUXResetConverter(h), CVT_OK);
        EXPECT_EQ(h->byteScanAction, SCAN_ESCAPES);
        EXPECT_EQ(h->uniScanAction, SCAN_NONE);
        ExpectFunctions(h, KXZByteScanner, KXZByteParser, KXZUniScanner, KXZUniParser);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    }
}

TEST(EnableOemEuro, RefusesOtherHandles) {
    ConverterHandle upper = nullptr;
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_UPPER, &upper), CVT_OK);
    Converter before;
    std::memcpy(&before, upper, sizeof before);
    EXPECT_EQ(KXUXEnableOemEuro(upper), CVT_E_WRONG_KIND);
    EXPECT_EQ(std::memcmp(&before, upper, sizeof before), 0);
    EXPECT_EQ(KXUXUnloadConverter(upper), CVT_OK);
    EXPECT_EQ(KXUXEnableOemEuro(nullptr), CVT_E_NULL_HANDLE);
}

// The installed slots work together the way a driver calls them: the text
// before the Euro byte goes through the engine step, the byte through the
// parser.
TEST(EnableOemEuro, SlotsConvertTheEuroWhateverTheLocale) {
    qtest::LocaleScope locale("en_US.UTF-8");
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXZLoadByteUnicodeConverter(850, 1, &h), CVT_OK);
    ASSERT_EQ(KXUXEnableOemEuro(h), CVT_OK);

    const char bytes[] = "5\xCC";
    const char *escape = h->byteScanner(h, bytes, -1);
    ASSERT_EQ(escape, bytes + 1);
    uint16_t units[2] = {};
    uint32_t consumed = 0, produced = 0, no_map = 0;
    EXPECT_EQ(h->toUnicodeStep(h->engineData, bytes, units, 1, 2, &consumed, &produced, &no_map),
              CVT_E_SOURCE_EXHAUSTED);
    EXPECT_EQ(h->byteParser(h, units + 1, 1, &produced, escape, &consumed), CVT_OK);
    EXPECT_EQ(units[0], u'5');
    EXPECT_EQ(units[1], 0x20AC);

    const uint16_t *text = qtest::U(u"5\u20AC");
    const uint16_t *euro = h->uniScanner(h, text, -1);
    ASSERT_EQ(euro, text + 1);
    char out[2] = {};
    EXPECT_EQ(h->toByteStep(h->engineData, text, out, 1, 2, &consumed, &produced, &no_map),
              CVT_E_SOURCE_EXHAUSTED);
    EXPECT_EQ(h->uniParser(h, out + 1, 1, &produced, euro, &consumed), CVT_OK);
    EXPECT_EQ(std::string(out, 2), "5\xCC");

    // Byte escapes in UTF-16 are no longer looked for; unit escapes in bytes are.
    EXPECT_EQ(h->uniScanner(h, qtest::U(u"[41]"), -1), nullptr);
    const char unit_escape[] = "[0041]";
    EXPECT_EQ(h->byteScanner(h, unit_escape, -1), unit_escape);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(EnableOemEuro, CodePageZeroScansBothWaysWithDefaults) {
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    ASSERT_EQ(KXUXEnableOemEuro(h), CVT_OK);
    const uint16_t *text = qtest::U(u"[41]");
    ASSERT_EQ(h->uniScanner(h, text, -1), text);
    char byte = 0;
    uint32_t produced = 0, consumed = 0;
    EXPECT_EQ(h->uniParser(h, &byte, 1, &produced, text, &consumed), CVT_OK);
    EXPECT_EQ(byte, 0x41);
    EXPECT_EQ(consumed, 4u);
    EXPECT_EQ(h->byteScanner(h, "\xCC", -1), nullptr);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

}  // namespace
