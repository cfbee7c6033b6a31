// No conversion allocates: this program's own malloc, calloc and realloc
// count the calls made while a conversion runs.
#include "driver_test.h"

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
}

namespace {
bool counting = false;
int allocations = 0;
}  // namespace

// The sanitizers bring their own allocator, which must stay in place.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" void *malloc(size_t n) {
    allocations += counting;
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t size) {
    allocations += counting;
    return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, size_t n) {
    allocations += counting;
    return __libc_realloc(p, n);
}
#endif

namespace {

template <typename Call>
int AllocationsDuring(Call call) {
    allocations = 0;
    counting = true;
    call();
    counting = false;
    return allocations;
}

TEST(NoAllocation, Conversions) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator stays in place";
#endif
    // Valgrind's allocator takes the place of this program's malloc too.
    const char *preload = getenv("LD_PRELOAD");
    if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) GTEST_SKIP() << "under valgrind";
    // The counter sees the library's allocations: loading allocates a record.
    ConverterHandle loaded = nullptr;
    EXPECT_EQ(AllocationsDuring([&] { KXUXLoadByteUnicodeConverter(0, &loaded); }), 1);
    KXUXUnloadConverter(loaded);

    qtest::LocaleScope eucjp("ja_JP.EUC-JP");
    dtest::Loaded bytes, lower(CASE_LOWER);
    ASSERT_EQ(KXUXSetScanAction(bytes, SCAN_ESCAPES, SCAN_ESCAPES), CVT_OK);
    ASSERT_EQ(KXUXSetNoMapAction(bytes, NOMAP_FIXER, NOMAP_FIXER), CVT_OK);
    std::string in8, out8(4096, 0);
    std::u16string in16, out16(4096, 0);
    for (int i = 0; i < 100; ++i) {
        in8 += "a\xA4\xA2[0041]\xFF\\";
        in16 += u"a\u3042[41]\u00E9\\\u00A5\u4E2D";
    }
    uint16_t *o16 = reinterpret_cast<uint16_t *>(out16.data());
    const uint16_t *s16 = qtest::U(in16);
    uint32_t n = 0;
    int32_t results[12];
    auto convert = [&] {
        results[0] = KXUXByteToUnicode(bytes, o16, 4096, in8.c_str(), &n);
        results[1] = KXUXLenByteToUnicode(bytes, nullptr, 0, in8.c_str(), -1, &n);
        results[2] = KXZLSUnicodeLength(bytes, in8.c_str(), -1, &n);
        results[3] = KXUXUnicodeToByte(bytes, out8.data(), 4096, s16, &n);
        results[4] = KXUXUnicodeToByte(bytes, nullptr, 0, s16, &n);
        results[5] = KXUXUnicodeToUntermByte(bytes, out8.data(), 10, s16, &n);
        results[6] = KXUXUnicodeToBytePath(bytes, out8.data(), 4096, s16, &n);
        results[7] = KXZBytePathLength(bytes, s16, &n);
        results[8] = KXUXUnicodeToUntermBytePath(bytes, out8.data(), 10, s16, &n);
        results[9] = KXUXUnicodeToCase(lower, o16, 4096, s16, &n);
        results[10] = KXUXUnicodeToCase(lower, nullptr, 0, s16, &n);
        results[11] = KXZByteLength(bytes, s16, &n);
    };
    convert();  // libc loads the locale's character set converter on first use
    EXPECT_EQ(AllocationsDuring(convert), 0);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(results[i], i == 5 || i == 8 ? CVT_E_BUFFER_FULL : CVT_OK) << "call " << i;
    }
}

}  // namespace
