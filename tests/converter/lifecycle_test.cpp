// Loading, checking, resetting and unloading converters, the standard
// records, and the two small helpers beside them.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <cstring>

namespace {

using qtest::Guarded;

constexpr unsigned char kJunk = 0xEE;

ConverterHandle Dangling() { return reinterpret_cast<ConverterHandle>(uintptr_t{0x1234}); }

void ExpectDefaultSettings(const Converter &c) {
    EXPECT_EQ(c.byteNoMapAction, NOMAP_SUBSTITUTE);
    EXPECT_EQ(c.uniNoMapAction, NOMAP_FIXER);
    EXPECT_EQ(c.byteScanAction, SCAN_ESCAPES);
    EXPECT_EQ(c.uniScanAction, SCAN_NONE);
    EXPECT_EQ(c.subUni, 0xFFFD);
    EXPECT_EQ(c.subByte, 0x03);
    EXPECT_EQ(c.byteNoMapFixer, KXZNoMapByteFixer);
    EXPECT_EQ(c.uniNoMapFixer, KXZNoMapUniFixer);
    EXPECT_EQ(c.byteScanner, KXZByteScanner);
    EXPECT_EQ(c.uniScanner, KXZUniScanner);
    EXPECT_EQ(c.byteParser, KXZByteParser);
    EXPECT_EQ(c.uniParser, KXZUniParser);
}

void ExpectNoSettings(const Converter &c) {
    EXPECT_EQ(c.defaultSubUni, 0);
    EXPECT_EQ(c.defaultSubByte, 0);
    EXPECT_EQ(c.subUni, 0);
    EXPECT_EQ(c.subByte, 0);
    EXPECT_EQ(c.byteNoMapAction, 0);
    EXPECT_EQ(c.uniNoMapAction, 0);
    EXPECT_EQ(c.byteScanAction, 0);
    EXPECT_EQ(c.uniScanAction, 0);
    EXPECT_EQ(c.byteNoMapFixer, nullptr);
    EXPECT_EQ(c.uniNoMapFixer, nullptr);
    EXPECT_EQ(c.byteScanner, nullptr);
    EXPECT_EQ(c.uniScanner, nullptr);
    EXPECT_EQ(c.byteParser, nullptr);
    EXPECT_EQ(c.uniParser, nullptr);
}

TEST(Load, ByteUnicodeConverter) {
    ConverterHandle h = Dangling();
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->signature, CONVERTER_SIGNATURE);
    EXPECT_EQ(h->loadTag, 3u);
    EXPECT_EQ(h->refCount, 1);
    EXPECT_EQ(h->engineTag, 7u);
    EXPECT_EQ(h->kind, CONVERTER_BYTE_UNI);
    EXPECT_EQ(h->toUnicodeStep, KXUToUnicode);
    EXPECT_EQ(h->toByteStep, KXUToByte);
    EXPECT_EQ(h->auxFunction, KXUAux);
    EXPECT_EQ(h->defaultSubUni, 0xFFFD);
    EXPECT_EQ(h->defaultSubByte, 0x03);
    ExpectDefaultSettings(*h);
    EXPECT_EQ(h->codePage, 0u);
    EXPECT_EQ(h->subKind, 0u);
    EXPECT_EQ(h->engineData, 0u);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(Load, CaseConverters) {
    struct Case {
        uint32_t subKind;
        EngineStep step;
    };
    for (const Case c : {Case{CASE_LOWER, KXUToLower}, Case{CASE_UPPER, KXUToUpper}}) {
        ConverterHandle h = nullptr;
        ASSERT_EQ(KXUXLoadCaseConverter(c.subKind, &h), CVT_OK);
        EXPECT_EQ(h->kind, CONVERTER_CASE);
        EXPECT_EQ(h->subKind, c.subKind);
        EXPECT_EQ(h->toUnicodeStep, c.step);
        EXPECT_EQ(h->toByteStep, nullptr);
        EXPECT_EQ(h->auxFunction, KXUCaseAux);
        EXPECT_EQ(h->refCount, 1);
        ExpectNoSettings(*h);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    }
}

TEST(Load, RefusalsLeaveNullHandle) {
    struct Case {
        const char *what;
        int32_t (*load)(ConverterHandle *);
        int32_t result;
    };
    const Case cases[] = {
        {"byte/Unicode 437", [](ConverterHandle *h) { return KXUXLoadByteUnicodeConverter(437, h); },
         CVT_E_NOT_AVAILABLE},
        {"case 2", [](ConverterHandle *h) { return KXUXLoadCaseConverter(2, h); },
         CVT_E_LOAD_FAILED},
        {"case 5", [](ConverterHandle *h) { return KXUXLoadCaseConverter(5, h); },
         CVT_E_LOAD_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ConverterHandle h = Dangling();
        EXPECT_EQ(c.load(&h), c.result);
        EXPECT_EQ(h, nullptr);
    }
    EXPECT_EQ(KXUXLoadByteUnicodeConverter(0, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXUXLoadCaseConverter(CASE_LOWER, nullptr), CVT_E_BAD_PARAMETER);
}

TEST(Load, GeneralLoaderByKind) {
    struct Case {
        uint32_t kind;
        uint32_t subKind;
        int32_t result;
    };
    const Case cases[] = {
        {CONVERTER_BYTE_UNI, 0, CVT_OK},
        {CONVERTER_CASE, CASE_UPPER, CVT_OK},
        {CONVERTER_CASE, 2, CVT_E_LOAD_FAILED},
        {CONVERTER_CASE, 7, CVT_E_LOAD_FAILED},
        {CONVERTER_COLLATION, 0, CVT_E_LOAD_FAILED},
        {CONVERTER_NORMALIZE, 0, CVT_E_LOAD_FAILED},
        {0, 0, CVT_E_LOAD_FAILED},
        {5, 0, CVT_E_LOAD_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " sub-kind " << c.subKind);
        ConverterHandle h = Dangling();
        EXPECT_EQ(KXZLoadConverter(1252, c.kind, c.subKind, 1, &h), c.result);
        if (c.result != CVT_OK) {
            EXPECT_EQ(h, Dangling()) << "a failed load writes no handle";
            continue;
        }
        EXPECT_EQ(h->codePage, 1252u);
        EXPECT_EQ(h->kind, c.kind);
        EXPECT_EQ(h->subKind, c.subKind);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    }
    ConverterHandle none = nullptr;
    EXPECT_EQ(KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 1, nullptr), CVT_E_BAD_PARAMETER);
    EXPECT_EQ(KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 0, &none), CVT_E_BAD_PARAMETER);
}

TEST(Load, InPlaceInCallerStorage) {
    Converter storage;
    std::memset(&storage, kJunk, sizeof storage);
    ConverterHandle h = &storage;
    ASSERT_EQ(KXZLoadByteUnicodeConverter(850, 0, &h), CVT_OK);
    EXPECT_EQ(h, &storage);
    EXPECT_EQ(storage.signature, CONVERTER_SIGNATURE);
    EXPECT_EQ(storage.codePage, 850u);
    EXPECT_EQ(storage.engineData, 0u);
    ExpectDefaultSettings(storage);
    EXPECT_EQ(KXZCheckHandle(h, CONVERTER_BYTE_UNI), CVT_OK);
    // The last unload must not hand stack storage to free().
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    EXPECT_EQ(storage.signature, 0u);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_E_BAD_HANDLE);

    ASSERT_EQ(KXZLoadCaseConverter(CASE_LOWER, 0, &h), CVT_OK);
    EXPECT_EQ(storage.kind, CONVERTER_CASE);
    EXPECT_EQ(storage.toUnicodeStep, KXUToLower);
    ExpectNoSettings(storage);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(Load, FailedInPlaceLoadIsNotLoaded) {
    for (const uint32_t kind : {CONVERTER_COLLATION, CONVERTER_CASE, 6u}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind);
        Converter storage;
        std::memset(&storage, kJunk, sizeof storage);
        ConverterHandle h = &storage;
        EXPECT_EQ(KXZLoadConverter(437, kind, 3, 0, &h), CVT_E_LOAD_FAILED);
        EXPECT_EQ(storage.signature, 0u);
        EXPECT_EQ(storage.loadTag, 3u);
        EXPECT_EQ(storage.refCount, 1);
        EXPECT_EQ(storage.engineTag, 7u);
        EXPECT_EQ(storage.kind, kind);
        EXPECT_EQ(storage.codePage, 437u);
        EXPECT_EQ(storage.subKind, 3u);
        EXPECT_EQ(storage.toUnicodeStep, nullptr);
        EXPECT_EQ(storage.toByteStep, nullptr);
        EXPECT_EQ(storage.auxFunction, nullptr);
        EXPECT_EQ(storage.engineData, 0u);
        ExpectNoSettings(storage);
        EXPECT_EQ(KXZCheckHandle(h, 0), CVT_E_BAD_HANDLE);
    }
}

// A heap record reloaded in place is still freed by its last unload (the
// sanitizer preset reports a leak otherwise).
TEST(Load, ReloadingHeapRecordInPlaceKeepsItFreeable) {
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_UPPER, &h), CVT_OK);
    ConverterHandle same = h;
    ASSERT_EQ(KXZLoadByteUnicodeConverter(0, 0, &same), CVT_OK);
    EXPECT_EQ(same, h);
    EXPECT_EQ(h->kind, CONVERTER_BYTE_UNI);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(CheckHandle, Order) {
    ConverterHandle bytes = nullptr, lower = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &bytes), CVT_OK);
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_LOWER, &lower), CVT_OK);
    Converter unsigned_record{};
    unsigned_record.kind = CONVERTER_BYTE_UNI;
    struct Case {
        ConverterHandle handle;
        uint32_t kind;
        int32_t result;
    };
    const Case cases[] = {
        {nullptr, 7, CVT_E_NULL_HANDLE},
        {nullptr, 0, CVT_E_NULL_HANDLE},
        {&unsigned_record, 7, CVT_E_BAD_HANDLE},
        {&unsigned_record, CONVERTER_BYTE_UNI, CVT_E_BAD_HANDLE},
        {bytes, 7, CVT_E_BAD_PARAMETER},
        {bytes, 5, CVT_E_BAD_PARAMETER},
        {bytes, 0, CVT_OK},
        {bytes, CONVERTER_BYTE_UNI, CVT_OK},
        {bytes, CONVERTER_CASE, CVT_E_WRONG_KIND},
        {bytes, CONVERTER_COLLATION, CVT_E_WRONG_KIND},
        {bytes, CONVERTER_NORMALIZE, CVT_E_WRONG_KIND},
        {lower, 0, CVT_OK},
        {lower, CONVERTER_CASE, CVT_OK},
        {lower, CONVERTER_BYTE_UNI, CVT_E_WRONG_KIND},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(KXZCheckHandle(cases[i].handle, cases[i].kind), cases[i].result);
    }
    EXPECT_EQ(KXUXUnloadConverter(bytes), CVT_OK);
    EXPECT_EQ(KXUXUnloadConverter(lower), CVT_OK);
}

TEST(Reset, RestoresDefaults) {
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    h->byteNoMapAction = NOMAP_STOP;
    h->uniNoMapAction = NOMAP_SUBSTITUTE;
    h->byteScanAction = SCAN_NONE;
    h->uniScanAction = SCAN_ESCAPES;
    h->subUni = u'?';
    h->subByte = '?';
    h->byteScanner = KXZByteScannerForOemEuro;
    h->byteParser = KXZByteParserForOemEuro;
    h->uniScanner = KXZUniScannerForOemEuro;
    h->uniParser = KXZUniParserForOemEuro;
    h->byteNoMapFixer = nullptr;
    h->uniNoMapFixer = nullptr;
    EXPECT_EQ(KXUXResetConverter(h), CVT_OK);
    ExpectDefaultSettings(*h);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(Reset, SubstitutesComeFromTheRecordDefaults) {
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    h->defaultSubUni = 0x3000;
    h->defaultSubByte = 0x1A;
    EXPECT_EQ(KXUXResetConverter(h), CVT_OK);
    EXPECT_EQ(h->subUni, 0x3000);
    EXPECT_EQ(h->subByte, 0x1A);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
}

TEST(Reset, CaseConverterUnchangedAndBadHandles) {
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadCaseConverter(CASE_UPPER, &h), CVT_OK);
    Converter before;
    std::memcpy(&before, h, sizeof before);
    EXPECT_EQ(KXUXResetConverter(h), CVT_OK);
    EXPECT_EQ(std::memcmp(&before, h, sizeof before), 0);
    EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);

    Converter unloaded{};
    unloaded.kind = CONVERTER_BYTE_UNI;
    EXPECT_EQ(KXUXResetConverter(nullptr), CVT_E_NULL_HANDLE);
    EXPECT_EQ(KXUXResetConverter(&unloaded), CVT_E_BAD_HANDLE);
    EXPECT_EQ(unloaded.byteScanner, nullptr);
}

TEST(Unload, BadHandles) {
    Converter unloaded{};
    unloaded.refCount = 5;
    EXPECT_EQ(KXUXUnloadConverter(nullptr), CVT_E_NULL_HANDLE);
    EXPECT_EQ(KXUXUnloadConverter(&unloaded), CVT_E_BAD_HANDLE);
    EXPECT_EQ(unloaded.refCount, 5);
}

TEST(StandardRecords, HandlesAreFixedAndStartUnloaded) {
    const ConverterHandle handles[] = {KXZStandardByteUni(), KXZStandardLowerCase(),
                                       KXZStandardUpperCase()};
    for (const ConverterHandle h : handles) {
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(KXZCheckHandle(h, 0), CVT_E_BAD_HANDLE);
    }
    EXPECT_NE(handles[0], handles[1]);
    EXPECT_NE(handles[0], handles[2]);
    EXPECT_NE(handles[1], handles[2]);
    EXPECT_EQ(KXZStandardByteUni(), handles[0]);
    EXPECT_EQ(KXZStandardLowerCase(), handles[1]);
    EXPECT_EQ(KXZStandardUpperCase(), handles[2]);
}

TEST(StandardRecords, LoadedInPlaceAndNeverFreed) {
    struct Case {
        ConverterHandle (*accessor)();
        int32_t (*load)(ConverterHandle *);
        uint32_t kind;
    };
    const Case cases[] = {
        {KXZStandardByteUni, [](ConverterHandle *h) { return KXZLoadByteUnicodeConverter(0, 0, h); },
         CONVERTER_BYTE_UNI},
        {KXZStandardLowerCase,
         [](ConverterHandle *h) { return KXZLoadCaseConverter(CASE_LOWER, 0, h); }, CONVERTER_CASE},
        {KXZStandardUpperCase,
         [](ConverterHandle *h) { return KXZLoadCaseConverter(CASE_UPPER, 0, h); }, CONVERTER_CASE},
    };
    for (const Case &c : cases) {
        const ConverterHandle fixed = c.accessor();
        ConverterHandle h = fixed;
        ASSERT_EQ(c.load(&h), CVT_OK);
        EXPECT_EQ(h, fixed);
        EXPECT_EQ(c.accessor(), fixed);
        EXPECT_EQ(KXZCheckHandle(h, c.kind), CVT_OK);
        ++h->refCount;
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
        EXPECT_EQ(h->refCount, 1);
        EXPECT_EQ(KXZCheckHandle(h, 0), CVT_OK);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
        EXPECT_EQ(h->signature, 0u);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_E_BAD_HANDLE);
        EXPECT_EQ(c.accessor(), fixed);
        // A second load starts from scratch.
        ASSERT_EQ(c.load(&h), CVT_OK);
        EXPECT_EQ(h->refCount, 1);
        EXPECT_EQ(KXUXUnloadConverter(h), CVT_OK);
    }
}

TEST(ConverterPath, AlwaysEmpty) {
    struct Case {
        uint32_t codePage;
        int32_t result;
    };
    for (const Case c : {Case{0, CVT_OK}, Case{850, CVT_E_NOT_AVAILABLE},
                         Case{437, CVT_E_NOT_AVAILABLE}, Case{0xFFFFFFFF, CVT_E_NOT_AVAILABLE}}) {
        Guarded<char> path(1, 'x');
        EXPECT_EQ(KXZGetConverterPath(c.codePage, path.data()), c.result);
        EXPECT_EQ(path[0], '\0');
        EXPECT_TRUE(path.intact());
    }
    EXPECT_EQ(KXZGetConverterPath(0, nullptr), CVT_E_BAD_PARAMETER);
}

TEST(DecimalText, Values) {
    struct Case {
        uint32_t value;
        const char *text;
    };
    const Case cases[] = {
        {0, "0"},       {7, "7"},          {10, "10"},         {99, "99"},
        {100, "100"},   {1000, "1000"},    {1001, "1001"},     {9009, "9009"},
        {9999, "9999"}, {10000, "9999"},   {12345, "9999"},    {0xFFFFFFFF, "9999"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        Guarded<char> text(5, 'x');
        KXZIToA(c.value, text.data());
        EXPECT_STREQ(text.data(), c.text);
        EXPECT_TRUE(text.intact());
    }
    KXZIToA(5, nullptr);  // refused quietly
}

}  // namespace
