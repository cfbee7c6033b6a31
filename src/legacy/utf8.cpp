#include <quemba/utf8.h>

#include <climits>
#include <cstring>

#include "converter/kernels.h"

namespace {

bool Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

uint16_t Decode(const unsigned char *p, int32_t length) {
    switch (length) {
    case 1:
        return p[0];
    case 2:
        return static_cast<uint16_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
    default:
        return static_cast<uint16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
    }
}

uint32_t EncodedLength(uint16_t u) { return u <= 0x7F ? 1 : u <= 0x7FF ? 2 : 3; }

void Encode(uint16_t u, unsigned char *out) {
    if (u <= 0x7F) {
        out[0] = static_cast<unsigned char>(u);
    } else if (u <= 0x7FF) {
        out[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    } else {
        out[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((u & 0xFC0) >> 6));
        out[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    }
}

int32_t Classify(const char *p) {
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    if (b[0] < 0x80) return 1;
    // 0xC0 and 0xC1 could only start overlong forms.
    if (b[0] >= 0xC2 && b[0] <= 0xDF) return Continuation(b[1]) ? 2 : LOC_E_BAD_UTF8;
    if (b[0] >= 0xE0 && b[0] <= 0xEF) {
        if (!Continuation(b[1]) || (b[0] == 0xE0 && b[1] < 0xA0)) return LOC_E_BAD_UTF8;
        return Continuation(b[2]) ? 3 : LOC_E_BAD_UTF8;
    }
    return LOC_E_BAD_UTF8;
}

int32_t UTF16Size(const char *input, uint32_t *outSize) {
    *outSize = 0;
    while (*input != 0) {
        const int32_t length = Classify(input);
        if (length < 0) return length;
        *outSize += 2;
        input += length;
    }
    *outSize += 2;
    return 0;
}

uint32_t UTF8Size(const uint16_t *input) {
    uint32_t size = 1;
    for (; *input != 0; ++input) size += EncodedLength(*input);
    return size;
}

}  // namespace

extern "C" QUEMBA_API int32_t _ClassifyUTF8Char(const char *p) { return Classify(p); }

extern "C" QUEMBA_API int32_t KXLUTF8ToUnicodeSize(const char *input, uint32_t *outSize) {
    return UTF16Size(input, outSize);
}

extern "C" QUEMBA_API int32_t KXLUTF8ToUnicode(const char *input, uint32_t outputSize,
                                               uint16_t *output, uint32_t *outSize,
                                               char **errorPos) {
    if (errorPos != nullptr) *errorPos = nullptr;
    int32_t result = LOC_E_BUFFER_TOO_SMALL;
    if (output != nullptr) {
        const auto *p = reinterpret_cast<const unsigned char *>(input);
        // Units that fit with the terminator after them.
        const uint32_t room = outputSize >= 2 ? (outputSize - 2) / 2 : 0;
        uint32_t written = 0;
        const quemba::detail::KernelTable &kernels = quemba::detail::Kernels();
        const unsigned char *end = p + std::strlen(input);
        result = 0;
        while (*p != 0) {
            const quemba::detail::BlockRun run =
                kernels.utf8ToUnits(p, static_cast<uint32_t>(end - p), output + written, room - written);
            p += run.taken;
            written += run.written;
            // What the blocks left, a block's worth at a time: a malformed
            // sequence is reported before a full output.
            for (int k = 0; k < 16 && *p != 0; ++k) {
                const int32_t length = Classify(reinterpret_cast<const char *>(p));
                if (length < 0) {
                    if (errorPos != nullptr) *errorPos = const_cast<char *>(reinterpret_cast<const char *>(p));
                    return length;
                }
                if (written == room) {
                    result = LOC_E_BUFFER_TOO_SMALL;
                    break;
                }
                output[written++] = Decode(p, length);
                p += length;
            }
            if (result != 0) break;
        }
        // Only an empty input can reach here without room for the terminator.
        if (result == 0 && outputSize < 2) result = LOC_E_BUFFER_TOO_SMALL;
        if (result == 0) {
            output[written] = 0;
            if (outSize != nullptr) *outSize = 2 * written + 2;
            return 0;
        }
    }
    if (outSize != nullptr) UTF16Size(input, outSize);
    return result;
}

extern "C" QUEMBA_API uint32_t KXLUnicodeToUTF8Size(const uint16_t *input) { return UTF8Size(input); }

extern "C" QUEMBA_API int32_t KXLUnicodeToUTF8(const uint16_t *input, uint32_t outputSize,
                                               char *output, uint32_t *outSize) {
    if (output != nullptr) {
        auto *out = reinterpret_cast<unsigned char *>(output);
        // Bytes that fit with the terminator after them.
        const uint32_t room = outputSize >= 1 ? outputSize - 1 : 0;
        uint32_t written = 0;
        const uint16_t *u = input;
        const quemba::detail::KernelTable &kernels = quemba::detail::Kernels();
        const uint16_t *end = u + kernels.unitLength(u, UINT32_MAX);
        bool full = false;
        while (*u != 0 && !full) {
            const quemba::detail::BlockRun run =
                kernels.unitsToUtf8(u, static_cast<uint32_t>(end - u), out + written, room - written);
            u += run.taken;
            written += run.written;
            for (int k = 0; k < 16 && *u != 0; ++k, ++u) {
                const uint32_t length = EncodedLength(*u);
                if (length > room - written) {
                    full = true;
                    break;
                }
                Encode(*u, out + written);
                written += length;
            }
        }
        if (*u == 0 && outputSize >= 1) {
            out[written] = 0;
            if (outSize != nullptr) *outSize = written + 1;
            return 0;
        }
    }
    if (outSize != nullptr) *outSize = UTF8Size(input);
    return LOC_E_BUFFER_TOO_SMALL;
}
