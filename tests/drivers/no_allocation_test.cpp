// No conversion allocates: this program's own malloc, calloc and realloc
// count the calls the library makes while a conversion runs.
#include "driver_test.h"

#include <cstdlib>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
}

namespace {
bool counting = false;
int allocations = 0;
}  // namespace

// AddressSanitizer brings its own allocator; replacing it would break its
// bookkeeping, so the sanitizer build keeps the allocator as it is.
#ifndef __SANITIZE_ADDRESS__
extern "C" void *malloc(size_t n) {
    if (counting) ++allocations;
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t size) {
    if (counting) ++allocations;
    return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, size_t n) {
    if (counting) ++allocations;
    return __libc_realloc(p, n);
}
#endif

namespace {

using dtest::Loaded;
using qtest::LocaleScope;

template <typename Call>
int AllocationsDuring(Call call) {
    allocations = 0;
    counting = true;
    call();
    counting = false;
    return allocations;
}

TEST(NoAllocation, Conversions) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's allocator stays in place";
#endif
    // The counter sees the library's own allocations: loading allocates a record.
    ConverterHandle loaded = nullptr;
    EXPECT_EQ(AllocationsDuring([&] { KXUXLoadByteUnicodeConverter(0, &loaded); }), 1);
    KXUXUnloadConverter(loaded);

    LocaleScope utf8("ja_JP.EUC-JP");
    Loaded bytes;
    Loaded lower(CASE_LOWER);
    ASSERT_EQ(KXUXSetScanAction(bytes, SCAN_ESCAPES, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetNoMapAction(bytes, NOMAP_FIXER, NOMAP_FIXER), CVT_OK);
    std::string byteText;
    std::u16string uniText;
    for (int i = 0; i < 100; ++i) {
        byteText += "a\xA4\xA2[0041]\xFF\\";
        uniText += u"a\u3042[41]\u00E9\\\u00A5\u4E2D";
    }
    std::u16string uniOut(4096, 0);
    std::string byteOut(4096, 0);
    uint16_t *u16 = reinterpret_cast<uint16_t *>(uniOut.data());
    const uint16_t *src = qtest::U(uniText);
    uint32_t count = 0;
    int32_t results[12];
    auto convert = [&] {
                  results[0] = KXUXByteToUnicode(bytes, u16, 4096, byteText.c_str(), &count);
                  results[1] = KXUXLenByteToUnicode(bytes, nullptr, 0, byteText.c_str(), -1, &count);
                  results[2] = KXUXUnicodeToByte(bytes, byteOut.data(), 4096, src, &count);
                  results[3] = KXUXUnicodeToByte(bytes, nullptr, 0, src, &count);
                  results[4] = KXUXUnicodeToUntermByte(bytes, byteOut.data(), 10, src, &count);
                  results[5] = KXUXUnicodeToBytePath(bytes, byteOut.data(), 4096, src, &count);
                  results[6] = KXUXUnicodeToBytePath(bytes, nullptr, 0, src, &count);
                  results[7] = KXUXUnicodeToUntermBytePath(bytes, byteOut.data(), 10, src, &count);
                  results[8] = KXUXUnicodeToCase(lower, u16, 4096, src, &count);
                  results[9] = KXUXUnicodeToCase(lower, nullptr, 0, src, &count);
                  results[10] = KXZLSUnicodeLength(bytes, byteText.c_str(), -1, &count);
                  results[11] = KXZBytePathLength(bytes, src, &count);
    };
    // libc loads the locale's character set converter on first use.
    convert();
    EXPECT_EQ(AllocationsDuring(convert), 0);
    const int32_t expected[12] = {CVT_OK, CVT_OK, CVT_OK,            CVT_OK, CVT_E_BUFFER_FULL,
                                  CVT_OK, CVT_OK, CVT_E_BUFFER_FULL, CVT_OK, CVT_OK,
                                  CVT_OK, CVT_OK};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(results[i], expected[i]) << "call " << i;
}

}  // namespace
