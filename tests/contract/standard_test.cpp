// The standard set: reference counts, override, code page and country, the
// shortcuts while nothing is loaded, the edges of case-blind comparison.
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
    const auto n = [&](int i) { return KXZCheckHandle(h[i], 0) == CVT_OK ? h[i]->refCount : 0; };
    return {n(0), n(1), n(2)};
}

// Every test starts and ends with nothing loaded, _unilower's reference too.
class Standard : public testing::Test {
protected:
    static Counts Unload() {
        for (int i = 0; i < 1000 && Loaded() != Counts{}; ++i) KXUSStandardUnicodeRelease();
        return Loaded();
    }
    void SetUp() override { Unload(); }
    void TearDown() override { EXPECT_EQ(Unload(), Counts{}); }
};

TEST_F(Standard, ReferenceCountScripts) {
    enum Op { Init, Release, Override, UnloadByteUni, UnloadLower };
    // codePage: Override's argument, then byteUni's code page while loaded.
    struct Step { Op op; uint32_t codePage; int32_t result; Counts counts; };
    const std::vector<std::vector<Step>> scripts = {
        {{Release, 0, 0, {0, 0, 0}}, {Init, 0, 0, {1, 1, 1}}, {Init, 0, 0, {2, 2, 2}}, {Override, 0, 0, {2, 2, 2}}, {Release, 0, 0, {1, 1, 1}},
         {Release, 0, 0, {0, 0, 0}}, {Release, 0, 0, {0, 0, 0}}, {Override, 850, 0, {1, 1, 1}}, {Override, 850, 0, {1, 1, 1}},
         {Override, 437, 0, {1, 1, 1}}, {Release, 0, 0, {0, 0, 0}}, {Init, 0, 0, {1, 1, 1}}, {Init, 0, 0, {2, 2, 2}},
         {Override, 850, 0, {1, 2, 2}}, {Release, 0, 0, {0, 1, 1}}, {Init, 0, 0, {1, 2, 2}}},
        {{Init, 0, 0, {1, 1, 1}}, {UnloadLower, 0, 0, {1, 0, 1}}, {UnloadLower, 0, CVT_E_BAD_HANDLE, {1, 0, 1}}, {Override, 0, 0, {1, 0, 1}},
         {Override, 932, 0, {1, 1, 1}}, {UnloadByteUni, 0, 0, {0, 1, 1}}, {UnloadByteUni, 0, CVT_E_BAD_HANDLE, {0, 1, 1}}, {Init, 0, 0, {1, 2, 2}}}};
    for (const auto &script : scripts) {
        EXPECT_EQ(Unload(), Counts{});
        for (const Step &s : script) {
            const int32_t r = s.op == Init ? KXUSStandardUnicodeInit() : s.op == Release ? (KXUSStandardUnicodeRelease(), 0)
                            : s.op == Override ? KXUSStandardUnicodeOverride(s.codePage)
                                               : KXUXUnloadConverter(s.op == UnloadByteUni ? KXZStandardByteUni() : KXZStandardLowerCase());
            EXPECT_TRUE(r == s.result && Loaded() == s.counts && (s.counts[0] == 0 || KXZStandardByteUni()->codePage == s.codePage))
                << (&script - scripts.data()) << " step " << (&s - script.data());
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
    for (const auto &[environment, country] : {std::pair{"C", 0u}, {"de_DE.UTF-8", 49u}, {"fi_FI.UTF-8", 358u}, {"qz_QZ.UTF-8", 1234u}, {"qy_QY.UTF-8", uint32_t(-7)}}) {
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

// While its record is not loaded a shortcut refuses as the driver would, with
// CVT_E_NOT_INITIALISED (the sweep compares loaded shortcuts with the models).
TEST_F(Standard, ShortcutsBeforeAndAfterTheSetIsLoaded) {
    static const char *const kBytes = "ab";
    static const uint16_t *const kUnits = U(u"ab");
    using Call = int32_t (*)(void *o, uint32_t n, uint32_t *c);
#define O16 static_cast<uint16_t *>(o)
#define O8 static_cast<char *>(o)
#define ROW(term, call) {term, [](void *o, uint32_t n, uint32_t *c) { return KXUS##call; }}
    static const std::pair<bool, Call> rows[] = {
        ROW(true, ByteToUnicode(O16, n, kBytes, c)), ROW(true, LenByteToUnicode(O16, n, kBytes, 2, c)), ROW(true, ByteToUnicodePath(O16, n, kBytes, c)),
        ROW(true, LenByteToUnicodePath(O16, n, kBytes, 2, c)), ROW(true, UnicodeToByte(O8, n, kUnits, c)), ROW(true, UnicodeToBytePath(O8, n, kUnits, c)),
        ROW(false, UnicodeToUntermByte(O8, n, kUnits, c)), ROW(false, UnicodeToUntermBytePath(O8, n, kUnits, c)),
        ROW(true, UnicodeToLowerCase(O16, n, kUnits, c)), ROW(true, UnicodeToUpperCase(O16, n, kUnits, c))};
    for (int phase = 0; phase < 3; ++phase) {  // before Init, after two Inits and one release, after the last
        EXPECT_EQ(phase == 1 ? KXUSStandardUnicodeInit() | KXUSStandardUnicodeInit() : CVT_OK, CVT_OK);
        if (phase > 0) KXUSStandardUnicodeRelease();
        for (const auto &[terminates, call] : rows) {
            qtest::Guarded<uint16_t> out(4);  // bytes or units: the first unit holds any terminator
            uint32_t count = 0xCCCCCCCC;
            const int32_t r = call(out.data(), out.size(), &count);
            EXPECT_TRUE(phase == 1 ? r == CVT_OK && count == 2 : r == CVT_E_NOT_INITIALISED && count == 0 && out.untouchedFrom(1) &&
                        (terminates ? (out[0] & 0xFF) == 0 : out[0] == out.kFill)) << phase << " row " << (&call - &rows[0].second);
            EXPECT_TRUE(out.intact() && call(nullptr, 0, &count) == r && count == (phase == 1 ? 2u : 0u));
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
    const uint16_t unterminated[] = {u'A', u'x'};
    EXPECT_TRUE(kxusuniicmp(U(u"ab"), unterminated) == u'b' - u'x' && kxusuninicmp(U(u"ab"), unterminated, 1) == 0);
    EXPECT_TRUE(kxusuninicmp(U(u"abX"), U(u"ABy"), 0) == 0 && kxusuniicmp(U(u"ab"), U(u"abc")) == -99 && kxusuninicmp(U(u"abc"), U(u"ab"), 5) == 99);
}

}  // namespace
