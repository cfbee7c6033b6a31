// Loading, checking, resetting and unloading, the standard records, and the
// two small helpers beside them. The record layout is checked by the C consumer.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <cstddef>
#include <cstring>

namespace {

const auto kDangling = reinterpret_cast<ConverterHandle>(uintptr_t{0x1234});

// Fields 11 to 22 as a byte/Unicode converter has them after loading, or
// all zero for other kinds.
bool HasDefaultSettings(const Converter &c, bool byteUni) {
    Converter want;
    std::memset(&want, 0, sizeof want);
    if (byteUni) {
        want.subUni = 0xFFFD, want.subByte = 3, want.byteNoMapAction = 1, want.uniNoMapAction = 2;
        want.byteScanAction = 2, want.byteNoMapFixer = KXZNoMapByteFixer, want.uniNoMapFixer = KXZNoMapUniFixer;
        want.byteScanner = KXZByteScanner, want.uniScanner = KXZUniScanner;
        want.byteParser = KXZByteParser, want.uniParser = KXZUniParser;
    }
    const size_t from = offsetof(Converter, subUni), to = offsetof(Converter, codePage);
    return std::memcmp(reinterpret_cast<const char *>(&c) + from, reinterpret_cast<const char *>(&want) + from,
                       to - from) == 0 &&
           c.defaultSubUni == (byteUni ? 0xFFFD : 0) && c.defaultSubByte == (byteUni ? 3 : 0);
}

TEST(Load, ByKindOnHeapAndInCallerStorage) {
    struct Case { uint32_t codePage, kind, subKind; int32_t result; EngineStep step; };
    const Case cases[] = {
        {0, CONVERTER_BYTE_UNI, 0, CVT_OK, KXUToUnicode},     {850, CONVERTER_BYTE_UNI, 0, CVT_OK, KXUToUnicode},
        {0, CONVERTER_CASE, CASE_LOWER, CVT_OK, KXUToLower},   {0, CONVERTER_CASE, CASE_UPPER, CVT_OK, KXUToUpper},
        {437, CONVERTER_CASE, 2, CVT_E_LOAD_FAILED, nullptr},  {437, CONVERTER_CASE, 7, CVT_E_LOAD_FAILED, nullptr},
        {437, CONVERTER_COLLATION, 3, CVT_E_LOAD_FAILED, nullptr}, {437, 5, 3, CVT_E_LOAD_FAILED, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " sub-kind " << c.subKind);
        ConverterHandle h = kDangling;
        EXPECT_EQ(KXZLoadConverter(c.codePage, c.kind, c.subKind, 1, &h), c.result);
        EXPECT_TRUE(c.result == CVT_OK ? KXUXUnloadConverter(h) == CVT_OK : h == kDangling);
        // In place: a failed set-up leaves the record unloaded, and the last
        // unload leaves stack storage to its owner.
        Converter storage;
        std::memset(&storage, 0xEE, sizeof storage);
        h = &storage;
        EXPECT_EQ(KXZLoadConverter(c.codePage, c.kind, c.subKind, 0, &h), c.result);
        EXPECT_EQ(storage.signature, c.result == CVT_OK ? CONVERTER_SIGNATURE : 0u);
        EXPECT_TRUE(h == &storage && storage.loadTag == 3 && storage.refCount == 1 && storage.engineTag == 7);
        EXPECT_TRUE(storage.kind == c.kind && storage.codePage == c.codePage && storage.subKind == c.subKind);
        EXPECT_TRUE(storage.toUnicodeStep == c.step && storage.engineData == 0);
        EXPECT_TRUE(HasDefaultSettings(storage, c.result == CVT_OK && c.kind == CONVERTER_BYTE_UNI));
        EXPECT_EQ(KXUXUnloadConverter(h), c.result == CVT_OK ? CVT_OK : CVT_E_BAD_HANDLE);
        EXPECT_EQ(storage.signature, 0u);
    }
    ConverterHandle none = nullptr;
    EXPECT_EQ(KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 1, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 0, &none), CVT_E_BAD_PARAMETER);
}

TEST(Load, PublicLoadersAlwaysAllocate) {
    ConverterHandle h = kDangling;
    EXPECT_EQ(KXUXLoadByteUnicodeConverter(437, &h), CVT_E_NOT_AVAILABLE);
    EXPECT_EQ(h, nullptr);
    for (const uint32_t bad : {2u, 5u}) {
        h = kDangling;
        EXPECT_EQ(KXUXLoadCaseConverter(bad, &h), CVT_E_LOAD_FAILED);
        EXPECT_EQ(h, nullptr);
    }
    EXPECT_EQ(KXUXLoadByteUnicodeConverter(0, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXUXLoadCaseConverter(0, nullptr), CVT_E_BAD_PARAMETER);
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_UPPER, &h), CVT_OK);
    EXPECT_TRUE(h->toUnicodeStep == KXUToUpper && HasDefaultSettings(*h, false));
    // Reloaded in place, a heap record is still freed by its last unload
    // (the sanitizer preset reports the leak otherwise).
    ConverterHandle same = h;
    ASSERT_EQ(KXZLoadByteUnicodeConverter(0, 0, &same), CVT_OK);
    EXPECT_TRUE(HasDefaultSettings(*h, true));
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    EXPECT_TRUE(h->codePage == 0 && h->refCount == 1 && HasDefaultSettings(*h, true));
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(CheckResetUnload, OnEveryKindOfHandle) {
    ConverterHandle bytes = nullptr, lower = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &bytes), CVT_OK);
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_LOWER, &lower), CVT_OK);
    Converter blank{};
    blank.kind = CONVERTER_BYTE_UNI;
    blank.refCount = 5;
    struct Case { ConverterHandle h; uint32_t kind; int32_t result; };
    const Case checks[] = {
        {nullptr, 7, CVT_E_NULL_HANDLE}, {&blank, 7, CVT_E_BAD_HANDLE}, {&blank, 1, CVT_E_BAD_HANDLE},
        {bytes, 7, CVT_E_BAD_PARAMETER}, {bytes, 5, CVT_E_BAD_PARAMETER}, {bytes, 0, CVT_OK}, {bytes, 1, CVT_OK},
        {bytes, 2, CVT_E_WRONG_KIND}, {bytes, 3, CVT_E_WRONG_KIND}, {bytes, 4, CVT_E_WRONG_KIND},
        {lower, 0, CVT_OK}, {lower, 3, CVT_OK}, {lower, 1, CVT_E_WRONG_KIND}};
    for (const Case &c : checks) EXPECT_EQ(KXZCheckHandle(c.h, c.kind), c.result) << (&c - checks);

    KXUXSetNoMapAction(bytes, NOMAP_STOP, NOMAP_SUBSTITUTE);
    KXUXSetSubByte(bytes, '?');
    KXUXEnableOemEuro(bytes);
    KXUXSetByteFunctions(bytes, nullptr, KXZByteScannerForOemEuro, nullptr);
    KXUXSetUniFunctions(bytes, nullptr, nullptr, KXZUniParserForOemEuro);
    EXPECT_EQ(KXUXResetConverter(bytes), CVT_OK);
    EXPECT_TRUE(HasDefaultSettings(*bytes, true));
    bytes->defaultSubUni = 0x3000;  // reset copies the record's own default
    EXPECT_EQ(KXUXResetConverter(bytes), CVT_OK);
    EXPECT_EQ(bytes->subUni, 0x3000);

    Converter before;
    std::memcpy(&before, lower, sizeof before);
    EXPECT_EQ(KXUXResetConverter(lower), CVT_OK);
    EXPECT_EQ(std::memcmp(&before, lower, sizeof before), 0);
    EXPECT_TRUE(KXUXResetConverter(nullptr) == CVT_E_NULL_HANDLE && KXUXResetConverter(&blank) == CVT_E_BAD_HANDLE);
    EXPECT_TRUE(KXUXUnloadConverter(nullptr) == CVT_E_NULL_HANDLE && KXUXUnloadConverter(&blank) == CVT_E_BAD_HANDLE);
    EXPECT_TRUE(blank.refCount == 5 && blank.byteScanner == nullptr);
    EXPECT_EQ(KXUXUnloadConverter(bytes), CVT_OK);
    EXPECT_EQ(KXUXUnloadConverter(lower), CVT_OK);
}

TEST(StandardRecords, FixedHandlesLoadedInPlaceNeverFreed) {
    using Load = int32_t (*)(ConverterHandle *);
    const std::pair<ConverterHandle (*)(), Load> cases[] = {
        {KXZStandardByteUni, [](ConverterHandle *h) { return KXZLoadByteUnicodeConverter(0, 0, h); }},
        {KXZStandardLowerCase, [](ConverterHandle *h) { return KXZLoadCaseConverter(CASE_LOWER, 0, h); }},
        {KXZStandardUpperCase, [](ConverterHandle *h) { return KXZLoadCaseConverter(CASE_UPPER, 0, h); }},
    };
    EXPECT_TRUE(KXZStandardByteUni() != KXZStandardLowerCase() && KXZStandardLowerCase() != KXZStandardUpperCase() &&
                KXZStandardByteUni() != KXZStandardUpperCase());
    for (const auto &[accessor, load] : cases) {
        ConverterHandle h = accessor();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(KXZCheckHandle(h, 0), CVT_E_BAD_HANDLE);
        for (int round = 0; round < 2; ++round) {  // a second load starts from scratch
            ASSERT_EQ(load(&h), CVT_OK);
            EXPECT_TRUE(h == accessor() && h->refCount == 1 && KXZCheckHandle(h, 0) == CVT_OK);
            ++h->refCount;
            EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
            EXPECT_TRUE(h->refCount == 1 && h->signature == CONVERTER_SIGNATURE);
            EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
            EXPECT_EQ(h->signature, 0u);
            EXPECT_EQ(KXUXUnloadConverter(h), CVT_E_BAD_HANDLE);
        }
        EXPECT_EQ(accessor(), h);
    }
}

TEST(SmallHelpers, ConverterPathAndDecimalText) {
    for (const uint32_t page : {0u, 850u, 0xFFFFFFFFu}) {
        qtest::Guarded<char> path(1, 'x');
        EXPECT_EQ(KXZGetConverterPath(page, path.data()), page == 0 ? CVT_OK : CVT_E_NOT_AVAILABLE);
        EXPECT_TRUE(path[0] == '\0' && path.intact());
    }
    EXPECT_EQ(KXZGetConverterPath(0, nullptr), CVT_E_BAD_PARAMETER);
    const std::pair<uint32_t, const char *> cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {1000, "1000"},
        {9009, "9009"}, {9999, "9999"}, {10000, "9999"}, {0xFFFFFFFF, "9999"}};
    for (const auto &[value, text] : cases) {
        qtest::Guarded<char> out(5, 'x');
        KXZIToA(value, out.data());
        EXPECT_TRUE(std::string(out.data()) == text && out.intact()) << value;
    }
}

}  // namespace
