// The locale engine: stop rules shared by every step, the steps in each test
// locale against libc itself, the auxiliary functions and the set-up.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <cwchar>
#include <cwctype>

namespace {

using namespace std::literals;
using qtest::kUnset;
using qtest::Widen;
constexpr size_t kBad = size_t(-1), kShort = size_t(-2);

struct R { int32_t status; uint32_t in, out, noMap; std::u16string text; bool intact; };

// Exactly sized source (a NUL only for count < 0): reading beyond it is an
// overread under the sanitizer preset. Bytes written are widened in `text`.
template <typename O, typename In>
R Call(EngineStep step, const std::basic_string<In> &src, int32_t count, uint32_t space) {
    std::vector<In> in(src.begin(), src.end());
    if (count < 0) in.push_back(0);
    qtest::Guarded<O> out(space);
    R r{0, kUnset, kUnset, kUnset, {}, false};
    r.status = step(0, in.data(), out.data(), count, space, &r.in, &r.out, &r.noMap);
    for (uint32_t i = 0; i < r.out && i < space; ++i) r.text += char16_t(std::make_unsigned_t<O>(out[i]));
    r.intact = out.intact();
    return r;
}
R ToUni(const std::string &s, int32_t n, uint32_t sp) { return Call<uint16_t>(KXUToUnicode, s, n, sp); }
R ToByte(const std::u16string &s, int32_t n, uint32_t sp) { return Call<char>(KXUToByte, s, n, sp); }

TEST(Engine, AllStepsStopAlike) {
    struct Case { std::string text; int32_t count; uint32_t space; int32_t status; uint32_t n; };
    const int32_t kDone = CVT_OK, kCount = CVT_E_SOURCE_EXHAUSTED, kFull = CVT_E_BUFFER_FULL;
    const Case cases[] = {
        {"ab", 0, 10, kCount, 0},  {"ab", 0, 0, kCount, 0},    {"", -1, 0, kDone, 0},   {"ab", -1, 0, kFull, 0},
        {"ab", -1, 10, kDone, 2},  {"ab", -1, 1, kFull, 1},    {"ab", -1, 2, kDone, 2}, {"ab\0cd"s, 5, 10, kDone, 2},
        {"abc", 2, 10, kCount, 2}, {"abc", 2, 2, kCount, 2},   {"abc", 3, 2, kFull, 2}, {"ab\0"s, 3, 2, kDone, 2},
        {"abc", -7, 10, kDone, 3}, {"a", 1, 1, kCount, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.text.c_str() << " count " << c.count << " space " << c.space);
        const std::u16string src = Widen(c.text), want = Widen(c.text.substr(0, c.n));
        std::u16string upper = want;
        for (char16_t &u : upper) u = char16_t(std::toupper(u));
        const R runs[] = {ToUni(c.text, c.count, c.space), ToByte(src, c.count, c.space),
                          Call<uint16_t>(KXUToLower, src, c.count, c.space),
                          Call<uint16_t>(KXUToUpper, src, c.count, c.space)};
        for (const R &r : runs) {
            EXPECT_TRUE(r.status == c.status && r.in == c.n && r.out == c.n) << r.status << " " << r.in;
            EXPECT_TRUE(r.noMap == kUnset && r.intact && r.text == (&r == &runs[3] ? upper : want));
        }
    }
    uint16_t out[4];
    EXPECT_EQ(KXUToUnicode(0, nullptr, out, -1, 4, nullptr, nullptr, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXUToByte(0, u"a", nullptr, -1, 4, nullptr, nullptr, nullptr), CVT_E_BAD_PARAMETER);
}

TEST(Engine, BytesAndUnitsInEachEncoding) {
    struct Case { const char *locale; std::string bytes; std::u16string units; bool toUni;
                  int32_t count; uint32_t space; int32_t status; uint32_t in, noMap; };
    const char *utf8 = "en_US.UTF-8";
    const Case cases[] = {
        // One bad byte is consumed alone; the next one is decoded again.
        {utf8, "\x41\xFF\x42\x43", u"A", true, 4, 10, CVT_E_NO_MAP, 2, 1},
        {utf8, "\xFF", u"", true, 1, 10, CVT_E_NO_MAP, 1, 1},
        {utf8, "\xC3\0\x41"s, u"", true, 3, 10, CVT_E_NO_MAP, 1, 1},
        {utf8, "\x41\xC3", u"A", true, 2, 10, CVT_E_SOURCE_EXHAUSTED, 1, kUnset},
        // Cut off by the NUL: its first byte is refused, the next decoded again.
        {utf8, "\x41\xE2\x82", u"A", true, -1, 10, CVT_E_NO_MAP, 2, 1},
        {utf8, "\x41\xF0\x9F\x98\x80", u"A", true, -1, 10, CVT_E_NO_MAP, 5, 4},
        {utf8, "\xF0\x9F\x98\x80", u"", true, 4, 10, CVT_E_NO_MAP, 4, 4},
        {utf8, "\xC3\xA9\x41", u"\u00E9", true, -1, 1, CVT_E_BUFFER_FULL, 2, kUnset},
        {"ja_JP.EUC-JP", "\xA4\xA2\xC3\xE6", u"\u3042\u4E2D", true, -1, 10, CVT_OK, 4, kUnset},
        {"ru_RU.CP1251", "\xC0\x88", u"\u0410\u20AC", true, -1, 10, CVT_OK, 2, kUnset},
        // Units to bytes: a character is written whole or not at all.
        {utf8, "A", u"A\u00E9", false, -1, 2, CVT_E_BUFFER_FULL, 1, kUnset},
        {utf8, "\xE4\xB8\xAD", u"\u4E2DA", false, 1, 10, CVT_E_SOURCE_EXHAUSTED, 1, kUnset},
        {utf8, "A", u"A\xDC00" u"B", false, -1, 10, CVT_E_NO_MAP, 2, 1},
        {utf8, "", u"\U0001F600", false, -1, 10, CVT_E_NO_MAP, 1, 1},
        {"de_DE.ISO-8859-1", "", u"\u20AC", false, -1, 10, CVT_E_NO_MAP, 1, 1},
        {"ja_JP.EUC-JP", "\xA4\xA2", u"\u3042x", false, -1, 2, CVT_E_BUFFER_FULL, 1, kUnset},
    };
    for (const Case &c : cases) {
        qtest::LocaleScope locale(c.locale);
        const R r = c.toUni ? ToUni(c.bytes, c.count, c.space) : ToByte(c.units, c.count, c.space);
        EXPECT_TRUE(r.status == c.status && r.in == c.in && r.noMap == c.noMap) << "case " << (&c - cases);
        EXPECT_TRUE(r.text == (c.toUni ? c.units : Widen(c.bytes)) && r.intact) << "case " << (&c - cases);
    }
}

// Every single byte and a sample of BMP units, in every test locale, as libc
// itself decodes, encodes and changes case.
TEST(Engine, AgreesWithLibcInEveryLocale) {
    std::vector<char16_t> sample = {0xE9, 0x130, 0x20AC, 0x3042, 0xD800, 0xFFFF};
    for (uint32_t u = 1; u <= 0xFFFF; u += 0x133) sample.push_back(char16_t(u));
    for (const std::string &name : qtest::AllLocales()) {
        qtest::LocaleScope locale(name);
        for (int b = 1; b < 256; ++b) {
            const std::string one(1, char(b));
            wchar_t wide = 0;
            std::mbstate_t state{};
            const size_t n = std::mbrtowc(&wide, one.data(), 1, &state);
            const R counted = ToUni(one, 1, 4), terminated = ToUni(one, -1, 4);
            SCOPED_TRACE(testing::Message() << name << " byte " << b);
            EXPECT_EQ(terminated.text, n == 1 ? std::u16string(1, char16_t(wide)) : u"");
            EXPECT_EQ(terminated.status, n == 1 ? CVT_OK : CVT_E_NO_MAP);
            // A lead byte may be completed by the caller's next piece.
            EXPECT_EQ(counted.status, n == kBad ? CVT_E_NO_MAP : CVT_E_SOURCE_EXHAUSTED);
            EXPECT_TRUE(counted.in == (n == kShort ? 0u : 1u) && counted.intact && terminated.intact);
        }
        for (const char16_t unit : sample) {
            char want[MB_LEN_MAX];
            std::mbstate_t state{};
            const size_t n = std::wcrtomb(want, wchar_t(unit), &state);
            const std::u16string one(1, unit);
            const R r = ToByte(one, -1, 16);
            SCOPED_TRACE(testing::Message() << name << " unit " << int(unit));
            EXPECT_EQ(r.status, n == kBad ? CVT_E_NO_MAP : CVT_OK);
            EXPECT_EQ(r.text, n == kBad ? u"" : Widen(std::string(want, n)));
            EXPECT_EQ(r.noMap, n == kBad ? 1u : kUnset);
            if (n != kBad) {  // one byte short: nothing written, the unit given back
                const R tight = ToByte(one + u"x", -1, uint32_t(n - 1));
                EXPECT_TRUE(tight.status == CVT_E_BUFFER_FULL && tight.in == 0 && tight.intact);
            }
            EXPECT_EQ(Call<uint16_t>(KXUToUpper, one, -1, 1).text[0], char16_t(std::towupper(unit)));
            EXPECT_EQ(Call<uint16_t>(KXUToLower, one, -1, 1).text[0], char16_t(std::towlower(unit)));
        }
    }
}

TEST(Engine, AuxiliaryFunctionsAndSetUp) {
    qtest::LocaleScope locale("en_US.UTF-8");
    const std::tuple<uint32_t, const char *, int32_t> ops[] = {
        {1, "\xC3\xA9", 2}, {1, "", 0}, {1, "\x80", -1}, {2, "x", 0}, {3, "x", 0},
        {0, "x", CVT_E_UNSUPPORTED_OP}, {7, "x", CVT_E_UNSUPPORTED_OP}};
    for (const auto &[op, bytes, result] : ops) {
        EXPECT_EQ(KXUAux(0, op, bytes), result) << op;
        EXPECT_EQ(KXUCaseAux(0, op, bytes), CVT_E_UNSUPPORTED_OP);
    }
    struct Case { uint32_t kind, subKind; int32_t result; EngineStep toUni = nullptr, toByte = nullptr;
                  AuxFunction aux = nullptr; };
    const Case cases[] = {
        {CONVERTER_BYTE_UNI, 9, CVT_OK, KXUToUnicode, KXUToByte, KXUAux},
        {CONVERTER_CASE, CASE_LOWER, CVT_OK, KXUToLower, nullptr, KXUCaseAux},
        {CONVERTER_CASE, CASE_UPPER, CVT_OK, KXUToUpper, nullptr, KXUCaseAux},
        {CONVERTER_CASE, 2, CVT_E_NOT_AVAILABLE}, {CONVERTER_CASE, 3, CVT_E_BAD_PARAMETER},
        {CONVERTER_COLLATION, 0, CVT_E_NOT_AVAILABLE}, {CONVERTER_NORMALIZE, 0, CVT_E_NOT_AVAILABLE},
        {0, 0, CVT_E_BAD_PARAMETER}, {9, 0, CVT_E_BAD_PARAMETER},
    };
    for (const Case &c : cases) {
        Converter record{};
        record.kind = c.kind;
        record.subKind = c.subKind;
        EXPECT_EQ(KXUGetInfo(3, &record), c.result) << c.kind << " " << c.subKind;
        EXPECT_TRUE(record.toUnicodeStep == c.toUni && record.toByteStep == c.toByte && record.auxFunction == c.aux);
        const bool byteUni = c.kind == CONVERTER_BYTE_UNI;
        EXPECT_TRUE(record.defaultSubUni == (byteUni ? 0xFFFD : 0) && record.defaultSubByte == (byteUni ? 3 : 0));
        EXPECT_TRUE(record.engineTag == 7 && record.engineData == 0);
    }
    EXPECT_EQ(KXUGetInfo(3, nullptr), CVT_E_BAD_PARAMETER);
}

}  // namespace
