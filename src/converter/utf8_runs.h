// UTF-8 <-> UTF-16 runs of the engine steps: the forms libc would give the
// same answer for, in blocks; anything else is left to the caller.
#pragma once

#include <cstdint>
#include <cstring>

#include "converter/codeset.h"
#include "converter/widen_narrow.h"

namespace quemba::detail {

inline bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Units that UTF-8 writes in three bytes: U+0800 up, not the surrogates.
inline bool ThreeByteUnit(uint32_t u) { return u >= 0x800 && u - 0xD800 >= 0x800; }

inline uint32_t ToLittleEndian32(uint32_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap32(w);
#else
    return w;
#endif
}

inline uint16_t ToLittleEndian16(uint16_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap16(w);
#else
    return w;
#endif
}

inline uint64_t FromLittleEndian(uint64_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(w);
#else
    return w;
#endif
}

// UTF-8 to units: ASCII in blocks, and the 2- and 3-byte forms of BMP
// characters outside the surrogates. Everything else (overlong and
// surrogate forms, 4-byte forms, stray bytes, cut sequences) is left to libc.
inline RunResult Utf8SequencesToUnits(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
    uint32_t i = 0, o = 0;
    while (i < n && o < room) {
        const unsigned char b0 = s[i];
        if (b0 < 0x80) {
            if (b0 == 0) break;
            const uint32_t k = WidenRun<false>(s + i, d + o, n - i < room - o ? n - i : room - o);
            i += k;
            o += k;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            if (n - i < 2 || !Continuation(s[i + 1])) break;
            d[o++] = static_cast<uint16_t>((b0 & 0x1F) << 6 | (s[i + 1] & 0x3F));
            i += 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            // Runs of 3-byte forms (CJK text) in a tight loop, two at a time
            // while eight bytes can be read.
            const uint32_t start = o;
            while (n - i >= 8 && room - o >= 2) {
                uint64_t w;
                std::memcpy(&w, s + i, 8);
                w = FromLittleEndian(w);
                if ((w & 0xC0C0F0C0C0F0ull) != 0x8080E08080E0ull) break;
                const uint32_t u1 = static_cast<uint32_t>((w & 0x0F) << 12 | (w >> 2 & 0xFC0) | (w >> 16 & 0x3F));
                const uint32_t u2 =
                    static_cast<uint32_t>((w >> 24 & 0x0F) << 12 | (w >> 26 & 0xFC0) | (w >> 40 & 0x3F));
                // Overlong and surrogate forms are left to libc.
                if (!ThreeByteUnit(u1) || !ThreeByteUnit(u2)) break;
                d[o] = static_cast<uint16_t>(u1);
                d[o + 1] = static_cast<uint16_t>(u2);
                o += 2;
                i += 6;
            }
            while (n - i >= 3 && o < room) {
                const unsigned char c0 = s[i], c1 = s[i + 1], c2 = s[i + 2];
                if ((c0 & 0xF0) != 0xE0 || !Continuation(c1) || !Continuation(c2)) break;
                if ((c0 == 0xE0 && c1 < 0xA0) || (c0 == 0xED && c1 > 0x9F)) break;
                d[o++] = static_cast<uint16_t>((c0 & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F));
                i += 3;
            }
            if (o == start) break;
        } else {
            break;
        }
    }
    return RunResult{i, o};
}

// Runs in blocks: ASCII first to the widening or narrowing kernels, faster
// than the blocks at it, then the blocks, then the sequences one by one for
// a block's worth, until none of them takes anything.
template <typename In, typename Out, typename Ascii, typename Blocks, typename Sequences>
inline RunResult InBlocks(const In *s, uint32_t n, Out *d, uint32_t room, Ascii ascii, Blocks blocks,
                          Sequences sequences) {
    uint32_t i = 0, o = 0;
    while (i < n && o < room) {
        const uint32_t a = ascii(s + i, d + o, n - i < room - o ? n - i : room - o);
        i += a;
        o += a;
        const BlockRun b = blocks(s + i, n - i, d + o, room - o);
        i += b.taken;
        o += b.written;
        const RunResult r = sequences(s + i, n - i, d + o, room - o);
        i += r.consumed;
        o += r.produced;
        if (a == 0 && b.taken == 0 && r.consumed == 0) break;
    }
    return RunResult{i, o};
}

// The same, 16-byte blocks at a time where the kernels have them.
inline RunResult Utf8ToUnits(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
    const auto blocks = Kernels().utf8ToUnitsAsLibc;
    if (blocks == nullptr) return Utf8SequencesToUnits(s, n, d, room);
    return InBlocks(s, n, d, room, WidenRun<false>, blocks,
                    [](const unsigned char *in, uint32_t k, uint16_t *out, uint32_t space) {
                        return Utf8SequencesToUnits(in, k, out, space < 16 ? space : 16);
                    });
}

// Units to UTF-8, whole characters only; surrogate units are left to libc.
inline RunResult UnitsSequencesToUtf8(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
    uint32_t i = 0, o = 0;
    auto *out = reinterpret_cast<unsigned char *>(d);
    while (i < n && o < room) {
        const uint16_t u = s[i];
        if (u < 0x80) {
            if (u == 0) break;
            const uint32_t k = NarrowRun<false>(s + i, d + o, n - i < room - o ? n - i : room - o);
            i += k;
            o += k;
            continue;
        }
        if (u < 0x800) {
            if (room - o < 2) break;
            out[o] = static_cast<unsigned char>(0xC0 | u >> 6);
            out[o + 1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            o += 2;
        } else {
            // Runs of units that take 3 bytes (CJK text) in a tight loop,
            // two at a time, each pair's six bytes in two stores.
            const uint32_t start = i;
            while (n - i >= 2 && room - o >= 6) {
                const uint32_t v1 = s[i], v2 = s[i + 1];
                if (!ThreeByteUnit(v1) || !ThreeByteUnit(v2)) break;
                const uint32_t e1 = 0x8080E0 | v1 >> 12 | (v1 << 2 & 0x3F00) | (v1 & 0x3F) << 16;
                const uint32_t e2 = 0x8080E0 | v2 >> 12 | (v2 << 2 & 0x3F00) | (v2 & 0x3F) << 16;
                const uint32_t head = ToLittleEndian32(e1 | e2 << 24);
                const uint16_t tail = ToLittleEndian16(static_cast<uint16_t>(e2 >> 8));
                std::memcpy(out + o, &head, 4);
                std::memcpy(out + o + 4, &tail, 2);
                o += 6;
                i += 2;
            }
            while (i < n && room - o >= 3) {
                const uint16_t v = s[i];
                if (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF)) break;
                out[o] = static_cast<unsigned char>(0xE0 | v >> 12);
                out[o + 1] = static_cast<unsigned char>(0x80 | (v >> 6 & 0x3F));
                out[o + 2] = static_cast<unsigned char>(0x80 | (v & 0x3F));
                o += 3;
                ++i;
            }
            if (i == start) break;
            continue;
        }
        ++i;
    }
    return RunResult{i, o};
}

// The same in blocks where the kernels have them.
inline RunResult UnitsToUtf8(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
    const auto blocks = Kernels().unitsToUtf8AsLibc;
    if (blocks == nullptr) return UnitsSequencesToUtf8(s, n, d, room);
    return InBlocks(
        s, n, d, room, NarrowRun<false>,
        [blocks](const uint16_t *in, uint32_t k, char *out, uint32_t space) {
            return blocks(in, k, reinterpret_cast<unsigned char *>(out), space);
        },
        [](const uint16_t *in, uint32_t k, char *out, uint32_t space) {
            return UnitsSequencesToUtf8(in, k < 16 ? k : 16, out, space);
        });
}

}  // namespace quemba::detail
