#include <quemba/table_handle.h>
#include <quemba/unistr.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr size_t kMaxWide = SIZE_MAX / sizeof(wchar_t);

}  // namespace

extern "C" QUEMBA_API int32_t KXUnicodeToCollation(uint32_t, uint16_t *output, uint32_t outputSize,
                                                   const uint16_t *input, uint32_t,
                                                   uint32_t *outCount) {
    if (outputSize == 0) {
        *outCount = 0;
        return LOC_E_BUFFER_TOO_SMALL;
    }
    const size_t length = unilen(input);
    wchar_t *copy = length < kMaxWide ? static_cast<wchar_t *>(std::malloc((length + 1) * sizeof(wchar_t))) : nullptr;
    if (copy == nullptr) {
        output[0] = 0;
        *outCount = 0;
        return LOC_E_NO_MEMORY;
    }
    for (size_t i = 0; i <= length; ++i) copy[i] = static_cast<wchar_t>(input[i]);

    // The whole transform, so that a short output still gets its true
    // leading weights rather than whatever a cut-off wcsxfrm left behind.
    const size_t needed = std::wcsxfrm(nullptr, copy, 0);
    wchar_t *transform = needed < kMaxWide ? static_cast<wchar_t *>(std::malloc((needed + 1) * sizeof(wchar_t))) : nullptr;
    if (transform == nullptr) {
        std::free(copy);
        output[0] = 0;
        *outCount = 0;
        return LOC_E_NO_MEMORY;
    }
    std::wcsxfrm(transform, copy, needed + 1);

    int32_t result = 0;
    if (needed < outputSize) {
        *outCount = static_cast<uint32_t>(needed);
    } else {
        transform[outputSize - 1] = 0;
        *outCount = outputSize - 1;
        result = LOC_E_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0;; ++i) {
        output[i] = static_cast<uint16_t>(transform[i]);
        if (transform[i] == 0) break;
    }
    std::free(transform);
    std::free(copy);
    return result;
}

namespace {

// The first two weights of one character, as KXUnicodeToCollation with an
// output of three units gives them, computed on the stack: a comparison
// that could fail for want of memory would find a character unequal to
// itself.
void TwoWeights(uint32_t handle, uint16_t ch, uint16_t (&weights)[3]) {
    const wchar_t one[2] = {static_cast<wchar_t>(ch), 0};
    wchar_t transform[64];
    const size_t needed = std::wcsxfrm(nullptr, one, 0);
    if (needed >= sizeof transform / sizeof transform[0]) {
        // No character comes near this; take the general route.
        const uint16_t s[2] = {ch, 0};
        uint32_t count = 0;
        KXUnicodeToCollation(handle, weights, 3, s, 0, &count);
        return;
    }
    std::wcsxfrm(transform, one, needed + 1);
    if (needed > 2) transform[2] = 0;
    for (size_t i = 0;; ++i) {
        weights[i] = static_cast<uint16_t>(transform[i]);
        if (transform[i] == 0) break;
    }
}

}  // namespace

extern "C" QUEMBA_API int32_t KXUnicodeCompare(uint32_t handle, uint16_t ch1, uint16_t ch2) {
    uint16_t w1[3] = {0, 0, 0};
    uint16_t w2[3] = {0, 0, 0};
    TwoWeights(handle, ch1, w1);
    TwoWeights(handle, ch2, w2);
    for (int i = 0;; ++i) {
        if (w1[i] < w2[i]) return -1;
        if (w1[i] > w2[i]) return 1;
        if (w1[i] == 0) return 0;
    }
}
