// The standard set: reference counts, override, code page and country, the
// shortcuts beside the functions they stand for, case-blind comparison.
#include <quemba/standard.h>

#include <array>
#include <vector>

#include "qtest.h"

namespace {

using qtest::U;
using Counts = std::array<int32_t, 3>;

// References on byteUni, lowerCase, upperCase; 0 for a record not loaded.
Counts Loaded() {
    const ConverterHandle h[] = {KXZStandardByteUni(), KXZStandardLowerCase(), KXZStandardUpperCase()};
    return {KXZCheckHandle(h[0], 0) == CVT_OK ? h[0]->refCount : 0, KXZCheckHandle(h[1], 0) == CVT_OK ? h[1]->refCount : 0,
            KXZCheckHandle(h[2], 0) == CVT_OK ? h[2]->refCount : 0};
}

// Every test starts and ends with nothing loaded, _unilower's reference too.
class Standard : public testing::Test {
protected:
    static void Unload() {
        for (int i = 0; i < 1000 && Loaded() != Counts{}; ++i) KXUSStandardUnicodeRelease();
    }
    void SetUp() override { Unload(); }
    void TearDown() override {
        Unload();
        EXPECT_EQ(Loaded(), Counts{});
    }
};

TEST_F(Standard, ReferenceCountScripts) {
    enum Op { Init, Release, Override, UnloadByteUni, UnloadLower };
    // codePage: Override's argument, then byteUni's code page while loaded.
    struct Step { Op op; uint32_t codePage; int32_t result; Counts counts; };
    const std::vector<std::vector<Step>> scripts = {
        {{Release, 0, 0, {0, 0, 0}}, {Init, 0, 0, {1, 1, 1}}, {Init, 0, 0, {2, 2, 2}}, {Override, 0, 0, {2, 2, 2}},
         {Release, 0, 0, {1, 1, 1}}, {Release, 0, 0, {0, 0, 0}}, {Release, 0, 0, {0, 0, 0}}, {Init, 0, 0, {1, 1, 1}}},
        {{Override, 850, 0, {1, 1, 1}}, {Override, 850, 0, {1, 1, 1}}, {Override, 437, 0, {1, 1, 1}}, {Release, 0, 0, {0, 0, 0}}},
        {{Init, 0, 0, {1, 1, 1}}, {Init, 0, 0, {2, 2, 2}}, {Override, 850, 0, {1, 2, 2}}, {Release, 0, 0, {0, 1, 1}},
         {Init, 0, 0, {1, 2, 2}}},
        {{Init, 0, 0, {1, 1, 1}}, {UnloadLower, 0, 0, {1, 0, 1}}, {UnloadLower, 0, CVT_E_BAD_HANDLE, {1, 0, 1}},
         {Override, 0, 0, {1, 0, 1}}, {Override, 932, 0, {1, 1, 1}}, {UnloadByteUni, 0, 0, {0, 1, 1}},
         {UnloadByteUni, 0, CVT_E_BAD_HANDLE, {0, 1, 1}}, {Init, 0, 0, {1, 2, 2}}}};
    for (const auto &script : scripts) {
        Unload();
        for (const Step &s : script) {
            const int32_t r = s.op == Init ? KXUSStandardUnicodeInit() : s.op == Release ? (KXUSStandardUnicodeRelease(), 0)
                            : s.op == Override ? KXUSStandardUnicodeOverride(s.codePage)
                                               : KXUXUnloadConverter(s.op == UnloadByteUni ? KXZStandardByteUni() : KXZStandardLowerCase());
            EXPECT_TRUE(r == s.result && Loaded() == s.counts) << (&script - scripts.data()) << " step " << (&s - script.data());
            EXPECT_TRUE(s.counts[0] == 0 || KXZStandardByteUni()->codePage == s.codePage);
        }
    }
    uint16_t sub = 0;  // another code page reloads with the defaults, the same one keeps the settings
    ASSERT_TRUE(KXUSStandardUnicodeInit() == CVT_OK && KXUXSetSubUni(KXZStandardByteUni(), u'?') == CVT_OK);
    EXPECT_TRUE(KXUSStandardUnicodeOverride(0) == CVT_OK && KXUXGetSubUni(KXZStandardByteUni(), &sub) == CVT_OK && sub == u'?');
    EXPECT_TRUE(KXUSStandardUnicodeOverride(850) == CVT_OK && KXUXGetSubUni(KXZStandardByteUni(), &sub) == CVT_OK && sub == 0xFFFD);
    EXPECT_TRUE(KXZStandardUpperCase()->subKind == CASE_UPPER && semStandard == 0u);
}

// The country is the environment's telephone prefix whatever the program
// selected; the code page is byteUni's while it is loaded, else 0. Init
// leaves the program's own categories alone.
TEST_F(Standard, CodePageAndCountry) {
    for (const auto &[environment, country] : {std::pair{"C", 0u}, {"de_DE.UTF-8", 49u}, {"fi_FI.UTF-8", 358u},
                                               {"qz_QZ.UTF-8", 1234u}, {"qy_QY.UTF-8", uint32_t(-7)}}) {
        qtest::LocaleScope scope("en_US.UTF-8");
        qtest::EnvScope env("LC_ALL", environment);
        for (uint32_t loaded : {0u, 850u, 0u}) {
            ASSERT_EQ(loaded == 0 ? (KXUSStandardUnicodeRelease(), CVT_OK) : KXUSStandardUnicodeOverride(loaded), CVT_OK);
            uint32_t codePage = 1, countryCode = 1;
            EXPECT_EQ(KXUSGetCodePage(&codePage, &countryCode) | KXUSGetCodePage(nullptr, nullptr), CVT_OK);
            EXPECT_TRUE(codePage == loaded && countryCode == country) << environment;
        }
    }
    qtest::LocaleScope scope("C");
    ASSERT_TRUE(setlocale(LC_TIME, "de_DE.UTF-8") != nullptr && setlocale(LC_TELEPHONE, "fi_FI.UTF-8") != nullptr);
    qtest::EnvScope env("LANG", "en_US.UTF-8");
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    EXPECT_TRUE(qtest::Category(LC_TIME) == "de_DE.UTF-8" && qtest::Category(LC_TELEPHONE) == "fi_FI.UTF-8");
}

// Each shortcut gives what its function gives on the standard handle, or
// CVT_E_NOT_INITIALISED for a record not loaded.
TEST_F(Standard, ShortcutsBeforeAndAfterTheSetIsLoaded) {
    qtest::LocaleScope scope("en_US.UTF-8");
    static const char kBytes[] = "Gr\xc3\xbc\xc3\x9f" "e [00E9]\\x";
    static const uint16_t *const kUnits = U(u"Gr\u00fc\u00dfe \\\u00a5\u20a9\u20ac");
    using Call = int32_t (*)(bool shortcut, void *o, uint32_t n, uint32_t *c);
#define O16 static_cast<uint16_t *>(o)
#define O8 static_cast<char *>(o)
#define ROW(bytes, shortcut, direct) {bytes, [](bool s, void *o, uint32_t n, uint32_t *c) { return s ? KXUS##shortcut : KXUX##direct; }}
#define B KXZStandardByteUni()
    static const std::pair<bool, Call> rows[] = {
        ROW(false, ByteToUnicode(O16, n, kBytes, c), LenByteToUnicode(B, O16, n, kBytes, -1, c)),
        ROW(false, LenByteToUnicode(O16, n, kBytes, 9, c), LenByteToUnicode(B, O16, n, kBytes, 9, c)),
        ROW(false, ByteToUnicodePath(O16, n, kBytes, c), ByteToUnicodePath(B, O16, n, kBytes, c)),
        ROW(false, LenByteToUnicodePath(O16, n, kBytes, 9, c), LenByteToUnicodePath(B, O16, n, kBytes, 9, c)),
        ROW(true, UnicodeToByte(O8, n, kUnits, c), UnicodeToByte(B, O8, n, kUnits, c)), ROW(true, UnicodeToBytePath(O8, n, kUnits, c), UnicodeToBytePath(B, O8, n, kUnits, c)),
        ROW(true, UnicodeToUntermByte(O8, n, kUnits, c), UnicodeToUntermByte(B, O8, n, kUnits, c)),
        ROW(true, UnicodeToUntermBytePath(O8, n, kUnits, c), UnicodeToUntermBytePath(B, O8, n, kUnits, c)),
        ROW(false, UnicodeToLowerCase(O16, n, kUnits, c), UnicodeToCase(KXZStandardLowerCase(), O16, n, kUnits, c)),
        ROW(false, UnicodeToUpperCase(O16, n, kUnits, c), UnicodeToCase(KXZStandardUpperCase(), O16, n, kUnits, c))};
    for (int phase = 0; phase < 4; ++phase) {  // before Init, after two, after one release, after the last
        const int32_t init = phase == 1 ? KXUSStandardUnicodeInit() | KXUSStandardUnicodeInit() : CVT_OK;
        EXPECT_EQ(init, CVT_OK);
        if (phase >= 2) KXUSStandardUnicodeRelease();
        for (const auto &[bytes, call] : rows) {
            for (const uint32_t size : {24u, 3u, 0u}) {
                std::vector<int64_t> seen[2];
                for (const bool shortcut : {false, true}) {
                    qtest::Guarded<uint16_t> units(24);
                    qtest::Guarded<char> out(24);
                    uint32_t count = 0xCCCCCCCC;
                    void *o = size == 0 ? nullptr : bytes ? static_cast<void *>(out.data()) : units.data();
                    seen[shortcut] = {call(shortcut, o, size, &count), count};
                    for (ptrdiff_t i = -8; i < 32; ++i) seen[shortcut].push_back(bytes ? out.data()[i] : units.data()[i]);
                }
                const bool loaded = phase == 1 || phase == 2;
                EXPECT_EQ(seen[0][0], loaded ? (size == 3 ? CVT_E_BUFFER_FULL : CVT_OK) : CVT_E_BAD_HANDLE) << phase << " " << size;
                EXPECT_EQ(seen[1][0], loaded ? seen[0][0] : CVT_E_NOT_INITIALISED);
                seen[1][0] = seen[0][0];
                EXPECT_EQ(seen[1], seen[0]) << phase << " row " << (&call - &rows[0].second) << " size " << size;
            }
        }
    }
}

// _unilower loads the set once and keeps that reference; the comparisons
// read nothing past the first difference, the end of s1 or n units.
TEST_F(Standard, CaselessCompare) {
    EXPECT_TRUE(_unilower(u'A') == u'a' && _unilower(u'B') == u'b' && Loaded() == (Counts{1, 1, 1}));
    KXUSStandardUnicodeRelease();
    EXPECT_TRUE(_unilower(u'C') == u'c' && Loaded() == (Counts{1, 1, 1}));
    qtest::LocaleScope scope("de_DE.UTF-8");
    for (const auto &[ch, lower] : {std::pair{0, 0}, {0x10041, u'a'}, {-1, 0xFFFF}, {0x00C4, 0x00E4}, {0xD800, 0xD800}}) EXPECT_EQ(_unilower(ch), lower) << ch;
    const struct { const char16_t *s1, *s2; uint32_t n; int32_t icmp, nicmp; } cases[] = {
        {u"", u"", 5, 0, 0}, {u"ABC", u"abc", 3, 0, 0}, {u"abc", u"abd", 2, -1, 0}, {u"ab", u"abc", 5, -99, -99},
        {u"abc", u"ab", 5, 99, 99}, {u"abX", u"ABy", 0, -1, 0}, {u"abX", u"ABy", 3, -1, -1},
        {u"\u00c4rger", u"\u00e4RGER", 5, 0, 0}, {u"\uffff", u"a", 1, 0xFFFF - u'a', 0xFFFF - u'a'}};
    for (const auto &c : cases) EXPECT_TRUE(kxusuniicmp(U(c.s1), U(c.s2)) == c.icmp && kxusuninicmp(U(c.s1), U(c.s2), c.n) == c.nicmp) << (&c - cases);
    const uint16_t unterminated[] = {u'A', u'x'};
    EXPECT_TRUE(kxusuniicmp(U(u"ab"), unterminated) == u'b' - u'x' && kxusuninicmp(U(u"ab"), unterminated, 1) == 0);
}

}  // namespace
