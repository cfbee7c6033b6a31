// Every function that allocates, with each of its allocations refused in
// turn: the result code, no block of the library left behind, the state from
// before the call intact. And no conversion allocates at all. Under the
// sanitize preset the leak checker watches as well.
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/table_handle.h>

#include <functional>

#include "alloc_fault.h"
#include "qtest.h"

namespace {

namespace fault = qtest::fault;
const void *const kLibrary = reinterpret_cast<const void *>(&KXZCheckHandle);

std::string Categories() {
    std::string all;
    for (int c : {LC_CTYPE, LC_NUMERIC, LC_TIME, LC_COLLATE, LC_MONETARY, LC_TELEPHONE}) all += qtest::Category(c) + ";";
    return all;
}

// Runs `call` with nothing refused, then with each of its allocations
// refused; `check` judges each run: refused 0 or 1, live the library's
// blocks still held afterwards. Returns how many allocations it makes.
int Sweep(const char *what, const std::function<void()> &call, const std::function<void(int, int)> &check) {
    SCOPED_TRACE(what);
    const int total = fault::Run(kLibrary, -1, call);
    check(0, fault::liveCount);
    for (int n = 0; n < total; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
        fault::Run(kLibrary, n, call);
        EXPECT_EQ(fault::failed, 1);
        check(1, fault::liveCount);
    }
    return total;
}

class Faults : public testing::Test {
protected:
    void SetUp() override {
        if (fault::UnderValgrind()) GTEST_SKIP() << "valgrind's allocator takes the place of this program's malloc";
        setenv("LC_ALL", "de_DE.UTF-8", 1);  // the environment's country: 49
        setlocale(LC_ALL, "C");
        ASSERT_NE(setlocale(LC_TIME, "fi_FI.UTF-8"), nullptr);
        ASSERT_NE(setlocale(LC_TELEPHONE, "en_US.UTF-8"), nullptr);
        before_ = Categories();
    }
    void TearDown() override {
        unsetenv("LC_ALL");
        setlocale(LC_ALL, "C");
    }
    std::string before_;
};

TEST_F(Faults, ConverterLoaders) {
    const ConverterHandle kSentinel = reinterpret_cast<ConverterHandle>(0x1234);
    struct Row {
        const char *name;
        std::function<int32_t(ConverterHandle *)> load;
        int32_t loaded;     // with nothing refused
        bool clearsHandle;  // null stored before the allocation
    } const rows[] = {
        {"byte/unicode", [](ConverterHandle *h) { return KXUXLoadByteUnicodeConverter(0, h); }, CVT_OK, true},
        {"lower", [](ConverterHandle *h) { return KXUXLoadCaseConverter(CASE_LOWER, h); }, CVT_OK, true},
        {"KXZ any", [](ConverterHandle *h) { return KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 1, h); }, CVT_OK, false},
        {"KXZ 850", [](ConverterHandle *h) { return KXZLoadByteUnicodeConverter(850, 1, h); }, CVT_OK, false},
        {"KXZ upper", [](ConverterHandle *h) { return KXZLoadCaseConverter(CASE_UPPER, 1, h); }, CVT_OK, false},
        {"normalize", [](ConverterHandle *h) { return KXUXLoadNormalizeConverter(0, h); }, CVT_E_LOAD_FAILED, false},
    };
    for (const Row &row : rows) {
        ConverterHandle h = kSentinel;
        int32_t result = 0;
        Sweep(row.name, [&] { h = kSentinel, result = row.load(&h); }, [&](int refused, int live) {
            const bool loaded = !refused && result == CVT_OK;
            EXPECT_TRUE(result == (refused ? CVT_E_NO_MEMORY : row.loaded) && live == (loaded ? 1 : 0));
            EXPECT_TRUE(loaded ? KXUXUnloadConverter(h) == CVT_OK : h == (refused && row.clearsHandle ? nullptr : kSentinel));
        });
    }
    // The collation loader reads the country information, then gives the
    // record back (no collation): only a refused record is no memory.
    for (uint32_t country : {0u, 49u}) {
        ConverterHandle h = kSentinel;
        int32_t result = 0;
        const auto load = [&] { result = KXUXLoadCollationConverter(country, &h); };
        const int total = Sweep("collation", load, [&](int refused, int live) {
            EXPECT_TRUE((result == CVT_E_LOAD_FAILED || (refused && result == CVT_E_NO_MEMORY)) && h == nullptr && live == 0);
            EXPECT_EQ(Categories(), before_);
        });
        fault::Run(kLibrary, total - 1, load);
        EXPECT_EQ(result, CVT_E_NO_MEMORY);
    }
}

TEST_F(Faults, SearchPathAndCollationWeights) {
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("/first"), 0);
    int32_t result = 0;
    Sweep("search path", [&] { result = KXLSetPrimaryUnicodeSearchPath("/second/path"); }, [&](int refused, int live) {
        // The new copy is the library's own block.
        EXPECT_TRUE(result == (refused ? LOC_E_NO_MEMORY : 0) && live == 1 - refused);
        EXPECT_STREQ(strUnicodeSearchPath, refused ? "/first" : "/second/path");
        KXLSetPrimaryUnicodeSearchPath("/first");
    });
    for (const char *locale : {"C", qtest::kUtf8, qtest::kEucJp}) {
        qtest::LocaleScope scope(locale);
        uint16_t full[64];
        uint32_t fullCount = 0, count = 0;
        ASSERT_EQ(KXUnicodeToCollation(0, full, 64, qtest::U(u"Stra\u00dfe"), 0, &fullCount), 0);
        qtest::Guarded<uint16_t> out(64);
        Sweep("weights", [&] { count = 7, result = KXUnicodeToCollation(0, out.data(), 64, qtest::U(u"Stra\u00dfe"), 0, &count); },
              [&](int refused, int live) {
                  EXPECT_TRUE(live == 0 && out.intact() && result == (refused ? LOC_E_NO_MEMORY : 0) && count == (refused ? 0u : fullCount));
                  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(out.data())), refused ? u"" : reinterpret_cast<const char16_t *>(full));
              });
        // Comparing characters allocates nothing (a refused block once made a
        // character unequal to itself).
        for (char16_t c : u"aA\u00e4\u00df1 \u3042") {
            int32_t order = 9;
            EXPECT_TRUE(fault::Run(kLibrary, 0, [&] { order = KXUnicodeCompare(0, c, c); }) == 0 && order == 0);
        }
    }
}

TEST_F(Faults, CountryInformationAndItsCallers) {
    CountryInfo info;
    int32_t result = 0;
    Sweep("_KXGetCountryInfo", [&] { std::memset(&info, 0xA5, sizeof info), result = _KXGetCountryInfo(&info); },
          [&](int refused, int live) {
              EXPECT_TRUE(result == (refused ? -1 : 0) && live == 0 && Categories() == before_);
              EXPECT_TRUE(info.reserved_tail[0] == static_cast<char>(0xA5) && (refused || info.country_code == 49));
          });
    // KXLsetlocale: a failed fill gives null, keeps the new setting and the
    // last country ID.
    char *id = KXLsetlocale(2, nullptr), *got = nullptr;
    ASSERT_STREQ(id, "049");
    Sweep("KXLsetlocale", [&] { setlocale(LC_NUMERIC, "C"), got = KXLsetlocale(4, "ru_RU.CP1251"); },
          [&](int refused, int live) {
              EXPECT_TRUE(got == (refused ? nullptr : id) && live == 0 && std::string(id) == "049");
              EXPECT_TRUE(qtest::Category(LC_NUMERIC) == "ru_RU.CP1251" && qtest::Category(LC_TIME) == "fi_FI.UTF-8");
          });
    setlocale(LC_NUMERIC, "C");
    // The code-page query reports what it can: code page 0, country 0.
    uint32_t codePage = 7, country = 7;
    Sweep("KXUSGetCodePage", [&] { result = KXUSGetCodePage(&codePage, &country); }, [&](int refused, int live) {
        EXPECT_TRUE(result == 0 && codePage == 0 && country == (refused ? 0u : 49u) && live == 0 && Categories() == before_);
    });
    // The standard set lives in static storage: nothing to allocate.
    EXPECT_EQ(Sweep("init", [&] { result = KXUSStandardUnicodeInit(); }, [](int, int) {}), 0);
    KXUSStandardUnicodeRelease();
}

// No conversion allocates, not even inside libc on its behalf.
TEST_F(Faults, ConversionsAllocateNothing) {
    qtest::LocaleScope eucjp(qtest::kEucJp);
    ConverterHandle bytes = nullptr, lower = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &bytes), CVT_OK);
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_LOWER, &lower), CVT_OK);
    ASSERT_EQ(KXUXSetScanAction(bytes, SCAN_ESCAPES, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetNoMapAction(bytes, NOMAP_FIXER, NOMAP_FIXER), CVT_OK);
    std::string in8, out8(8192, 0);
    std::u16string in16, out16(8192, 0);
    // Characters in pairs and after a refusal: runs that start outside ASCII reach the memos and bulk calls.
    for (int i = 0; i < 300; ++i) in8 += "a\xA4\xA2\xA4\xA2[0041]\xFF\\", in16 += u"a\u3042[41]\u00E9\\\u00A5\u4E2D\xD800\u4E2D";
    uint16_t *o16 = reinterpret_cast<uint16_t *>(out16.data());
    const uint16_t *s16 = qtest::U(in16);
    uint32_t n = 0;
    std::vector<int32_t> results;
    const auto convert = [&] {
        results = {KXUXByteToUnicode(bytes, o16, 8192, in8.c_str(), &n),
                   KXUXLenByteToUnicode(bytes, nullptr, 0, in8.c_str(), -1, &n),
                   KXZLSUnicodeLength(bytes, in8.c_str(), -1, &n),
                   KXUXUnicodeToByte(bytes, out8.data(), 8192, s16, &n),
                   KXUXUnicodeToByte(bytes, nullptr, 0, s16, &n),
                   KXUXUnicodeToBytePath(bytes, out8.data(), 8192, s16, &n),
                   KXZBytePathLength(bytes, s16, &n),
                   KXZByteLength(bytes, s16, &n),
                   KXUXUnicodeToCase(lower, o16, 8192, s16, &n),
                   KXUXUnicodeToCase(lower, nullptr, 0, s16, &n),
                   KXLocalToUnicode(0, o16, 8192, in8.c_str(), u'?', &n),
                   KXUnicodeToLocal(0, out8.data(), 8192, s16, '?', &n)};
    };
    convert();  // libc loads the charset's converter on first use
    results.reserve(16);
    fault::countAll = true;
    EXPECT_EQ(fault::Run(kLibrary, -1, convert), 0);
    fault::countAll = false;
    EXPECT_EQ(results, std::vector<int32_t>(12, 0));
    KXUXUnloadConverter(bytes);
    KXUXUnloadConverter(lower);
}

}  // namespace
