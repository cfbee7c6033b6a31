// The escape syntax: fixers write it, scanners find it, parsers read it.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <optional>

namespace {

using qtest::Guarded;

constexpr uint32_t kUnset = 0xDEADBEEF;

// Exactly sized copies: a count of bytes without a NUL, or the text and its
// NUL, so any read beyond what the caller gave is an overread.
std::vector<char> Bytes(const std::string &text, int32_t length) {
    std::vector<char> v(text.begin(), text.end());
    if (length < 0) v.push_back('\0');
    return v;
}

std::vector<uint16_t> Units(const std::u16string &text, int32_t length) {
    std::vector<uint16_t> v(text.begin(), text.end());
    if (length < 0) v.push_back(0);
    return v;
}

struct ScanCase {
    std::string text;  // for UTF-16 cases widened unit by unit
    int32_t length;
    std::optional<size_t> found;
};

TEST(ByteScanner, FindsOnlyWellFormedEscapes) {
    const ScanCase cases[] = {
        {"[00E9]", -1, 0},
        {"[00e9]", -1, {}},
        {"[00E9", -1, {}},
        {"[0G00]", -1, {}},
        {"[ 0E9]", -1, {}},
        {"(00E9)", -1, {}},
        {"[00E9)", -1, {}},
        {"[00E9 ]", -1, {}},
        {"[\xEF\xBC\x90" "0E9]", -1, {}},
        {"ab[0041]", 8, 2},
        {"ab[0041]", 7, {}},
        {"[0041]", 6, 0},
        {"[0041]", 5, {}},
        {"[0041]", 1, {}},
        {"[0041]", 0, {}},
        {"ab[0041]", -1, 2},
        {"abc[FFFF]", -1, 3},
        {"abc[FFFF]", 9, 3},
        {"[[0041]", -1, 1},
        {"[0041][0042]", -1, 0},
        {"x[004", -1, {}},
        {"", -1, {}},
        {std::string("[00\0" "41]", 7), 7, {}},
        {std::string("ab\0[0041]", 9), 9, {}},
        {"[0041]", -5, 0},
    };
    for (const ScanCase &c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text.c_str() << "\" length " << c.length);
        const std::vector<char> src = Bytes(c.text, c.length);
        const char *hit = KXZByteScanner(nullptr, src.data(), c.length);
        if (c.found) {
            EXPECT_EQ(hit, src.data() + *c.found);
        } else {
            EXPECT_EQ(hit, nullptr);
        }
    }
    EXPECT_EQ(KXZByteScanner(nullptr, nullptr, -1), nullptr);
}

TEST(UniScanner, FindsOnlyWellFormedEscapes) {
    const ScanCase cases[] = {
        {"x[7F]", -1, 1},   {"[7f]", -1, {}},   {"[7]", -1, {}},    {"[7F", -1, {}},
        {"[7F]", 4, 0},     {"[7F]", 3, {}},    {"[7F]", 0, {}},    {"ab[00]", 6, 2},
        {"ab[00]", 5, {}},  {"[G0]", -1, {}},   {"(7F)", -1, {}},   {"[[FF]", -1, 1},
        {"", -1, {}},       {"ab[FF]", -1, 2},  {std::string("[7\0F]", 5), 5, {}},
    };
    for (const ScanCase &c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text.c_str() << "\" length " << c.length);
        const std::vector<uint16_t> src =
            Units(std::u16string(c.text.begin(), c.text.end()), c.length);
        const uint16_t *hit = KXZUniScanner(nullptr, src.data(), c.length);
        if (c.found) {
            EXPECT_EQ(hit, src.data() + *c.found);
        } else {
            EXPECT_EQ(hit, nullptr);
        }
    }
    // Full-width digits are not digits of the syntax.
    const std::vector<uint16_t> wide = Units(u"[\uFF17\uFF26]", -1);
    EXPECT_EQ(KXZUniScanner(nullptr, wide.data(), -1), nullptr);
    EXPECT_EQ(KXZUniScanner(nullptr, nullptr, -1), nullptr);
}

TEST(NoMapByteFixer, WritesWholeEscapesOrNothing) {
    struct Case {
        std::string bytes;
        uint32_t space;
        int32_t result;
        std::u16string out;
    };
    const Case cases[] = {
        {"\x82\xA0", 8, CVT_OK, u"[82][A0]"},
        {"\x82\xA0", 9, CVT_OK, u"[82][A0]"},
        {"\x82\xA0", 7, CVT_E_BUFFER_FULL, u""},
        {"\x82", 3, CVT_E_BUFFER_FULL, u""},
        {"\x82", 0, CVT_E_BUFFER_FULL, u""},
        {"", 0, CVT_OK, u""},
        {std::string(1, '\0'), 4, CVT_OK, u"[00]"},
        {"\xFF\x5B\x0A", 12, CVT_OK, u"[FF][5B][0A]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes.size() << " bytes, space " << c.space);
        Guarded<uint16_t> out(c.space, 0x7777);
        uint32_t produced = kUnset;
        EXPECT_EQ(KXZNoMapByteFixer(nullptr, out.data(), out.size(), &produced, c.bytes.data(),
                                    static_cast<uint32_t>(c.bytes.size())),
                  c.result);
        EXPECT_EQ(produced, c.out.size());
        EXPECT_EQ(qtest::S16(out.data(), c.out.size()), c.out);
        for (size_t i = c.out.size(); i < c.space; ++i) EXPECT_EQ(out[i], 0x7777) << i;
        EXPECT_TRUE(out.intact());
    }
}

TEST(NoMapUniFixer, WritesWholeEscapesOrNothing) {
    struct Case {
        std::u16string units;
        uint32_t space;
        int32_t result;
        std::string out;
    };
    const Case cases[] = {
        {u"\u00E9", 6, CVT_OK, "[00E9]"},
        {u"\u4E2D", 6, CVT_OK, "[4E2D]"},
        {u"\u4E2D", 5, CVT_E_BUFFER_FULL, ""},
        {u"\u00E9\uFFFF", 12, CVT_OK, "[00E9][FFFF]"},
        {u"\u00E9\uFFFF", 11, CVT_E_BUFFER_FULL, ""},
        {u"\u000A", 7, CVT_OK, "[000A]"},
        {u"\xD83D", 6, CVT_OK, "[D83D]"},
        {u"", 0, CVT_OK, ""},
        {u"\u00E9", 0, CVT_E_BUFFER_FULL, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.out << " space " << c.space);
        Guarded<char> out(c.space, 'z');
        uint32_t produced = kUnset;
        const std::vector<uint16_t> units(c.units.begin(), c.units.end());
        EXPECT_EQ(KXZNoMapUniFixer(nullptr, out.data(), out.size(), &produced, units.data(),
                                   static_cast<uint32_t>(units.size())),
                  c.result);
        EXPECT_EQ(produced, c.out.size());
        EXPECT_EQ(std::string(out.data(), c.out.size()), c.out);
        for (size_t i = c.out.size(); i < c.space; ++i) EXPECT_EQ(out[i], 'z') << i;
        EXPECT_TRUE(out.intact());
    }
}

// Counts whose escape length wraps around 32 bits must not pass the space test.
TEST(NoMapFixers, HugeCountsDoNotWrap) {
    Guarded<uint16_t> units(4);
    Guarded<char> bytes(6);
    const char one_byte[1] = {'\x81'};
    const uint16_t one_unit[1] = {0x4E2D};
    uint32_t produced = kUnset;
    EXPECT_EQ(KXZNoMapByteFixer(nullptr, units.data(), 4, &produced, one_byte, 0x40000001u),
              CVT_E_BUFFER_FULL);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(KXZNoMapUniFixer(nullptr, bytes.data(), 6, &produced, one_unit, 0x2AAAAAABu),
              CVT_E_BUFFER_FULL);
    EXPECT_EQ(produced, 0u);
    EXPECT_TRUE(units.intact() && bytes.intact());
}

TEST(NoMapFixers, NullPointers) {
    uint32_t produced = kUnset;
    EXPECT_EQ(KXZNoMapByteFixer(nullptr, nullptr, 8, &produced, "\x81", 1), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(produced, 0u);
    uint16_t out[4];
    EXPECT_EQ(KXZNoMapByteFixer(nullptr, out, 4, &produced, nullptr, 1), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZNoMapUniFixer(nullptr, nullptr, 6, &produced, qtest::U(u"x"), 1),
              CVT_E_BAD_PARAMETER);
    // Nothing to write needs no buffer.
    EXPECT_EQ(KXZNoMapUniFixer(nullptr, nullptr, 0, &produced, nullptr, 0), CVT_OK);
    EXPECT_EQ(produced, 0u);
    // The produced count is optional.
    EXPECT_EQ(KXZNoMapByteFixer(nullptr, out, 4, nullptr, "\x81", 1), CVT_OK);
    EXPECT_EQ(out[1], u'8');
}

TEST(ByteParser, UnitEscapes) {
    struct Case {
        std::string text;
        uint32_t space;
        int32_t result;
        uint16_t unit;
        uint32_t produced;
        uint32_t consumed;
    };
    const Case cases[] = {
        {"[4E2D]", 1, CVT_OK, 0x4E2D, 1, 6},
        {"[4E2D]", 3, CVT_OK, 0x4E2D, 1, 6},
        {"[0000]", 1, CVT_OK, 0x0000, 1, 6},
        {"[FFFF]", 1, CVT_OK, 0xFFFF, 1, 6},
        {"[00E9]xyz", 1, CVT_OK, 0x00E9, 1, 6},
        {"[09AF]", 1, CVT_OK, 0x09AF, 1, 6},
        {"[4E2D]", 0, CVT_E_BUFFER_FULL, 0x7777, kUnset, kUnset},
        // Not an escape: refused rather than decoded from whatever follows.
        {"\xC3[00E9]", 1, CVT_E_NO_MAP, 0x7777, kUnset, kUnset},
        {"[4e2d]", 1, CVT_E_NO_MAP, 0x7777, kUnset, kUnset},
        {"[4E", 1, CVT_E_NO_MAP, 0x7777, kUnset, kUnset},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " space " << c.space);
        const std::vector<char> src = Bytes(c.text, -1);
        Guarded<uint16_t> out(c.space, 0x7777);
        uint32_t produced = kUnset, consumed = kUnset;
        EXPECT_EQ(KXZByteParser(nullptr, out.data(), out.size(), &produced, src.data(), &consumed),
                  c.result);
        if (c.space > 0) {
            EXPECT_EQ(out[0], c.unit);
        }
        for (size_t i = 1; i < c.space; ++i) EXPECT_EQ(out[i], 0x7777);
        EXPECT_EQ(produced, c.produced);
        EXPECT_EQ(consumed, c.consumed);
        EXPECT_TRUE(out.intact());
    }
    uint16_t unit = 0;
    EXPECT_EQ(KXZByteParser(nullptr, nullptr, 1, nullptr, "[0041]", nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZByteParser(nullptr, &unit, 1, nullptr, nullptr, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZByteParser(nullptr, &unit, 1, nullptr, "[0041]", nullptr), CVT_OK);
    EXPECT_EQ(unit, 0x41);
}

TEST(UniParser, ByteEscapes) {
    struct Case {
        std::u16string text;
        uint32_t space;
        int32_t result;
        char byte;
        uint32_t produced;
        uint32_t consumed;
    };
    const Case cases[] = {
        {u"[7F]", 1, CVT_OK, '\x7F', 1, 4},
        {u"[00]", 1, CVT_OK, '\x00', 1, 4},
        {u"[FF]x", 2, CVT_OK, '\xFF', 1, 4},
        {u"[A0]", 1, CVT_OK, '\xA0', 1, 4},
        {u"[7F]", 0, CVT_E_BUFFER_FULL, 'z', kUnset, kUnset},
        {u"x[7F]", 1, CVT_E_NO_MAP, 'z', kUnset, kUnset},
        {u"[7", 1, CVT_E_NO_MAP, 'z', kUnset, kUnset},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "space " << c.space << " result " << c.result);
        const std::vector<uint16_t> src = Units(c.text, -1);
        Guarded<char> out(c.space, 'z');
        uint32_t produced = kUnset, consumed = kUnset;
        EXPECT_EQ(KXZUniParser(nullptr, out.data(), out.size(), &produced, src.data(), &consumed),
                  c.result);
        if (c.space > 0) {
            EXPECT_EQ(out[0], c.byte);
        }
        for (size_t i = 1; i < c.space; ++i) EXPECT_EQ(out[i], 'z');
        EXPECT_EQ(produced, c.produced);
        EXPECT_EQ(consumed, c.consumed);
        EXPECT_TRUE(out.intact());
    }
    EXPECT_EQ(KXZUniParser(nullptr, nullptr, 1, nullptr, qtest::U(u"[41]"), nullptr),
              CVT_E_BAD_PARAMETER);
}

// What a fixer writes, the matching scanner finds and parser reads back.
TEST(Escapes, FixerOutputParsesBack) {
    for (uint32_t u = 0; u <= 0xFFFF; u += 0x0FED) {
        const uint16_t unit = static_cast<uint16_t>(u);
        char text[7] = {};
        uint32_t produced = 0, consumed = 0;
        ASSERT_EQ(KXZNoMapUniFixer(nullptr, text, 6, &produced, &unit, 1), CVT_OK);
        ASSERT_EQ(KXZByteScanner(nullptr, text, -1), text);
        uint16_t back = 0;
        ASSERT_EQ(KXZByteParser(nullptr, &back, 1, &produced, text, &consumed), CVT_OK);
        EXPECT_EQ(back, unit);
    }
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        uint16_t text[5] = {};
        uint32_t produced = 0, consumed = 0;
        ASSERT_EQ(KXZNoMapByteFixer(nullptr, text, 4, &produced, &byte, 1), CVT_OK);
        ASSERT_EQ(KXZUniScanner(nullptr, text, -1), text);
        char back = 0;
        ASSERT_EQ(KXZUniParser(nullptr, &back, 1, &produced, text, &consumed), CVT_OK);
        EXPECT_EQ(back, byte);
    }
}

}  // namespace
