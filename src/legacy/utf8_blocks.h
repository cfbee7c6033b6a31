// UTF-8 <-> UTF-16 in 16-byte blocks: the forms the one-sequence code in
// utf8.cpp accepts, validated a block at a time. A block is taken whole or
// not at all; whatever a kernel leaves (an error, a full output, the last
// bytes) goes to that code, which reports it.
// Included by the SSE2 kernels only, inside their anonymous namespace,
// where these functions are compiled with SSE2 (on i386 as well).

// Lane k - 1 of the sixteen in lo:hi dropped, the lanes above it moved
// down one; k = 0 drops nothing.
inline void DropLane(__m128i &lo, __m128i &hi, uint32_t k) {
    alignas(16) static constexpr uint16_t kBelow[17][16] = {
#define Q_ROW(k) {(k) > 0 ? 0xFFFF : 0, (k) > 1 ? 0xFFFF : 0, (k) > 2 ? 0xFFFF : 0, (k) > 3 ? 0xFFFF : 0, \
                  (k) > 4 ? 0xFFFF : 0, (k) > 5 ? 0xFFFF : 0, (k) > 6 ? 0xFFFF : 0, (k) > 7 ? 0xFFFF : 0, \
                  (k) > 8 ? 0xFFFF : 0, (k) > 9 ? 0xFFFF : 0, (k) > 10 ? 0xFFFF : 0, (k) > 11 ? 0xFFFF : 0, \
                  (k) > 12 ? 0xFFFF : 0, (k) > 13 ? 0xFFFF : 0, (k) > 14 ? 0xFFFF : 0, (k) > 15 ? 0xFFFF : 0}
        Q_ROW(16), Q_ROW(0), Q_ROW(1),  Q_ROW(2),  Q_ROW(3),  Q_ROW(4),  Q_ROW(5),  Q_ROW(6), Q_ROW(7),
        Q_ROW(8),  Q_ROW(9), Q_ROW(10), Q_ROW(11), Q_ROW(12), Q_ROW(13), Q_ROW(14), Q_ROW(15)};
#undef Q_ROW
    const __m128i keepLo = _mm_load_si128(reinterpret_cast<const __m128i *>(kBelow[k]));
    const __m128i keepHi = _mm_load_si128(reinterpret_cast<const __m128i *>(kBelow[k] + 8));
    const __m128i downLo = _mm_or_si128(_mm_srli_si128(lo, 2), _mm_slli_si128(hi, 14));
    lo = _mm_or_si128(_mm_and_si128(keepLo, lo), _mm_andnot_si128(keepLo, downLo));
    hi = _mm_or_si128(_mm_and_si128(keepHi, hi), _mm_andnot_si128(keepHi, _mm_srli_si128(hi, 2)));
}

// UTF-8 to units, n bytes (no NUL among them), at most room units.
// Stops before a block with anything malformed, with less than 16 bytes
// left, or with less room than 16 units. kAsLibc: as libc reads UTF-8 for
// the engine, which may hand over NULs: encoded surrogates are malformed
// too, and a NUL stops the blocks.
template <bool kAsLibc>
inline BlockRun Utf8BlocksToUnits(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
    uint32_t i = 0, o = 0;
    const __m128i zero = _mm_setzero_si128(), low6 = _mm_set1_epi16(0x3F);
    while (n - i >= 16 && room - o >= 16) {
        if (n - i >= 64 && room - o >= 64 && s[i] < 0x80) {
            // Long ASCII stretches four blocks at a time; the blocks below
            // take ASCII as well, without a branch that Latin text, ASCII
            // but for a letter every few words, would keep mispredicting.
            __m128i b[4];
            for (int k = 0; k < 4; ++k) b[k] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + 16 * k));
            const __m128i lowest = _mm_min_epu8(_mm_min_epu8(b[0], b[1]), _mm_min_epu8(b[2], b[3]));
            if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(b[0], b[1]), _mm_or_si128(b[2], b[3]))) == 0 &&
                (!kAsLibc || _mm_movemask_epi8(_mm_cmpeq_epi8(lowest, zero)) == 0)) {
                for (int k = 0; k < 4; ++k) {
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o + 16 * k), _mm_unpacklo_epi8(b[k], zero));
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o + 16 * k + 8), _mm_unpackhi_epi8(b[k], zero));
                }
                i += 64;
                o += 64;
                continue;
            }
        }
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        if (kAsLibc && _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)) != 0) break;
        const uint32_t high = static_cast<uint32_t>(_mm_movemask_epi8(v));
        if (high == 0 && n - i < 64) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o + 8), _mm_unpackhi_epi8(v, zero));
            i += 16;
            o += 16;
            continue;
        }
        // Byte classes as bit masks, by signed compares: continuation
        // 0x80-0xBF, 2-byte leads 0xC2-0xDF, 3-byte leads 0xE0-0xEF.
        const auto below = [&](int c) { return _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(c))); };
        const auto above = [&](int c) { return _mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(c))); };
        const __m128i contV = below(0xC0);
        const uint32_t cont = static_cast<uint32_t>(_mm_movemask_epi8(contV));
        const uint32_t lead2 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(above(0xC1), below(0xE0))));
        const __m128i back1 = _mm_slli_si128(v, 1);
        // ASCII and up to two 2-byte forms, none cut off at the end (Latin
        // text): the next block's address must not wait for this one's bytes.
        const uint32_t more = lead2 & (lead2 - 1);
        if ((high & ~(cont | lead2)) == 0 && (more & (more - 1)) == 0 && (lead2 & 0x8000) == 0) {
            if (((lead2 << 1) ^ cont) & 0xFFFF) break;
            // A continuation takes the lead's five bits; 0x80 ^ c is its own six.
            const auto values = [&](__m128i b0, __m128i b1, __m128i c) {
                const __m128i lead = _mm_slli_epi16(_mm_and_si128(b1, _mm_set1_epi16(0x1F)), 6);
                return _mm_xor_si128(b0, _mm_and_si128(c, _mm_xor_si128(lead, _mm_set1_epi16(0x80))));
            };
            __m128i lo = values(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(back1, zero), _mm_unpacklo_epi8(contV, contV));
            __m128i hi = values(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(back1, zero), _mm_unpackhi_epi8(contV, contV));
            // The leads' lanes dropped, the higher first so that the lower
            // stays put; numbered from 1, 0 for none.
            const uint32_t higher = 31 - __builtin_clz((lead2 << 1) | 1);
            DropLane(lo, hi, higher);
            const uint32_t missing = (lead2 != 0) + (more != 0);
            // The first eight units, then the eight ending at the last unit,
            // so that nothing past it is written.
            if (more != 0) {
                DropLane(lo, hi, 32 - __builtin_clz(lead2 ^ more));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o), lo);
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o + 6),
                                 _mm_or_si128(_mm_srli_si128(lo, 12), _mm_slli_si128(hi, 4)));
            } else {
                // Units 7 to 14, then the sixteenth unit if no lead took its
                // place (a letter is too rare a thing to branch on).
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o), lo);
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o + 7),
                                 _mm_or_si128(_mm_srli_si128(lo, 14), _mm_slli_si128(hi, 2)));
                const uint16_t sixteenth = static_cast<uint16_t>(_mm_extract_epi16(hi, 7));
                const uint16_t fifteenth = static_cast<uint16_t>(_mm_extract_epi16(hi, 6));
                d[o + 15 - missing] = missing != 0 ? fifteenth : sixteenth;
            }
            o += 16 - missing;
            i += 16;
            continue;
        }
        const uint32_t lead3 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(above(0xDF), below(0xF0))));
        // 0xE0 before 0x80-0x9F could only start an overlong form, 0xED
        // before 0xA0-0xBF a surrogate. Lane 15 has no byte after it here.
        const __m128i next = _mm_srli_si128(v, 1);
        uint32_t overlong = static_cast<uint32_t>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0))),
                          _mm_cmplt_epi8(next, _mm_set1_epi8(static_cast<char>(0xA0))))));
        if (kAsLibc) {
            overlong |= static_cast<uint32_t>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xED))),
                              _mm_cmpgt_epi8(next, _mm_set1_epi8(static_cast<char>(0x9F)))))) & 0x7FFF;
        }
        const __m128i back2 = _mm_slli_si128(v, 2);
        // Each unit's value at its sequence's last byte, from that byte and
        // the two before it.
        const __m128i lo0 = _mm_unpacklo_epi8(v, zero), hi0 = _mm_unpackhi_epi8(v, zero);
        const __m128i lo12 = _mm_or_si128(_mm_and_si128(lo0, low6),
                                          _mm_slli_epi16(_mm_and_si128(_mm_unpacklo_epi8(back1, zero), low6), 6));
        const __m128i hi12 = _mm_or_si128(_mm_and_si128(hi0, low6),
                                          _mm_slli_epi16(_mm_and_si128(_mm_unpackhi_epi8(back1, zero), low6), 6));
        const __m128i lo3 = _mm_slli_epi16(_mm_unpacklo_epi8(back2, zero), 12);
        const __m128i hi3 = _mm_slli_epi16(_mm_unpackhi_epi8(back2, zero), 12);
        if ((lead3 & 0x7FFF) == 0x1249 && (cont & 0x7FFF) == 0x6DB6) {
            // Five 3-byte forms (CJK text): nothing else to check.
            if ((overlong & 0x7FFF) != 0) break;
            const __m128i lo = _mm_or_si128(lo12, lo3), hi = _mm_or_si128(hi12, hi3);
            d[o] = static_cast<uint16_t>(_mm_extract_epi16(lo, 2));
            d[o + 1] = static_cast<uint16_t>(_mm_extract_epi16(lo, 5));
            d[o + 2] = static_cast<uint16_t>(_mm_extract_epi16(hi, 0));
            d[o + 3] = static_cast<uint16_t>(_mm_extract_epi16(hi, 3));
            d[o + 4] = static_cast<uint16_t>(_mm_extract_epi16(hi, 6));
            i += 15;
            o += 5;
            continue;
        }
        const uint32_t lead = lead2 | lead3;
        // A sequence the block cuts short waits for the next block; every
        // lane is checked all the same, since the lanes left over are where
        // the sequences taken end: a lead there cuts one of them short.
        const uint32_t whole = (lead3 & 0x4000) != 0 ? 14 : (lead & 0x8000) != 0 ? 15 : 16;
        const uint32_t inside = (1u << whole) - 1;
        const uint32_t expected = (lead << 1) | (lead3 << 2);
        const uint32_t stray = ~((high ^ 0xFFFF) | cont | lead) & 0xFFFF;
        if ((((expected ^ cont) | stray) & 0xFFFF) | (overlong & inside)) break;
        // ASCII lanes keep their byte; the third byte back counts only
        // after a continuation byte.
        const __m128i third = _mm_slli_si128(contV, 1);
        const __m128i loAscii = _mm_cmplt_epi16(lo0, _mm_set1_epi16(0x80));
        const __m128i hiAscii = _mm_cmplt_epi16(hi0, _mm_set1_epi16(0x80));
        const __m128i lo = _mm_or_si128(_mm_and_si128(loAscii, lo0),
                                        _mm_andnot_si128(loAscii, _mm_or_si128(lo12, _mm_and_si128(lo3, _mm_unpacklo_epi8(third, third)))));
        const __m128i hi = _mm_or_si128(_mm_and_si128(hiAscii, hi0),
                                        _mm_andnot_si128(hiAscii, _mm_or_si128(hi12, _mm_and_si128(hi3, _mm_unpackhi_epi8(third, third)))));
        alignas(16) uint16_t units[16];
        _mm_store_si128(reinterpret_cast<__m128i *>(units), lo);
        _mm_store_si128(reinterpret_cast<__m128i *>(units + 8), hi);
        // The units end where no lead or middle byte stands.
        for (uint32_t ends = inside & ~(lead | (lead3 << 1)); ends != 0; ends &= ends - 1) d[o++] = units[__builtin_ctz(ends)];
        i += whole;
    }
    return {i, o};
}

// Eight units of U+0800 up as 24 bytes.
inline void ThreeByteForms(__m128i a, unsigned char *d) {
    const __m128i zero = _mm_setzero_si128();
    alignas(16) uint32_t forms[8];
    for (int h = 0; h < 2; ++h) {
        const __m128i u = h == 0 ? _mm_unpacklo_epi16(a, zero) : _mm_unpackhi_epi16(a, zero);
        // Lead, middle and last byte, first in memory.
        const __m128i w = _mm_or_si128(
            _mm_or_si128(_mm_set1_epi32(0x8080E0), _mm_srli_epi32(u, 12)),
            _mm_or_si128(_mm_and_si128(_mm_slli_epi32(u, 2), _mm_set1_epi32(0x3F00)),
                         _mm_and_si128(_mm_slli_epi32(u, 16), _mm_set1_epi32(0x3F0000))));
        _mm_store_si128(reinterpret_cast<__m128i *>(forms + 4 * h), w);
    }
    // Four bytes a form, each overwriting the spare byte of the one before;
    // the last form's store ends at its own last byte.
    for (int k = 0; k < 7; ++k) __builtin_memcpy(d + 3 * k, &forms[k], 4);
    const uint32_t last = (forms[7] << 8) | ((forms[6] >> 16) & 0xFF);
    __builtin_memcpy(d + 20, &last, 4);
}

// Units to UTF-8, n units (no NUL among them), at most room bytes: blocks
// of ASCII, of ASCII with 2-byte forms, and of 3-byte forms. Stops before
// other mixes, the last units, and less room than three bytes a unit.
// kAsLibc: as libc writes UTF-8 for the engine, which may hand over NULs:
// a NUL stops the blocks, and surrogates are not encoded.
template <bool kAsLibc>
inline BlockRun UnitsToUtf8Blocks(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room) {
    uint32_t i = 0, o = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i notAscii = _mm_set1_epi16(static_cast<short>(0xFF80)), notTwo = _mm_set1_epi16(static_cast<short>(0xF800));
    const auto none = [&](__m128i x, __m128i bits) {
        return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, bits), zero)) == 0xFFFF;
    };
    const auto hasNul = [&](__m128i x) { return kAsLibc && _mm_movemask_epi8(_mm_cmpeq_epi16(x, zero)) != 0; };
    // Every unit U+0800 up (as libc: none a surrogate).
    const auto threeByte = [&](__m128i x) {
        const __m128i high = _mm_and_si128(x, notTwo);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, zero)) != 0) return false;
        return !kAsLibc || _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_set1_epi16(static_cast<short>(0xD800)))) == 0;
    };
    while (n - i >= 8 && room - o >= 24) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        if (hasNul(a)) break;
        if (n - i >= 16 && room - o >= 48) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + 8));
            const __m128i both = _mm_or_si128(a, b);
            const bool plain = !hasNul(b);
            if (plain && none(both, notAscii)) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o), _mm_packus_epi16(a, b));
                i += 16;
                o += 16;
                continue;
            }
            if (plain && none(both, notTwo)) {
                // Lead bytes in place, each 2-byte form's last byte put in
                // after its lead; staged, so that only the result reaches d.
                const __m128i twoA = _mm_cmpgt_epi16(a, _mm_set1_epi16(0x7F));
                const __m128i twoB = _mm_cmpgt_epi16(b, _mm_set1_epi16(0x7F));
                const auto leadOf = [&](__m128i x, __m128i two) {
                    return _mm_or_si128(_mm_andnot_si128(two, x),
                                        _mm_and_si128(two, _mm_or_si128(_mm_srli_epi16(x, 6), _mm_set1_epi16(0xC0))));
                };
                const auto lastOf = [&](__m128i x) {
                    return _mm_or_si128(_mm_and_si128(x, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
                };
                alignas(16) unsigned char leads[32], lasts[16], staged[48];
                const __m128i leadBytes = _mm_packus_epi16(leadOf(a, twoA), leadOf(b, twoB));
                _mm_store_si128(reinterpret_cast<__m128i *>(leads), leadBytes);
                _mm_store_si128(reinterpret_cast<__m128i *>(leads + 16), zero);
                _mm_store_si128(reinterpret_cast<__m128i *>(lasts), _mm_packus_epi16(lastOf(a), lastOf(b)));
                _mm_store_si128(reinterpret_cast<__m128i *>(staged), leadBytes);
                uint32_t k = 0;
                for (uint32_t two = static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(twoA, twoB))); two != 0;
                     two &= two - 1) {
                    const uint32_t j = __builtin_ctz(two);
                    staged[j + ++k] = lasts[j];
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(staged + j + k + 1),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(leads + j + 1)));
                }
                const uint32_t length = 16 + k;
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o), _mm_load_si128(reinterpret_cast<const __m128i *>(staged)));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d + o + length - 16),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i *>(staged + length - 16)));
                i += 16;
                o += length;
                continue;
            }
        }
        if (none(a, notAscii)) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(d + o), _mm_packus_epi16(a, zero));
            i += 8;
            o += 8;
        } else if (threeByte(a)) {
            ThreeByteForms(a, d + o);
            i += 8;
            o += 24;
        } else {
            break;
        }
    }
    // The last few units of CJK text: the last eight again, from where the
    // first of them was written; the bytes written twice are the same.
    if (n - i < 8 && n - i > 0 && n >= 8 && room - o >= 3 * (n - i)) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + n - 8));
        if (threeByte(a)) {
            ThreeByteForms(a, d + o - 3 * (8 - (n - i)));
            o += 3 * (n - i);
            i = n;
        }
    }
    return {i, o};
}
