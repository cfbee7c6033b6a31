#include <quemba/utf8.h>

#include <climits>
#include <cstring>

#include "converter/kernels.h"

namespace {

bool Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

uint16_t Value(const unsigned char *p, int32_t length) {
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

// What a walk gives back: the units or bytes met, those written, whether
// one did not fit (after which the rest is only counted), and the first
// malformed sequence.
struct Walk {
    uint32_t met = 0;
    uint32_t written = 0;
    bool full = false;
    const unsigned char *bad = nullptr;
};

// Room for what is only counted: the conversions and their size queries
// walk the text alike, blocks first and one sequence at a time for what
// the blocks leave.
constexpr uint32_t kScratch = 128;

// UTF-8 up to its NUL or its first malformed sequence, decoded into out
// (null: counted only) while room lasts.
Walk DecodeWalk(const char *input, uint16_t *out, uint32_t room) {
    Walk w;
    w.full = out == nullptr;
    uint16_t scratch[kScratch];
    const auto *p = reinterpret_cast<const unsigned char *>(input);
    const unsigned char *end = p + std::strlen(input);
    const quemba::detail::KernelTable &kernels = quemba::detail::Kernels();
    while (*p != 0) {
        const quemba::detail::BlockRun run = kernels.utf8ToUnits(p, static_cast<uint32_t>(end - p),
                                                                 w.full ? scratch : out + w.written,
                                                                 w.full ? kScratch : room - w.written);
        p += run.taken;
        w.met += run.written;
        if (!w.full) w.written += run.written;
        // A malformed sequence is reported before a full output.
        for (int k = 0; k < 16 && *p != 0; ++k) {
            const int32_t length = Classify(reinterpret_cast<const char *>(p));
            if (length < 0) {
                w.bad = p;
                return w;
            }
            w.full = w.full || w.written == room;
            if (!w.full) out[w.written++] = Value(p, length);
            ++w.met;
            p += length;
        }
    }
    return w;
}

// The bytes a decoding needs: its units, with the terminator's only when
// the text is well formed.
uint32_t DecodedSize(const Walk &w) { return 2 * w.met + (w.bad == nullptr ? 2 : 0); }

// UTF-16 up to its NUL encoded into out (null: counted only), whole
// sequences while they fit.
Walk EncodeWalk(const uint16_t *u, unsigned char *out, uint32_t room) {
    Walk w;
    w.full = out == nullptr;
    unsigned char scratch[3 * kScratch];
    const quemba::detail::KernelTable &kernels = quemba::detail::Kernels();
    const uint16_t *end = u + kernels.unitLength(u, UINT32_MAX);
    while (*u != 0) {
        const quemba::detail::BlockRun run = kernels.unitsToUtf8(u, static_cast<uint32_t>(end - u),
                                                                 w.full ? scratch : out + w.written,
                                                                 w.full ? sizeof scratch : room - w.written);
        u += run.taken;
        w.met += run.written;
        if (!w.full) w.written += run.written;
        for (int k = 0; k < 16 && *u != 0; ++k, ++u) {
            const uint32_t length = EncodedLength(*u);
            w.full = w.full || length > room - w.written;
            if (!w.full) Encode(*u, out + w.written), w.written += length;
            w.met += length;
        }
    }
    return w;
}

}  // namespace

extern "C" QUEMBA_API int32_t _ClassifyUTF8Char(const char *p) { return Classify(p); }

extern "C" QUEMBA_API int32_t KXLUTF8ToUnicodeSize(const char *input, uint32_t *outSize) {
    const Walk w = DecodeWalk(input, nullptr, 0);
    *outSize = DecodedSize(w);
    return w.bad == nullptr ? 0 : LOC_E_BAD_UTF8;
}

extern "C" QUEMBA_API int32_t KXLUTF8ToUnicode(const char *input, uint32_t outputSize,
                                               uint16_t *output, uint32_t *outSize,
                                               char **errorPos) {
    if (errorPos != nullptr) *errorPos = nullptr;
    // Units that fit with the terminator after them.
    const Walk w = DecodeWalk(input, output, outputSize >= 2 ? (outputSize - 2) / 2 : 0);
    if (output != nullptr && !w.full && w.bad != nullptr) {
        if (errorPos != nullptr) *errorPos = const_cast<char *>(reinterpret_cast<const char *>(w.bad));
        return LOC_E_BAD_UTF8;
    }
    // Only an empty input gets here unfilled without room for the terminator.
    if (output != nullptr && !w.full && outputSize >= 2) {
        output[w.written] = 0;
        if (outSize != nullptr) *outSize = 2 * w.written + 2;
        return 0;
    }
    if (outSize != nullptr) *outSize = DecodedSize(w);
    return LOC_E_BUFFER_TOO_SMALL;
}

extern "C" QUEMBA_API uint32_t KXLUnicodeToUTF8Size(const uint16_t *input) { return EncodeWalk(input, nullptr, 0).met + 1; }

extern "C" QUEMBA_API int32_t KXLUnicodeToUTF8(const uint16_t *input, uint32_t outputSize,
                                               char *output, uint32_t *outSize) {
    auto *out = reinterpret_cast<unsigned char *>(output);
    // Bytes that fit with the terminator after them.
    const Walk w = EncodeWalk(input, out, outputSize >= 1 ? outputSize - 1 : 0);
    if (output != nullptr && !w.full && outputSize >= 1) {
        out[w.written] = 0;
        if (outSize != nullptr) *outSize = w.written + 1;
        return 0;
    }
    if (outSize != nullptr) *outSize = w.met + 1;
    return LOC_E_BUFFER_TOO_SMALL;
}
