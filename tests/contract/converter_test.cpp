// Converter handles: what the models leave open. Results at the edges,
// refused calls, the record's set-up, callbacks, conversions written out.
#include <quemba/converter.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "models.h"
#include "qtest.h"

namespace {

using namespace std::literals;
using qtest::Guarded;
using qtest::kUnset;
using qtest::LocaleScope;
using qtest::U;
constexpr int32_t OK = CVT_OK, FULL = CVT_E_BUFFER_FULL, PAR = CVT_E_BAD_PARAMETER, BAD = CVT_E_BAD_HANDLE,
                  NUL = CVT_E_NULL_HANDLE, KIND = CVT_E_WRONG_KIND, NA = CVT_E_NOT_AVAILABLE, LOAD = CVT_E_LOAD_FAILED,
                  UNS = CVT_E_UNSUPPORTED_OP;
const auto kStale = reinterpret_cast<ConverterHandle>(0x10);

// Settings as loading leaves them, subUni to uniParser; a case record has none.
bool Defaults(const Converter &c, bool byteUni) {
    Converter w{};
    if (byteUni) w.subUni = 0xFFFD, w.subByte = 3, w.byteNoMapAction = 1, w.uniNoMapAction = 2, w.byteScanAction = 2, w.byteNoMapFixer = KXZNoMapByteFixer;
    if (byteUni) w.uniNoMapFixer = KXZNoMapUniFixer, w.byteScanner = KXZByteScanner, w.uniScanner = KXZUniScanner, w.byteParser = KXZByteParser, w.uniParser = KXZUniParser;
    return std::memcmp(&c.subUni, &w.subUni, offsetof(Converter, codePage) - offsetof(Converter, subUni)) == 0 &&
           c.defaultSubUni == (byteUni ? 0xFFFD : 0) && c.defaultSubByte == (byteUni ? 3 : 0);
}

TEST(Converter, LoadCheckResetUnload) {
    const struct { uint32_t codePage, kind, subKind; int32_t result; EngineStep step; } cases[] = {
        {0, 1, 0, OK, KXUToUnicode}, {850, 1, 0, OK, KXUToUnicode}, {0, 3, CASE_LOWER, OK, KXUToLower}, {0, 3, CASE_UPPER, OK, KXUToUpper},
        {437, 3, 2, LOAD, nullptr}, {437, CONVERTER_COLLATION, 3, LOAD, nullptr}, {437, 5, 3, LOAD, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " sub-kind " << c.subKind);
        ConverterHandle h = kStale;
        EXPECT_TRUE(KXZLoadConverter(c.codePage, c.kind, c.subKind, 1, &h) == c.result && (c.result == OK ? KXUXUnloadConverter(h) == OK : h == kStale));
        Converter storage;
        std::memset(&storage, 0xEE, sizeof storage);
        h = &storage;
        // A failed set-up leaves a record no check accepts.
        EXPECT_TRUE(KXZLoadConverter(c.codePage, c.kind, c.subKind, 0, &h) == c.result && h == &storage && storage.signature == (c.result == OK ? CONVERTER_SIGNATURE : 0u));
        EXPECT_TRUE(storage.loadTag == 3 && storage.refCount == 1 && storage.engineTag == 7 && storage.engineData == 0 && storage.kind == c.kind);
        EXPECT_TRUE(storage.codePage == c.codePage && storage.subKind == c.subKind && storage.toUnicodeStep == c.step && Defaults(storage, c.result == OK && c.kind == 1));
        EXPECT_TRUE(KXUXUnloadConverter(h) == (c.result == OK ? OK : BAD) && storage.signature == 0u);
    }
    ConverterHandle h = kStale, none = nullptr;
    EXPECT_TRUE(KXZLoadConverter(0, 1, 0, 1, nullptr) == PAR && KXZLoadConverter(0, 1, 0, 0, &none) == PAR && KXUXLoadByteUnicodeConverter(0, nullptr) == PAR);
    EXPECT_TRUE(KXUXLoadByteUnicodeConverter(437, &h) == NA && h == nullptr && KXUXLoadCollationConverter(49, nullptr) == PAR);
    EXPECT_TRUE(KXUXLoadCaseConverter(2, &h) == LOAD && h == nullptr && KXUXLoadCaseConverter(0, nullptr) == PAR);
    for (uint32_t country : {1000u, 0xFFFFFFFFu, 999u, 0u}) EXPECT_TRUE(KXUXLoadCollationConverter(country, &h) == (country > 999 ? PAR : LOAD) && h == nullptr);
    h = kStale;
    EXPECT_TRUE(KXUXLoadNormalizeConverter(0, &h) == LOAD && h == kStale);
    ConverterHandle bytes = nullptr, lower = nullptr;
    // Reloaded in place, a heap record is still freed by its last unload.
    ASSERT_TRUE(KXUXLoadCaseConverter(CASE_UPPER, &bytes) == OK && KXZLoadByteUnicodeConverter(0, 0, &bytes) == OK && Defaults(*bytes, true));
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_LOWER, &lower), OK);
    Converter blank{};
    blank.kind = CONVERTER_BYTE_UNI, blank.refCount = 5;
    const struct { ConverterHandle h; uint32_t kind; int32_t result; } checks[] = {
        {nullptr, 7, NUL}, {&blank, 7, BAD}, {&blank, 1, BAD}, {bytes, 7, PAR}, {bytes, 5, PAR}, {bytes, 0, OK},
        {bytes, 1, OK}, {bytes, 2, KIND}, {bytes, 4, KIND}, {lower, 0, OK}, {lower, 3, OK}, {lower, 1, KIND}};
    for (const auto &c : checks) EXPECT_EQ(KXZCheckHandle(c.h, c.kind), c.result) << (&c - checks);
    KXUXSetNoMapAction(bytes, NOMAP_STOP, NOMAP_SUBSTITUTE), KXUXSetSubByte(bytes, '?'), KXUXEnableOemEuro(bytes);
    EXPECT_TRUE(KXUXSetUniFunctions(bytes, nullptr, nullptr, KXZUniParserForOemEuro) == OK && KXUXResetConverter(bytes) == OK && Defaults(*bytes, true));
    bytes->defaultSubUni = 0x3000;  // reset copies the record's own default
    EXPECT_TRUE(KXUXResetConverter(bytes) == OK && bytes->subUni == 0x3000 && KXUXResetConverter(lower) == OK && Defaults(*lower, false));
    EXPECT_TRUE(KXUXResetConverter(nullptr) == NUL && KXUXResetConverter(&blank) == BAD);
    EXPECT_TRUE(KXUXUnloadConverter(nullptr) == NUL && KXUXUnloadConverter(&blank) == BAD && blank.refCount == 5);
    EXPECT_TRUE(KXUXUnloadConverter(bytes) == OK && KXUXUnloadConverter(lower) == OK);
    // The standard records: fixed storage, loaded in place, never freed.
    for (const auto &[accessor, kind, sub] : {std::tuple{&KXZStandardByteUni, 1u, 0u}, {&KXZStandardLowerCase, 3u, 0u}, {&KXZStandardUpperCase, 3u, 1u}}) {
        ConverterHandle s = accessor();
        ASSERT_TRUE(s != nullptr && KXZCheckHandle(s, 0) == BAD && KXZLoadConverter(0, kind, sub, 0, &s) == OK && s == accessor() && ++s->refCount == 2);
        EXPECT_TRUE(KXUXUnloadConverter(s) == OK && s->refCount == 1 && s->signature == CONVERTER_SIGNATURE && KXUXUnloadConverter(s) == OK);
        EXPECT_TRUE(s->signature == 0 && KXUXUnloadConverter(s) == BAD && KXZStandardLowerCase() != KXZStandardUpperCase());
    }
}

TEST(Converter, SmallHelpersAndEngineSetUp) {
    Guarded<char> path(1);
    for (const uint32_t page : {0u, 850u, 0xFFFFFFFFu}) EXPECT_TRUE(KXZGetConverterPath(page, path.data()) == (page == 0 ? OK : NA) && path[0] == 0 && path.intact());
    for (const auto &[value, text] : {std::pair{0u, "0"}, {7u, "7"}, {10u, "10"}, {9009u, "9009"}, {9999u, "9999"}, {10000u, "9999"}, {0xFFFFFFFFu, "9999"}}) {
        Guarded<char> out(5);
        KXZIToA(value, out.data());
        EXPECT_TRUE(std::strcmp(out.data(), text) == 0 && out.intact()) << value;
    }
    LocaleScope utf8(qtest::kUtf8);
    for (const auto &[op, bytes, result] : {std::tuple{1u, "\xC3\xA9", 2}, {1u, "", 0}, {1u, "\x80", -1}, {2u, "x", 0}, {3u, "x", 0}, {0u, "x", UNS}, {7u, "x", UNS}}) {
        EXPECT_TRUE(KXUAux(0, op, bytes) == result && KXUCaseAux(0, op, bytes) == UNS) << op;
    }
    const struct { uint32_t kind, subKind; int32_t result; EngineStep toUni, toByte; AuxFunction aux; } cases[] = {
        {1, 9, OK, KXUToUnicode, KXUToByte, KXUAux}, {3, 0, OK, KXUToLower, nullptr, KXUCaseAux}, {3, 1, OK, KXUToUpper, nullptr, KXUCaseAux},
        {3, 2, NA, nullptr, nullptr, nullptr}, {3, 3, PAR, nullptr, nullptr, nullptr}, {2, 0, NA, nullptr, nullptr, nullptr},
        {4, 0, NA, nullptr, nullptr, nullptr}, {0, 0, PAR, nullptr, nullptr, nullptr}, {9, 0, PAR, nullptr, nullptr, nullptr}};
    for (const auto &c : cases) {
        Converter r{};
        r.kind = c.kind, r.subKind = c.subKind;
        EXPECT_TRUE(KXUGetInfo(3, &r) == c.result && r.toUnicodeStep == c.toUni && r.toByteStep == c.toByte && r.auxFunction == c.aux && r.engineTag == 7);
        EXPECT_TRUE(r.defaultSubUni == (c.kind == 1 ? 0xFFFD : 0) && r.defaultSubByte == (c.kind == 1 ? 3 : 0)) << c.kind << c.subKind;
    }
    uint16_t out[4];
    EXPECT_TRUE(KXUGetInfo(3, nullptr) == PAR && KXUToUnicode(0, nullptr, out, -1, 4, nullptr, nullptr, nullptr) == PAR && KXZGetConverterPath(0, nullptr) == PAR);
    EXPECT_EQ(KXUToByte(0, u"a", nullptr, -1, 4, nullptr, nullptr, nullptr), PAR);
}

TEST(Converter, SettingsAreCheckedBeforeEitherSideIsStored) {
    ConverterHandle h = nullptr, lower = nullptr;
    ASSERT_TRUE(KXUXLoadByteUnicodeConverter(0, &h) == OK && KXUXLoadCaseConverter(CASE_LOWER, &lower) == OK);
    using Pair = std::pair<int32_t, int32_t>;
    const struct { bool scan; int32_t byteValue, uniValue, result; Pair after; } cases[] = {
        {false, 3, 0, PAR, {1, 2}}, {false, -1, 0, OK, {1, 0}}, {false, -2, -1, PAR, {1, 2}}, {false, 0, 3, PAR, {1, 2}},
        {false, 2, 1, OK, {2, 1}}, {false, INT32_MIN, 0, PAR, {1, 2}}, {true, 1, -1, PAR, {2, 0}}, {true, 3, 0, PAR, {2, 0}},
        {true, -1, 1, PAR, {2, 0}}, {true, -1, 3, PAR, {2, 0}}, {true, -2, -1, PAR, {2, 0}},
        // Any value up to 0 is taken on the UTF-16 side and acts as SCAN_NONE.
        {true, -1, -2, OK, {2, -2}}, {true, -1, INT32_MIN, OK, {2, INT32_MIN}}, {true, 0, 2, OK, {0, 2}}};
    for (const auto &c : cases) {
        ASSERT_EQ(KXUXResetConverter(h), OK);
        EXPECT_EQ((c.scan ? KXUXSetScanAction : KXUXSetNoMapAction)(h, c.byteValue, c.uniValue), c.result);
        Pair noMap{9, 9}, scan{9, 9};
        EXPECT_TRUE(KXUXGetNoMapAction(h, &noMap.first, &noMap.second) == OK && KXUXGetScanAction(h, &scan.first, &scan.second) == OK);
        EXPECT_TRUE(scan == (c.scan ? c.after : Pair(2, 0)) && noMap == (c.scan ? Pair(1, 2) : c.after)) << (&c - cases);
    }
    uint32_t size = 77;
    EXPECT_TRUE(KXUXGetSubByte(h, nullptr) == PAR && KXUXGetSubUni(h, nullptr) == PAR && KXUXGetCharSize(h, "A", nullptr) == PAR);
    EXPECT_TRUE(KXUXGetCharSize(h, nullptr, &size) == PAR && size == 0);
    // Null restores a default, KEEP_FUNCTION keeps, anything else is stored.
    struct { ByteNoMapFixer f; ByteScanner s; ByteParser p; } got{};
    EXPECT_EQ(KXUXSetByteFunctions(h, nullptr, KXZByteScannerForOemEuro, KXZByteParserForOemEuro), OK);
    EXPECT_EQ(KXUXSetByteFunctions(h, (ByteNoMapFixer)KEEP_FUNCTION, (ByteScanner)KEEP_FUNCTION, nullptr), OK);
    EXPECT_TRUE(KXUXGetByteFunctions(h, &got.f, &got.s, &got.p) == OK && got.f == KXZNoMapByteFixer && got.s == KXZByteScannerForOemEuro && got.p == KXZByteParser);
    // Every accessor refuses a wrong, unloaded or null handle before it looks at the rest.
    Converter unloaded{}, before;
    unloaded.kind = CONVERTER_BYTE_UNI;
    std::memcpy(&before, lower, sizeof before);
    for (const auto &[bad, want] : {std::pair{lower, KIND}, std::pair{&unloaded, BAD}, std::pair{ConverterHandle{}, NUL}}) {
        size = 77;
        for (const int32_t r : {KXUXGetCharSize(bad, "A", &size), KXUXGetNoMapAction(bad, nullptr, nullptr), KXUXSetNoMapAction(bad, 0, 0), KXUXGetScanAction(bad, nullptr, nullptr),
                                KXUXSetScanAction(bad, 0, 0), KXUXGetSubByte(bad, nullptr), KXUXSetSubByte(bad, 1), KXUXGetSubUni(bad, nullptr), KXUXSetSubUni(bad, 1),
                                KXUXGetByteFunctions(bad, nullptr, nullptr, nullptr), KXUXSetByteFunctions(bad, nullptr, nullptr, nullptr), KXUXEnableOemEuro(bad),
                                KXUXGetUniFunctions(bad, nullptr, nullptr, nullptr), KXUXSetUniFunctions(bad, nullptr, nullptr, nullptr)}) {
            EXPECT_TRUE(r == want && size == 0);
        }
    }
    EXPECT_TRUE(std::memcmp(&before, lower, sizeof before) == 0 && unloaded.subByte == 0 && unloaded.byteParser == nullptr);
    EXPECT_TRUE(KXUXUnloadConverter(h) == OK && KXUXUnloadConverter(lower) == OK);
}

// Every driver checks the handle, then its arguments; a refusal zeroes the
// count and writes nothing but the terminator of a form that has one.
TEST(Converter, DriversRefuseBadHandlesAndArguments) {
    ConverterHandle bytes = nullptr, lower = nullptr;
    ASSERT_TRUE(KXUXLoadByteUnicodeConverter(0, &bytes) == OK && KXUXLoadCaseConverter(CASE_LOWER, &lower) == OK);
    Converter unloaded{}, collation{}, normalize{};
    collation.signature = normalize.signature = CONVERTER_SIGNATURE, collation.kind = CONVERTER_COLLATION, normalize.kind = CONVERTER_NORMALIZE;
    using Call = int32_t (*)(ConverterHandle, uint16_t *, uint32_t, bool, uint32_t *);
#define ROW(kind, term, expr, ...) {kind, term, [](ConverterHandle h, uint16_t *o, uint32_t n, bool s, uint32_t *c) { (void)o, (void)n; return expr; }, {__VA_ARGS__}}
#define B8 (s ? "ab" : nullptr)
#define B16 (s ? U(u"ab") : nullptr)
#define O8 reinterpret_cast<char *>(o)
    // Columns: null, unloaded, wrong kind; then on the right kind a null
    // source, a null count without output, no room (1: not tried).
    const struct { uint32_t kind; bool terminates; Call call; int32_t results[6]; } rows[] = {
        ROW(1, true, KXUXLenByteToUnicode(h, o, n, B8, -1, c), NUL, BAD, KIND, PAR, PAR, FULL), ROW(1, true, KXUXLenByteToUnicodePath(h, o, n, B8, 2, c), NUL, BAD, KIND, PAR, PAR, FULL),
        ROW(1, false, KXZLSUnicodeLength(h, B8, -1, c), NUL, BAD, KIND, PAR, PAR, 1), ROW(1, false, KXUXUnicodeToUntermByte(h, O8, n, B16, c), NUL, BAD, KIND, PAR, PAR, FULL),
        ROW(1, true, KXUXUnicodeToByte(h, O8, n, B16, c), NUL, BAD, KIND, PAR, OK, FULL), ROW(1, false, KXZByteLength(h, B16, c), NUL, BAD, KIND, PAR, PAR, 1),
        ROW(1, false, KXUXUnicodeToUntermBytePath(h, O8, n, B16, c), NUL, BAD, KIND, PAR, PAR, FULL), ROW(1, true, KXUXUnicodeToBytePath(h, O8, n, B16, c), NUL, BAD, KIND, PAR, OK, FULL),
        ROW(1, false, KXZBytePathLength(h, B16, c), NUL, BAD, KIND, PAR, PAR, 1), ROW(3, true, KXUXUnicodeToCase(h, o, n, B16, c), NUL, BAD, KIND, PAR, PAR, FULL),
        ROW(3, false, KXZCaseLength(h, B16, c), NUL, BAD, KIND, PAR, PAR, 1),
        // No engine gives these kinds a step: a record of the kind says so.
        ROW(2, true, KXUXUnicodeToCollation(h, o, n, B16, c), NUL, BAD, KIND, PAR, NA, NA), ROW(2, false, KXZCollationLength(h, B16, c), NUL, BAD, KIND, PAR, PAR, 1),
        ROW(4, true, KXUXUnicodeToNormalized(h, o, n, B16, c), NUL, BAD, KIND, PAR, NA, NA), ROW(4, false, KXZNormalizedLength(h, B16, c), NUL, BAD, KIND, PAR, PAR, 1)};
    for (const auto &r : rows) {
        const ConverterHandle right = r.kind == 1 ? bytes : r.kind == 3 ? lower : r.kind == 2 ? &collation : &normalize;
        const ConverterHandle handles[] = {nullptr, &unloaded, r.kind == 1 ? lower : bytes, right, right, right};
        for (int i = 0; i < 6; ++i) {
            if (r.results[i] == 1) continue;
            Guarded<uint16_t> out(i == 5 ? 0 : 4);
            uint32_t count = 77;
            EXPECT_EQ(r.call(handles[i], i == 4 ? nullptr : out.data(), out.size(), i != 3, i == 4 ? nullptr : &count), r.results[i]) << (&r - rows) << " " << i;
            EXPECT_TRUE(count == (i == 4 ? 77u : 0u) && out.intact() && (i >= 4 || (r.terminates ? (out[0] & 0xFF) == 0 : out[0] == out.kFill)));
        }
    }
    uint32_t count = 77;
    EXPECT_TRUE(KXUXLenByteToUnicode(bytes, nullptr, 0, "ab", -2, &count) == PAR && count == 0);
    EXPECT_TRUE(KXUXUnloadConverter(bytes) == OK && KXUXUnloadConverter(lower) == OK);
}

// Written out by hand: kept characters, two code points from one sequence,
// "[" as the end of a character, sequences no byte completes.
TEST(Converter, KeptAndCutCharacters) {
    const struct { const char *locale; std::string bytes; int32_t length; std::u16string text; uint32_t size; int32_t result; } cases[] = {
        {"vi_VN.TCVN5712-1", "ab", -1, u"ab", 10, OK}, {"vi_VN.CP1258", "a\xEC" "b", 3, u"\u00E1b", 10, OK},
        {"he_IL.CP1255", "a\xE5\xEF\x22", 4, u"a\u05D5\u05DF\"", 10, OK}, {"zh_HK.BIG5-HKSCS", "\x88\x62xy", -1, u"\u00CA\u0304xy", 10, OK},
        {"zh_HK.BIG5-HKSCS", "\x88\x62", 2, u"", 2, FULL}, {"zh_HK.BIG5-HKSCS", "\x88\x62", 2, u"\u00CA\u0304", 3, OK},
        {"ja_JP.EUC-JISX0213", "\xAB\xC9x", -1, u"\u0254\u0301x", 10, OK}, {"ja_JP.SHIFT_JISX0213", "\x86\x63", 2, u"\u00E6\u0300", 10, OK},
        {"ja_JP.SHIFT_JIS", "\x83\x5B\x32\x30\x41\x43\x5D", 7, u"\u30BC20AC]", 10, OK}, {"zh_TW.BIG5", "\xA4[20AC]", -1, u"\u4E4520AC]", 10, OK},
        {"ja_JP.SHIFT_JIS", "a[0041]\x83", -1, u"aA\uFFFD", 10, OK}, {"zh_CN.GB18030", "A\x81\x30\x0A", 4, u"A\uFFFD0\n", 10, OK},
        {"en_US.UTF-8", "a\xE4\xB8[0041]", -1, u"a\uFFFD\uFFFDA", 10, OK}, {"ja_JP.EUC-JP", "\xA4\xA2[00E9]\x8E", -1, u"\u3042\u00E9\uFFFD", 10, OK}};
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), OK);
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<uint16_t> out(c.size);
        uint32_t count = kUnset;
        EXPECT_EQ(KXUXLenByteToUnicode(h, out.data(), c.size, c.bytes.c_str(), c.length, &count), c.result) << (&c - cases);
        EXPECT_TRUE(qtest::S16(out.data(), count) == c.text && out[count] == 0 && out.intact()) << (&c - cases);
    }
    const struct { const char *locale; std::u16string text; std::string bytes; } back[] = {
        {"ja_JP.EUC-JISX0213", u"\u3044\u304F\u3064\u304B", "\xA4\xA4\xA4\xAF\xA4\xC4\xA4\xAB"}, {"ja_JP.SHIFT_JISX0213", u"\u304B\u0E01", "\x82\xA9[0E01]"},
        {"ja_JP.EUC-JISX0213", u"\u304B\u309A", "\xA4\xF7"}, {"zh_HK.BIG5-HKSCS", u"S\u00EA\u015Fem", "S\x88\xA7[015F]em"},
        {"zh_HK.BIG5-HKSCS", u"\u00CA\u0304", "\x88\x62"}, {"de_DE.ISO-8859-1", u"\\\u20A9\u00E9", "\\[20A9]\xE9"}};
    for (const auto &c : back) {
        LocaleScope scope(c.locale);
        Guarded<char> out(20);
        uint32_t count = kUnset;
        EXPECT_TRUE(KXUXUnicodeToByte(h, out.data(), 20, U(c.text), &count) == OK && std::string(out.data(), count) == c.bytes && out.intact()) << (&c - back);
    }
    KXUXUnloadConverter(h);
}

// The parsers take digits as written and refuse only a NUL inside what
// they read; the OEM Euro ones write the Euro for any other byte or unit.
TEST(Converter, ParsersRefuseOnlyANul) {
    const struct { const char *name; std::string in; int32_t result; uint32_t value, consumed; } rows[] = {
        {"to unit", "[00E9]", OK, 0xE9, 6}, {"to unit", "[0\0" "E9]"s, CVT_E_NO_MAP, 0, 0},
        {"oem to unit", "\x01", OK, 0x20AC, 1}, {"oem to unit", "[20AC]", OK, 0x20AC, 6}, {"oem to unit", "\0"s, CVT_E_NO_MAP, 0, 0},
        {"to unit", "[00e9]", OK, 0x2E9, 6}, {"to byte", "[E9]", OK, 0xE9, 4}, {"to byte", "[E\0]"s, CVT_E_NO_MAP, 0, 0},
        {"oem to byte", "\x01", OK, 0xCC, 1}, {"oem to byte", "\0"s, CVT_E_NO_MAP, 0, 0}};
    for (const auto &row : rows) {
        const std::u16string units = qtest::Widen(row.in);
        uint16_t unit = 0;
        char byte = 0;
        uint32_t produced = 0, consumed = 0, value = 0;
        const std::string kind = row.name;
        const int32_t r = kind == "to unit"       ? KXZByteParser(nullptr, &unit, 1, &produced, row.in.data(), &consumed)
                          : kind == "oem to unit" ? KXZByteParserForOemEuro(nullptr, &unit, 1, &produced, row.in.data(), &consumed)
                          : kind == "to byte"     ? KXZUniParser(nullptr, &byte, 1, &produced, U(units), &consumed)
                                               : KXZUniParserForOemEuro(nullptr, &byte, 1, &produced, U(units), &consumed);
        value = kind.find("unit") != std::string::npos ? unit : static_cast<uint8_t>(byte);
        EXPECT_TRUE(r == row.result && value == row.value && consumed == row.consumed) << kind << " " << (&row - rows);
    }
}

// Null pointers before no room, except where nothing is to be written;
// the character size as the engine's aux answers it.
TEST(Converter, CallbacksRefuseNullsAndNoRoom) {
    uint16_t unit = 0;
    char byte = 0;
    uint32_t produced = 7, consumed = 7, size = 7;
    EXPECT_TRUE(KXZByteScanner(nullptr, nullptr, -1) == nullptr && KXZUniScannerForOemEuro(nullptr, nullptr, 4) == nullptr);
    EXPECT_TRUE(KXZByteParser(nullptr, nullptr, 1, &produced, "[0041]", &consumed) == PAR && KXZUniParser(nullptr, &byte, 1, &produced, nullptr, &consumed) == PAR);
    EXPECT_EQ(KXZByteParser(nullptr, &unit, 1, &produced, nullptr, &consumed), PAR);
    EXPECT_TRUE(KXZUniParserForOemEuro(nullptr, &byte, 0, &produced, nullptr, &consumed) == FULL && produced == 7 && consumed == 7);
    EXPECT_EQ(KXZUniParserForOemEuro(nullptr, nullptr, 1, &produced, U(u"\x20AC"), &consumed), PAR);
    EXPECT_TRUE(KXZNoMapUniFixer(nullptr, nullptr, 6, &produced, U(u"a"), 1) == PAR && produced == 0 && KXZNoMapByteFixer(nullptr, &unit, 4, &produced, nullptr, 1) == PAR);
    EXPECT_TRUE(KXZNoMapByteFixer(nullptr, nullptr, 0, &produced, nullptr, 0) == OK && produced == 0);
    EXPECT_TRUE(KXZNoMapByteFixer(nullptr, nullptr, 4, &produced, "a", 1) == PAR && KXUToUnicode(0, "\xFF", &unit, -1, 1, &produced, &consumed, nullptr) == CVT_E_NO_MAP);
    EXPECT_TRUE(KXZByteParser(nullptr, &unit, 1, nullptr, "[0041]", nullptr) == OK && unit == 0x41);  // counts are optional
    EXPECT_TRUE(KXUXLoadNormalizeConverter(0, nullptr) == PAR && KXUXUnicodeToByte(nullptr, &byte, 0, U(u"a"), &size) == NUL && size == 0);
    ConverterHandle h = nullptr;
    LocaleScope utf8(qtest::kUtf8);
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), OK);
    EXPECT_TRUE(KXUXGetCharSize(h, "\xC3\xA9", &size) == OK && size == 2 && KXUXGetCharSize(h, "\x80", &size) == -1 && size == 0);
    KXUXUnloadConverter(h);
}

// A program's own callbacks: their errors end the conversion after what they
// wrote, output they claim beyond their room carries nothing past the
// buffer, a scanner's mark outside the input is no escape, a step of its
// own takes the engine's place.
int32_t Fails(ConverterHandle, uint16_t *, uint32_t, uint32_t *, const char *, uint32_t *) { return CVT_E_NOT_AVAILABLE; }
int32_t OneThenFails(ConverterHandle, uint16_t *out, uint32_t, uint32_t *produced, const char *, uint32_t) {
    return *out = u'?', *produced = 1, CVT_E_UNSUPPORTED_OP;
}
template <typename Out, typename In>
int32_t Boasts(ConverterHandle, Out *, uint32_t space, uint32_t *produced, const In *, uint32_t) { return *produced = space + 1000, CVT_OK; }
int32_t BoastingStep(uintptr_t, const void *, void *, int32_t, uint32_t space, uint32_t *consumed, uint32_t *produced, uint32_t *) {
    return *consumed = 1, *produced = space + 1000, CVT_OK;
}
// The engine's step with every unit or byte one up: none of it may be taken for the engine's.
template <typename Out, EngineStep kStep>
int32_t OneUp(uintptr_t w, const void *s, void *d, int32_t n, uint32_t room, uint32_t *c, uint32_t *p, uint32_t *m) {
    const int32_t r = kStep(w, s, d, n, room, c, p, m);
    for (uint32_t i = 0; i < *p; ++i) ++static_cast<Out *>(d)[i];
    return r;
}
const char *Before(ConverterHandle, const char *src, int32_t) { return src - 1; }
const char *AtTheEnd(ConverterHandle, const char *src, int32_t length) { return src + length; }
int scans = 0;
template <typename T>
const T *Counting(ConverterHandle h, const T *src, int32_t n) {
    ++scans;
    if constexpr (sizeof(T) == 1) return KXZByteScanner(h, src, n);
    else return KXZUniScanner(h, src, n);
}

TEST(Converter, CallbacksOfTheProgramsOwn) {
    LocaleScope scope(qtest::kUtf8);
    ConverterHandle h = nullptr;
    ASSERT_TRUE(KXUXLoadByteUnicodeConverter(0, &h) == OK && KXUXSetNoMapAction(h, NOMAP_FIXER, NOMAP_FIXER) == OK);
    auto toUnits = [&](ConverterHandle c, const char *bytes, uint32_t size, int32_t result, std::u16string text) {
        Guarded<uint16_t> out(size);
        uint32_t count = kUnset;
        EXPECT_EQ(KXUXByteToUnicode(c, out.data(), size, bytes, &count), result) << bytes << size;
        EXPECT_TRUE(out.intact() && count < size && out[count] == 0 && (text == u"*" || qtest::S16(out.data(), count) == text)) << bytes << size;
    };
    ASSERT_EQ(KXUXSetByteFunctions(h, nullptr, nullptr, Fails), OK);
    toUnits(h, "xy[0041]z", 10, NA, u"xy");
    ASSERT_EQ(KXUXSetByteFunctions(h, OneThenFails, nullptr, nullptr), OK);
    toUnits(h, "x\xFFy", 10, UNS, u"x?");
    ASSERT_EQ(KXUXSetByteFunctions(h, Boasts<uint16_t, char>, Before, nullptr), OK);
    for (uint32_t size : {1u, 2u, 3u, 8u}) toUnits(h, "x\xFFy", size, FULL, u"*");
    toUnits(h, "a[0041]", 10, OK, u"a[0041]");
    uint16_t units[8];
    uint32_t count = kUnset;
    ASSERT_EQ(KXUXSetByteFunctions(h, nullptr, AtTheEnd, nullptr), OK);
    EXPECT_TRUE(KXUXLenByteToUnicode(h, units, 8, "ab[0041]", 2, &count) == OK && count == 2 && KXUXByteToUnicode(h, units, 8, "ab", nullptr) == OK);
    Converter own = *h;
    own.toUnicodeStep = OneUp<uint16_t, KXUToUnicode>, own.byteScanner = KXZByteScanner, own.toByteStep = OneUp<char, KXUToByte>;
    toUnits(&own, "a[0041]\xC3\xA9", 10, OK, u"bA\u00EA");
    char bytes[4];
    EXPECT_TRUE(KXUXUnicodeToByte(&own, bytes, 4, U(u"ab"), &count) == OK && std::string(bytes) == "bc");
    ASSERT_EQ(KXUXSetUniFunctions(h, nullptr, KXZUniScannerForOemEuro, nullptr), OK);
    EXPECT_TRUE(KXUXUnicodeToByte(h, bytes, 4, U(u"ab"), &count) == OK && count == 2 && KXUXUnicodeToUntermByte(h, bytes, 4, U(u"ab"), nullptr) == OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, Boasts<char, uint16_t>, nullptr, nullptr), OK);
    own = *h, own.toByteStep = BoastingStep;
    for (const ConverterHandle c : {h, &own}) {
        for (uint32_t size : {1u, 2u, 8u}) {
            Guarded<char> out(size);
            uint32_t written = kUnset, needed = kUnset;
            KXUXUnicodeToByte(c, out.data(), size, U(u"x\xDC00y"), &written);
            KXUXUnicodeToByte(c, nullptr, 0, U(u"x\xDC00y"), &needed);
            EXPECT_TRUE(out.intact() && written < size && out[written] == 0 && needed != kUnset) << size;
        }
    }
    // A scanner that has found nothing is not asked again for the rest of the text.
    ASSERT_TRUE(KXUXResetConverter(h) == OK && KXUXSetScanAction(h, SCAN_ESCAPES, SCAN_ESCAPES) == OK && KXUXSetNoMapAction(h, NOMAP_FIXER, NOMAP_FIXER) == OK);
    ASSERT_TRUE(KXUXSetUniFunctions(h, nullptr, Counting<uint16_t>, nullptr) == OK && KXUXSetByteFunctions(h, nullptr, Counting<char>, nullptr) == OK);
    Guarded<char> wide(32);
    Guarded<uint16_t> narrow(32);
    scans = 0;
    EXPECT_TRUE(KXUXUnicodeToByte(h, wide.data(), 32, U(u"a\xDC00" u"b\xDC00" u"c"), &count) == OK && count == 15 && scans == 1);
    scans = 0;
    EXPECT_TRUE(KXUXByteToUnicode(h, narrow.data(), 32, "a\xFF" "b\xFF" "c", &count) == OK && count == 11 && scans == 1);
    KXUXUnloadConverter(h);
}

// A counted source read to its end, and a NUL inside one, wherever a run
// stands (variants 4875, 6500 and 8125 of the units: to bytes, upper and
// lower case; 1625 of the bytes; all the room, counted to the end).
TEST(Converter, CountedSourcesEndAtTheCountOrANul) {
    for (const auto &[locale, letter] : {std::pair{qtest::kUtf8, u'\u3042'}, {qtest::kLatin1, u'\u00E9'}, {qtest::kEucJp, u'\u3042'}, {qtest::kCp1251, u'\u0416'}}) {
        LocaleScope scope(locale);
        char one[MB_LEN_MAX];
        std::mbstate_t state{};
        const size_t n = std::wcrtomb(one, static_cast<wchar_t>(letter), &state);
        std::string bytes;
        for (int i = 0; i < 200; ++i) bytes.append(one, n);
        for (const std::u16string &after : {std::u16string(), std::u16string(u"\0xy", 3)}) {
            for (uint32_t variant : {4875u, 6500u, 8125u}) qcheck::FamilyNamed("engine").units(std::u16string(200, letter) + after, variant);
            qcheck::FamilyNamed("engine").bytes(bytes + std::string(after.begin(), after.end()), 1625);
        }
    }
}

// The DOS code pages that gained the Euro late get its scanners and parsers;
// any other keeps the escapes' and only turns scanning on.
TEST(Converter, OemEuroOnlyInTheDosCodePages) {
    for (uint32_t page : {437u, 737u, 775u, 850u, 852u, 855u, 857u, 860u, 861u, 862u, 863u, 865u, 866u, 869u, 0u, 864u, 874u, 1252u}) {
        ConverterHandle h = nullptr;
        ASSERT_EQ(KXZLoadByteUnicodeConverter(page, 1, &h), OK);
        ASSERT_EQ(KXUXEnableOemEuro(h), OK);
        const bool dos = page >= 437 && page <= 869 && page != 864;
        EXPECT_TRUE(h->byteScanAction == SCAN_ESCAPES && h->uniScanAction == SCAN_ESCAPES) << page;
        EXPECT_EQ(h->uniParser == KXZUniParserForOemEuro && h->byteScanner == KXZByteScannerForOemEuro, dos) << page;
        KXUXUnloadConverter(h);
    }
}

// A fixer that switches the locale mid-call: what follows is read in the
// new locale (no memo of libc's answers outlives it).
const char *g_switchTo = nullptr;
template <auto Fixer, typename Out, typename In>
int32_t Switching(ConverterHandle h, Out *out, uint32_t space, uint32_t *produced, const In *in, uint32_t n) {
    if (g_switchTo != nullptr) setlocale(LC_ALL, g_switchTo), g_switchTo = nullptr;
    return Fixer(h, out, space, produced, in, n);
}

TEST(Converter, ACallbackChangesTheLocaleMidCall) {
    std::u16string half;  // letters both locales write, differently, around a refused unit or byte
    for (int i = 0; i < 150; ++i) half += u"\u0416\u0451";
    for (const auto &[from, to] : {std::pair{"ja_JP.EUC-JP", "ru_RU.CP1251"}, {"ru_RU.CP1251", "ja_JP.EUC-JP"}, {"en_US.UTF-8", "ja_JP.EUC-JP"}}) {
        LocaleScope scope(from);
        ConverterHandle h = nullptr;
        ASSERT_TRUE(KXUXLoadByteUnicodeConverter(0, &h) == OK && KXUXSetNoMapAction(h, NOMAP_FIXER, NOMAP_FIXER) == OK);
        ASSERT_TRUE(KXUXSetUniFunctions(h, Switching<KXZNoMapUniFixer, char, uint16_t>, nullptr, nullptr) == OK &&
                    KXUXSetByteFunctions(h, Switching<KXZNoMapByteFixer, uint16_t, char>, nullptr, nullptr) == OK);
        std::u16string wantBytes, wantUnits, first;
        qref::UnitsToBytes(U(half + char16_t(0xDC00)), false, NOMAP_FIXER, 0, false, wantBytes);
        qref::UnitsToBytes(U(half), false, NOMAP_FIXER, 0, false, first);
        const std::string bytes = std::string(first.begin(), first.end()) + (from[0] == 'r' ? "\x98" : "\xFF") + std::string(first.begin(), first.end());
        qref::BytesToUnits(bytes.c_str(), static_cast<int32_t>(first.size() + 1), NOMAP_FIXER, 0, false, wantUnits);
        setlocale(LC_ALL, to);
        qref::UnitsToBytes(U(half), false, NOMAP_FIXER, 0, false, wantBytes);
        qref::BytesToUnits(bytes.c_str() + first.size() + 1, -1, NOMAP_FIXER, 0, false, wantUnits);
        for (bool measure : {false, true}) {
            Guarded<char> out(static_cast<uint32_t>(wantBytes.size()) + 1);
            Guarded<uint16_t> units(static_cast<uint32_t>(wantUnits.size()) + 1);
            uint32_t count = kUnset, unitCount = kUnset;
            setlocale(LC_ALL, from), g_switchTo = to;
            EXPECT_EQ(KXUXUnicodeToByte(h, measure ? nullptr : out.data(), out.size(), U(half + char16_t(0xDC00) + half), &count), OK);
            setlocale(LC_ALL, from), g_switchTo = to;
            EXPECT_EQ(KXUXByteToUnicode(h, measure ? nullptr : units.data(), units.size(), bytes.c_str(), &unitCount), OK);
            EXPECT_TRUE(count == wantBytes.size() && unitCount == wantUnits.size() && out.intact() && units.intact()) << from << measure;
            EXPECT_TRUE(measure || (std::string(out.data(), count) == std::string(wantBytes.begin(), wantBytes.end()) && qtest::S16(units.data(), unitCount) == wantUnits));
        }
        KXUXUnloadConverter(h);
    }
}

}  // namespace
