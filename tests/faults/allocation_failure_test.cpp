// Every function that allocates, with each of its allocations refused in
// turn: the result code, no block of the library left behind, and the
// state from before the call intact. Under the sanitize preset the leak
// checker watches as well.
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/table_handle.h>

#include <functional>
#include <string>

#include "alloc_fault.h"
#include "locale_env.h"
#include "quemba_test.h"

namespace {

namespace fault = qtest::fault;
using qtest::LocaleScope;

const void *const kLibrary = reinterpret_cast<const void *>(&KXZCheckHandle);

std::string Categories() {
    std::string all;
    for (int c : {LC_CTYPE, LC_NUMERIC, LC_TIME, LC_COLLATE, LC_MONETARY, LC_TELEPHONE}) {
        all += qtest::Category(c) + ";";
    }
    return all;
}

// Calls `call` once with nothing refused (the count of allocations it
// makes must be `expected`), then once per allocation with that one refused;
// `check` judges each run: refused is the number refused (0 or 1), live
// the library's blocks still held afterwards.
void Sweep(const char *what, int expected, const std::function<void()> &call,
           const std::function<void(int refused, int live)> &check) {
    SCOPED_TRACE(what);
    const int total = fault::Run(kLibrary, -1, call);
    EXPECT_EQ(total, expected);
    check(0, fault::liveCount);
    for (int n = 0; n < total; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
        fault::Run(kLibrary, n, call);
        EXPECT_EQ(fault::failed, 1);
        check(1, fault::liveCount);
    }
}

class AllocationFailure : public testing::Test {
protected:
    void SetUp() override {
        if (fault::UnderValgrind()) GTEST_SKIP() << "valgrind's allocator takes the place of this program's malloc";
        // The environment's locale for the country information: prefix 49.
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        setlocale(LC_ALL, "C");
        ASSERT_NE(setlocale(LC_TIME, "fi_FI.UTF-8"), nullptr);
        ASSERT_NE(setlocale(LC_TELEPHONE, "en_US.UTF-8"), nullptr);
    }
    void TearDown() override {
        unsetenv("LC_ALL");
        setlocale(LC_ALL, "C");
    }
};

TEST_F(AllocationFailure, ConverterLoaders) {
    const ConverterHandle kSentinel = reinterpret_cast<ConverterHandle>(0x1234);
    struct Loader {
        const char *name;
        std::function<int32_t(ConverterHandle *)> load;
        int32_t loaded;       // result with nothing refused
        bool clearsHandle;    // null stored first
    };
    const Loader loaders[] = {
        {"KXUXLoadByteUnicodeConverter", [](ConverterHandle *h) { return KXUXLoadByteUnicodeConverter(0, h); }, CVT_OK, true},
        {"KXUXLoadCaseConverter lower", [](ConverterHandle *h) { return KXUXLoadCaseConverter(CASE_LOWER, h); }, CVT_OK, true},
        {"KXUXLoadCaseConverter upper", [](ConverterHandle *h) { return KXUXLoadCaseConverter(CASE_UPPER, h); }, CVT_OK, true},
        {"KXZLoadConverter", [](ConverterHandle *h) { return KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 1, h); }, CVT_OK, false},
        {"KXZLoadByteUnicodeConverter", [](ConverterHandle *h) { return KXZLoadByteUnicodeConverter(850, 1, h); }, CVT_OK, false},
        {"KXZLoadCaseConverter", [](ConverterHandle *h) { return KXZLoadCaseConverter(CASE_UPPER, 1, h); }, CVT_OK, false},
        {"KXUXLoadNormalizeConverter", [](ConverterHandle *h) { return KXUXLoadNormalizeConverter(0, h); }, CVT_E_LOAD_FAILED, false},
    };
    for (const Loader &l : loaders) {
        ConverterHandle h = kSentinel;
        int32_t result = 0;
        Sweep(l.name, 1, [&] { h = kSentinel; result = l.load(&h); },
              [&](int refused, int live) {
                  if (refused == 0) {
                      EXPECT_EQ(result, l.loaded);
                      if (result == CVT_OK) {
                          EXPECT_EQ(live, 1);
                          EXPECT_EQ(KXZCheckHandle(h, 0), CVT_OK);
                          EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
                      } else {
                          EXPECT_EQ(live, 0);
                          EXPECT_EQ(h, kSentinel);
                      }
                      return;
                  }
                  EXPECT_EQ(result, CVT_E_NO_MEMORY);
                  EXPECT_EQ(live, 0);
                  EXPECT_EQ(h, l.clearsHandle ? nullptr : kSentinel);
              });
    }
}

TEST_F(AllocationFailure, CollationLoaderThroughTheCountryInformation) {
    // Name copies of LC_TELEPHONE and LC_TIME, then the record.
    const std::string before = Categories();
    for (uint32_t country : {0u, 49u}) {
        ConverterHandle h = reinterpret_cast<ConverterHandle>(0x1234);
        int32_t result = 0;
        Sweep("KXUXLoadCollationConverter", country == 0 ? 3 : 1,
              [&] { result = KXUXLoadCollationConverter(country, &h); },
              [&](int refused, int live) {
                  // The engine has no collation: every record is given back.
                  EXPECT_TRUE(result == CVT_E_LOAD_FAILED || (refused && result == CVT_E_NO_MEMORY)) << result;
                  EXPECT_EQ(h, nullptr);
                  EXPECT_EQ(live, 0);
                  EXPECT_EQ(Categories(), before);
              });
    }
    // The record is the last allocation; refused, it is the only no-memory
    // case (a failed fill just means country 0).
    for (int n = 0; n < 3; ++n) {
        ConverterHandle h = nullptr;
        int32_t result = 0;
        fault::Run(kLibrary, n, [&] { result = KXUXLoadCollationConverter(0, &h); });
        EXPECT_EQ(result, n == 2 ? CVT_E_NO_MEMORY : CVT_E_LOAD_FAILED) << n;
    }
}

TEST_F(AllocationFailure, SearchPathKeepsTheOldCopy) {
    ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("/first"), 0);
    int32_t result = 0;
    Sweep("KXLSetPrimaryUnicodeSearchPath", 1, [&] { result = KXLSetPrimaryUnicodeSearchPath("/second/path"); },
          [&](int refused, int live) {
              if (refused == 0) {
                  EXPECT_EQ(result, 0);
                  EXPECT_STREQ(strUnicodeSearchPath, "/second/path");
                  EXPECT_EQ(live, 1);  // the new copy, owned by the library
                  ASSERT_EQ(KXLSetPrimaryUnicodeSearchPath("/first"), 0);
                  return;
              }
              EXPECT_EQ(result, LOC_E_NO_MEMORY);
              EXPECT_STREQ(strUnicodeSearchPath, "/first");
              EXPECT_EQ(live, 0);
          });
}

TEST_F(AllocationFailure, CollationWeightsAndCharacterComparison) {
    for (const std::string &locale : qtest::AllLocales()) {
        LocaleScope scope(locale);
        const char16_t *text = u"Stra\u00dfe";
        uint16_t full[64];
        uint32_t fullCount = 0;
        ASSERT_EQ(KXUnicodeToCollation(0, full, 64, qtest::U(text), 0, &fullCount), 0);
        qtest::Guarded<uint16_t> out(64);
        uint32_t count = 0;
        int32_t result = 0;
        Sweep("KXUnicodeToCollation", 2,
              [&] { count = 0xDEAD; result = KXUnicodeToCollation(0, out.data(), 64, qtest::U(text), 0, &count); },
              [&](int refused, int live) {
                  EXPECT_EQ(live, 0);
                  EXPECT_TRUE(out.intact());
                  if (refused == 0) {
                      EXPECT_EQ(result, 0);
                      EXPECT_EQ(count, fullCount);
                      EXPECT_EQ(qtest::S16(out.data()), qtest::S16(full));
                  } else {
                      EXPECT_EQ(result, LOC_E_NO_MEMORY);
                      EXPECT_EQ(count, 0u);
                      EXPECT_EQ(out[0], 0);
                  }
              });
        // Character comparison allocates nothing (a refused block once made
        // a character unequal to itself) and agrees with the first two
        // weights of KXUnicodeToCollation.
        for (uint16_t a : {u'a', u'b', u'A', u'\u00e4', u'\u00df', u'1', u' ', u'\u3042'}) {
            for (uint16_t b : {u'a', u'B', u'\u00c4', u'z', u'\u0416'}) {
                int32_t order = 9;
                EXPECT_EQ(fault::Run(kLibrary, 0, [&] { order = KXUnicodeCompare(0, a, b); }), 0);
                uint16_t wa[3], wb[3];
                const uint16_t sa[2] = {a, 0}, sb[2] = {b, 0};
                uint32_t n = 0;
                KXUnicodeToCollation(0, wa, 3, sa, 0, &n);
                KXUnicodeToCollation(0, wb, 3, sb, 0, &n);
                const int32_t cmp = qtest::S16(wa) < qtest::S16(wb) ? -1 : qtest::S16(wa) == qtest::S16(wb) ? 0 : 1;
                EXPECT_EQ(order, cmp) << a << " " << b;
                EXPECT_EQ(KXUnicodeCompare(0, a, a), 0);
            }
        }
    }
}

TEST_F(AllocationFailure, CountryInformationAndItsCallers) {
    const std::string before = Categories();
    CountryInfo info;
    int32_t result = 0;
    Sweep("_KXGetCountryInfo", 2, [&] { std::memset(&info, 0xA5, sizeof info); result = _KXGetCountryInfo(&info); },
          [&](int refused, int live) {
              EXPECT_EQ(result, refused ? -1 : 0);
              EXPECT_EQ(live, 0);
              EXPECT_EQ(Categories(), before);
              EXPECT_EQ(info.reserved_tail[0], static_cast<char>(0xA5));
              if (!refused) {
                  EXPECT_EQ(info.country_code, 49);
              }
          });
    CountryInfo *same = nullptr;
    Sweep("KXLlocaleconv", 2, [&] { same = KXLlocaleconv(&info); },
          [&](int, int live) {
              EXPECT_EQ(same, &info);
              EXPECT_EQ(live, 0);
              EXPECT_EQ(Categories(), before);
          });

    // KXLsetlocale: a failed fill gives null, keeps the new setting and the
    // last country ID.
    char *id = KXLsetlocale(2, nullptr);
    ASSERT_STREQ(id, "049");
    ASSERT_NE(setlocale(LC_NUMERIC, "C"), nullptr);
    char *got = nullptr;
    Sweep("KXLsetlocale", 2, [&] { got = KXLsetlocale(4, "ru_RU.CP1251"); },
          [&](int refused, int live) {
              EXPECT_EQ(got, refused ? nullptr : id);
              EXPECT_STREQ(id, "049");
              EXPECT_EQ(qtest::Category(LC_NUMERIC), "ru_RU.CP1251");
              EXPECT_EQ(live, 0);
              EXPECT_EQ(qtest::Category(LC_TIME), "fi_FI.UTF-8");
              EXPECT_EQ(qtest::Category(LC_TELEPHONE), "en_US.UTF-8");
              ASSERT_NE(setlocale(LC_NUMERIC, "C"), nullptr);
          });

    // The code-page query reports what it can: code page 0, country 0.
    uint32_t codePage = 7, country = 7;
    Sweep("KXUSGetCodePage", 2, [&] { result = KXUSGetCodePage(&codePage, &country); },
          [&](int refused, int live) {
              EXPECT_EQ(result, 0);
              EXPECT_EQ(codePage, 0u);
              EXPECT_EQ(country, refused ? 0u : 49u);
              EXPECT_EQ(live, 0);
              EXPECT_EQ(Categories(), before);
          });

    // The standard set lives in static storage and its init needs no fill:
    // nothing to allocate, and one release gives it back.
    Sweep("KXUSStandardUnicodeInit", 0, [&] { result = KXUSStandardUnicodeInit(); },
          [&](int, int live) {
              EXPECT_EQ(result, CVT_OK);
              EXPECT_EQ(KXZStandardByteUni()->refCount, 1);
              EXPECT_EQ(KXZStandardByteUni()->codePage, 0u);
              EXPECT_EQ(live, 0);
              EXPECT_EQ(Categories(), before);
              KXUSStandardUnicodeRelease();
              EXPECT_EQ(KXZCheckHandle(KXZStandardByteUni(), 0), CVT_E_BAD_HANDLE);
          });
}

}  // namespace
