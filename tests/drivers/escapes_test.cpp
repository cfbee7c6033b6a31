// The escape syntax (fixers write it, scanners find it, parsers read it) and
// the OEM Euro variants.
#include <quemba/converter.h>

#include <quemba_test.h>

namespace {

using namespace std::literals;
using qtest::kUnset;
enum Which { kByte, kUni, kByteEuro, kUniEuro };

// UTF-16 side texts are written as bytes; \x01 stands for U+20AC.
std::u16string Units(const std::string &s) {
    std::u16string w;
    for (const char c : s) w += c == 1 ? u'\u20AC' : char16_t(static_cast<unsigned char>(c));
    return w;
}

// Exactly sized source (a NUL only for length < 0), so reading past what
// the caller gave is an overread under the sanitizer preset.
intptr_t Scan(Which which, const std::string &text, int32_t length) {
    if (which == kByte || which == kByteEuro) {
        std::vector<char> src(text.begin(), text.end());
        if (length < 0) src.push_back(0);
        const char *hit = (which == kByte ? KXZByteScanner : KXZByteScannerForOemEuro)(nullptr, src.data(), length);
        return hit ? hit - src.data() : -1;
    }
    const std::u16string wide = Units(text);
    std::vector<uint16_t> src(wide.begin(), wide.end());
    if (length < 0) src.push_back(0);
    const uint16_t *hit = (which == kUni ? KXZUniScanner : KXZUniScannerForOemEuro)(nullptr, src.data(), length);
    return hit ? hit - src.data() : -1;
}

TEST(Escapes, ScannersFindWholeEscapesInsideTheLength) {
    struct Case { Which which; std::string text; int32_t length; intptr_t found; };
    const Case cases[] = {
        {kByte, "[00E9]", -1, 0}, {kByte, "[00e9]", -1, -1}, {kByte, "[00E9", -1, -1}, {kByte, "[0G00]", -1, -1},
        {kByte, "[ 0E9]", -1, -1}, {kByte, "(00E9)", -1, -1}, {kByte, "ab[0041]", 8, 2}, {kByte, "ab[0041]", 7, -1},
        {kByte, "[0041]", 6, 0}, {kByte, "[0041]", 5, -1}, {kByte, "[0041]", 0, -1}, {kByte, "abc[FFFF]", -1, 3},
        {kByte, "[[0041]", -1, 1}, {kByte, "x[004", -1, -1}, {kByte, "", -1, -1}, {kByte, "[00\0" "41]"s, 7, -1},
        {kUni, "x[7F]", -1, 1}, {kUni, "[7f]", -1, -1}, {kUni, "[7]", -1, -1}, {kUni, "[7F]", 4, 0},
        {kUni, "[7F]", 3, -1}, {kUni, "ab[00]", 5, -1}, {kUni, "[[FF]", -1, 1}, {kUni, "[7\0F]"s, 5, -1},
        {kUni, "", -1, -1}, {kByteEuro, "5\xCC", -1, 1}, {kByteEuro, "\xCC", 1, 0}, {kByteEuro, "ab\xCC", 2, -1},
        {kByteEuro, "ab[0041]", -1, 2}, {kByteEuro, "ab[0041]", 7, -1}, {kByteEuro, "x[004\xCC", -1, 5},
        {kByteEuro, "\xCC", 0, -1}, {kByteEuro, "a\0\xCC"s, 3, -1}, {kByteEuro, "", -1, -1},
        {kUniEuro, "5\x01", -1, 1}, {kUniEuro, "5\x01", 1, -1}, {kUniEuro, "\x01", 0, -1}, {kUniEuro, "[41]", -1, -1},
        {kUniEuro, "a\0\x01"s, 3, -1},
    };
    for (const Case &c : cases) EXPECT_EQ(Scan(c.which, c.text, c.length), c.found) << "case " << (&c - cases);
    EXPECT_EQ(KXZUniScanner(nullptr, qtest::U(u"[\uFF17\uFF26]"), -1), nullptr);  // full-width digits
    EXPECT_EQ(KXZByteScanner(nullptr, nullptr, -1), nullptr);
}

TEST(Escapes, FixersWriteWholeEscapesOrNothing) {
    struct Case { bool toBytes; std::string in; uint32_t space; int32_t result; std::string out; };
    const Case cases[] = {
        {false, "\x82\xA0", 8, CVT_OK, "[82][A0]"}, {false, "\x82\xA0", 7, CVT_E_BUFFER_FULL, ""},
        {false, "\x82", 0, CVT_E_BUFFER_FULL, ""}, {false, "", 0, CVT_OK, ""}, {false, "\0\xFF\x5B"s, 13, CVT_OK, "[00][FF][5B]"},
        {true, "\xE9\x01", 13, CVT_OK, "[00E9][20AC]"}, {true, "\x01", 5, CVT_E_BUFFER_FULL, ""},
        {true, "\xE9\x01", 11, CVT_E_BUFFER_FULL, ""}, {true, "", 0, CVT_OK, ""},
    };
    for (const Case &c : cases) {
        uint32_t produced = kUnset;
        std::string written;
        qtest::Guarded<char> bytes(c.toBytes ? c.space : 0, 'z');
        qtest::Guarded<uint16_t> units(c.toBytes ? 0 : c.space, 'z');
        const std::u16string in = Units(c.in);
        const int32_t result = c.toBytes
            ? KXZNoMapUniFixer(nullptr, bytes.data(), c.space, &produced, qtest::U(in), uint32_t(in.size()))
            : KXZNoMapByteFixer(nullptr, units.data(), c.space, &produced, c.in.data(), uint32_t(c.in.size()));
        for (uint32_t i = 0; i < c.space; ++i) written += c.toBytes ? bytes[i] : char(units[i]);
        EXPECT_TRUE(result == c.result && produced == c.out.size() && bytes.intact() && units.intact()) << c.out;
        EXPECT_EQ(written, c.out + std::string(c.space - c.out.size(), 'z'));
    }
    // Counts whose escape length wraps around 32 bits must not pass the space test.
    qtest::Guarded<uint16_t> units(4);
    qtest::Guarded<char> bytes(6);
    uint32_t produced = kUnset;
    EXPECT_EQ(KXZNoMapByteFixer(nullptr, units.data(), 4, &produced, "\x81", 0x40000001u), CVT_E_BUFFER_FULL);
    EXPECT_EQ(KXZNoMapUniFixer(nullptr, bytes.data(), 6, &produced, qtest::U(u"x"), 0x2AAAAAABu), CVT_E_BUFFER_FULL);
    EXPECT_TRUE(produced == 0 && units.intact() && bytes.intact());
    EXPECT_EQ(KXZNoMapByteFixer(nullptr, nullptr, 8, &produced, "\x81", 1), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZNoMapUniFixer(nullptr, nullptr, 6, &produced, qtest::U(u"x"), 1), CVT_E_BAD_PARAMETER);
}

TEST(Escapes, ParsersTrustTheScannerButStopAtANul) {
    struct Case { Which which; std::string text; uint32_t space; int32_t result; uint16_t value; uint32_t consumed; };
    const int32_t OK = CVT_OK, FULL = CVT_E_BUFFER_FULL, NOMAP = CVT_E_NO_MAP;
    const Case cases[] = {
        {kByte, "[4E2D]", 1, OK, 0x4E2D, 6}, {kByte, "[0000]x", 3, OK, 0, 6}, {kByte, "[4E2D]", 0, FULL, 0, kUnset},
        {kUni, "[7F]", 1, OK, 0x7F, 4}, {kUni, "[00]x", 2, OK, 0, 4}, {kUni, "[7F]", 0, FULL, 0, kUnset},
        {kByteEuro, "\xCCx", 2, OK, 0x20AC, 1}, {kByteEuro, "[00CC]", 1, OK, 0xCC, 6}, {kByteEuro, "\xCC", 0, FULL, 0, kUnset},
        {kUniEuro, "\x01\x01", 3, OK, 0xCC, 1}, {kUniEuro, "\x01", 0, FULL, 0, kUnset},
        // Whatever a scanner of the program's own marks: brackets untested,
        // any other digit c counts c - 0x37, the Euro parsers take any sign.
        {kByte, "{4E2D}", 1, OK, 0x4E2D, 6}, {kByte, "[4e2d]", 1, OK, 0x6E4D, 6}, {kByte, "[ 0E9]", 1, OK, 0x90E9, 6},
        {kUni, "x[7F]", 1, OK, 0x47, 4}, {kUni, "[7f]", 1, OK, 0x9F, 4}, {kUni, "(\x01\x01)", 1, OK, 0xC5, 4},
        {kByteEuro, "$", 1, OK, 0x20AC, 1}, {kByteEuro, "[4e2d]", 1, OK, 0x6E4D, 6}, {kUniEuro, "\xA3", 1, OK, 0xCC, 1},
        // A NUL inside the escape's length ends the text: nothing past it is read.
        {kByte, "", 1, NOMAP, 0, kUnset}, {kByte, "[4E", 1, NOMAP, 0, kUnset}, {kByte, "[4E2D", 1, NOMAP, 0, kUnset},
        {kUni, "", 1, NOMAP, 0, kUnset}, {kUni, "[7", 1, NOMAP, 0, kUnset}, {kUni, "[7F", 1, NOMAP, 0, kUnset},
        {kByteEuro, "", 1, NOMAP, 0, kUnset}, {kByteEuro, "[00C", 1, NOMAP, 0, kUnset}, {kUniEuro, "", 1, NOMAP, 0, kUnset},
    };
    for (const Case &c : cases) {
        uint32_t produced = kUnset, consumed = kUnset, first = 0x7777;
        int32_t result = 0;
        bool intact = false;
        if (c.which == kByte || c.which == kByteEuro) {
            qtest::Guarded<uint16_t> out(c.space, 0x7777);
            result = (c.which == kByte ? KXZByteParser : KXZByteParserForOemEuro)(
                nullptr, out.data(), c.space, &produced, c.text.c_str(), &consumed);
            first = c.space ? out[0] : first, intact = out.intact();
        } else {
            qtest::Guarded<char> out(c.space, 0x77);
            result = (c.which == kUni ? KXZUniParser : KXZUniParserForOemEuro)(
                nullptr, out.data(), c.space, &produced, qtest::U(Units(c.text)), &consumed);
            first = c.space && out[0] != 0x77 ? uint8_t(out[0]) : first, intact = out.intact();
        }
        EXPECT_TRUE(result == c.result && intact) << "case " << (&c - cases);
        EXPECT_EQ(first, c.result == CVT_OK ? c.value : 0x7777u) << "case " << (&c - cases);
        EXPECT_TRUE(produced == (c.result == CVT_OK ? 1u : kUnset) && consumed == c.consumed) << (&c - cases);
    }
    uint16_t unit = 0;
    EXPECT_EQ(KXZByteParser(nullptr, nullptr, 1, nullptr, "[0041]", nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZByteParser(nullptr, &unit, 1, nullptr, "[0041]", nullptr), CVT_OK);  // counts optional
    EXPECT_EQ(unit, 0x41);
}

// What a fixer writes, the scanner of the other direction finds and its
// parser reads back, for every value.
TEST(Escapes, EveryValueSurvivesFixerScannerParser) {
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
        const uint16_t unit = uint16_t(v);
        const char byte = char(v);
        char text[7] = {}, again = 0;
        uint16_t back = 0, units[5] = {};
        uint32_t n = 0, used = 0;
        ASSERT_EQ(KXZNoMapUniFixer(nullptr, text, 6, &n, &unit, 1), CVT_OK);
        ASSERT_EQ(KXZByteScanner(nullptr, text, -1), text);
        ASSERT_TRUE(KXZByteParser(nullptr, &back, 1, &n, text, &used) == CVT_OK && back == unit) << v;
        ASSERT_EQ(KXZNoMapByteFixer(nullptr, units, 4, &n, &byte, 1), CVT_OK);
        ASSERT_EQ(KXZUniScanner(nullptr, units, -1), units);
        ASSERT_TRUE(KXZUniParser(nullptr, &again, 1, &n, units, &used) == CVT_OK && again == byte) << v;
    }
}

TEST(EnableOemEuro, ByCodePageUntilReset) {
    const uint32_t pages[] = {437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869,
                              0, 858, 1252, 436, 864, 65001};
    for (const uint32_t &page : pages) {
        const bool oem = &page - pages < 14;  // the first fourteen
        ConverterHandle h = nullptr;
        ASSERT_EQ(KXZLoadByteUnicodeConverter(page, 1, &h), CVT_OK);
        for (int round = 0; round < 2; ++round) {  // twice is once
            EXPECT_EQ(KXUXEnableOemEuro(h), CVT_OK);
            EXPECT_TRUE(h->byteScanAction == SCAN_ESCAPES && h->uniScanAction == SCAN_ESCAPES) << page;
            EXPECT_TRUE(h->uniNoMapAction == NOMAP_FIXER && h->uniNoMapFixer == KXZNoMapUniFixer);
            EXPECT_TRUE(h->byteScanner == (oem ? KXZByteScannerForOemEuro : KXZByteScanner) &&
                        h->byteParser == (oem ? KXZByteParserForOemEuro : KXZByteParser) &&
                        h->uniScanner == (oem ? KXZUniScannerForOemEuro : KXZUniScanner) &&
                        h->uniParser == (oem ? KXZUniParserForOemEuro : KXZUniParser)) << page;
        }
        EXPECT_EQ(KXUXResetConverter(h), CVT_OK);
        EXPECT_TRUE(h->uniScanAction == SCAN_NONE && h->byteScanner == KXZByteScanner && h->uniParser == KXZUniParser);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    }
}

}  // namespace
