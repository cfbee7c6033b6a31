// Runs for the engine steps: whole stretches of characters converted at
// once, with exactly the results that one libc call per character gives.
// A run stops before anything it is not sure of (a NUL, the end of its
// input or space, a byte or unit it does not handle); the step's
// per-character loop takes it from there.
//
// The locale's codeset is read once per call. UTF-8 and ISO-8859-1 are
// decoded and encoded here; codesets known to map ASCII to itself widen and
// narrow ASCII here; everything else goes to libc in bulk
// (mbsnrtowcs/wcsnrtombs), falling back to one character at a time around
// anything bulk conversion cannot vouch for.
#pragma once

#include <langinfo.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quemba::detail {

struct RunResult {
    uint32_t consumed;
    uint32_t produced;
};

enum class Codeset { Utf8, Latin1, AsciiSuperset, Other };

// What a call may do in the locale's codeset: its own path (kind), and
// whether libc's bulk calls may be used. glibc's mbsnrtowcs and wcsnrtombs
// lose or misplace characters that a charset keeps in the conversion state
// (base letters waiting for an accent, one sequence giving two characters),
// and some assert; so bulk calls are made only in codesets whose every byte
// pair and unit the exhaustive tests found equal to one call per character.
struct CodesetTraits {
    Codeset kind;
    bool bulk;
};

// Compares with a literal byte by byte, stopping at the first difference,
// so nothing past the end of `name` is read.
template <size_t N>
inline bool NameIs(const char *name, const char (&literal)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (name[i] != literal[i]) return false;
    }
    return true;
}

// Codesets checked to map bytes 0x01-0x7F to ASCII, in which a byte below
// 0x80 at a character boundary is that ASCII character and keeps nothing
// back; the ISO-8859 parts are all ASCII in their lower half.
inline bool AsciiCodeset(const char *name) {
    if (std::strncmp(name, "ISO-8859-", 9) == 0) return true;
    // Not CP1258: its ASCII letters wait for a following tone mark.
    if (std::strncmp(name, "CP125", 5) == 0) return name[5] >= '0' && name[5] <= '7' && name[6] == 0;
    return NameIs(name, "ANSI_X3.4-1968") || NameIs(name, "EUC-JP") || NameIs(name, "EUC-KR") ||
           NameIs(name, "KOI8-R") || NameIs(name, "KOI8-U");
}

// Codesets in which bulk calls were found exact.
inline bool BulkCodeset(const char *name) {
    if (std::strncmp(name, "ISO-8859-", 9) == 0) return true;
    // CP1255 keeps Hebrew letters back for their points.
    if (std::strncmp(name, "CP125", 5) == 0) return name[5] >= '0' && name[5] <= '7' && name[5] != '5' && name[6] == 0;
    static constexpr const char *kExact[] = {
        "ANSI_X3.4-1968", "ARMSCII-8", "BIG5",   "CP949",       "EUC-JP",      "EUC-KR",  "EUC-TW",
        "GB18030",        "GB2312",    "GBK",    "GEORGIAN-PS", "JOHAB",       "KOI8-R",  "KOI8-T",
        "KOI8-U",         "PT154",     "RK1048", "SHIFT_JIS",   "TIS-620",     "WINDOWS-31J"};
    for (const char *exact : kExact) {
        if (std::strcmp(name, exact) == 0) return true;
    }
    return false;
}

inline CodesetTraits CurrentCodeset() {
    const char *name = nl_langinfo(CODESET);
    if (NameIs(name, "UTF-8")) return CodesetTraits{Codeset::Utf8, false};
    if (NameIs(name, "ISO-8859-1")) return CodesetTraits{Codeset::Latin1, false};
    return CodesetTraits{AsciiCodeset(name) ? Codeset::AsciiSuperset : Codeset::Other, BulkCodeset(name)};
}

// How far a step with `space` output units can read: each unit it produces
// consumes at most `longest` input units, and the margin gives the last
// character it may examine more input than any character has. So a
// measure bounded by this examines the same bytes as the full length would.
inline uint32_t Reach(uint32_t space, uint32_t longest) {
    const uint64_t bound = static_cast<uint64_t>(space) * longest + 16;
    return bound >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bound);
}

// Input units before the NUL, at most `limit`.
inline uint32_t Measure(const unsigned char *s, uint32_t limit) {
    return static_cast<uint32_t>(strnlen(reinterpret_cast<const char *>(s), limit));
}

// The same for UTF-16 input.
#if defined(__SSE2__)
// Aligned 16-byte loads never cross a page, like libc's own string scans;
// the bytes read past the NUL are never used.
__attribute__((no_sanitize_address, no_sanitize_thread)) inline uint32_t UnitLength(const uint16_t *s, uint32_t max) {
    uint32_t i = 0;
    const uintptr_t misalign = reinterpret_cast<uintptr_t>(s) & 15;
    if (misalign & 1) {
        while (i < max && s[i] != 0) ++i;
        return i;
    }
    const __m128i zero = _mm_setzero_si128();
    const auto *block = reinterpret_cast<const __m128i *>(reinterpret_cast<uintptr_t>(s) - misalign);
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero)) >> misalign;
    uint32_t base = 0;
    uint32_t step = static_cast<uint32_t>(16 - misalign) / 2;
    for (;;) {
        if (mask != 0) {
            const uint32_t at = base + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
            return at < max ? at : max;
        }
        base += step;
        if (base >= max) return max;
        step = 8;
        ++block;
        mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero));
    }
}
#else
inline uint32_t UnitLength(const uint16_t *s, uint32_t max) {
    uint32_t i = 0;
    while (i < max && s[i] != 0) ++i;
    return i;
}
#endif

inline uint32_t Measure(const uint16_t *s, uint32_t limit) { return UnitLength(s, limit); }

// Widens bytes 0x01-0x7F (kLatin1: 0x01-0xFF) to units, up to n of them;
// returns how many it took.
template <bool kLatin1>
inline uint32_t WidenRun(const unsigned char *s, uint16_t *d, uint32_t n) {
    uint32_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    // A block is stored only when all of it is taken: the units after the
    // last one taken belong to the caller (the step reports as produced
    // exactly what it wrote). The block with the stop goes to the loop below.
    while (n - i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        __m128i stop = _mm_cmpeq_epi8(v, zero);
        if (!kLatin1) stop = _mm_or_si128(stop, v);
        if (_mm_movemask_epi8(stop) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i + 8), _mm_unpackhi_epi8(v, zero));
        i += 16;
    }
    // Short strings: one block of eight.
    if (n - i >= 8) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + i));
        __m128i stop = _mm_cmpeq_epi8(v, zero);
        if (!kLatin1) stop = _mm_or_si128(stop, v);
        if ((_mm_movemask_epi8(stop) & 0xFF) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_unpacklo_epi8(v, zero));
            i += 8;
        }
    }
#else
    while (n - i >= 4) {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        uint32_t stop = (w - 0x01010101u) & ~w & 0x80808080u;  // a zero byte
        if (!kLatin1) stop |= w & 0x80808080u;
        if (stop != 0) break;
        d[i] = s[i];
        d[i + 1] = s[i + 1];
        d[i + 2] = s[i + 2];
        d[i + 3] = s[i + 3];
        i += 4;
    }
#endif
    while (i < n) {
        const unsigned char c = s[i];
        if (c == 0 || (!kLatin1 && c >= 0x80)) break;
        d[i] = c;
        ++i;
    }
    return i;
}

// Narrows units 0x0001-0x007F (kLatin1: 0x0001-0x00FF) to bytes, up to n.
template <bool kLatin1>
inline uint32_t NarrowRun(const uint16_t *s, char *d, uint32_t n) {
    uint32_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i high = _mm_set1_epi16(static_cast<short>(kLatin1 ? 0xFF00 : 0xFF80));
    while (n - i >= 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + 8));
        // Per unit: all-ones where it narrows (not NUL, no high bits).
        const __m128i okA = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(_mm_and_si128(a, high), zero));
        const __m128i okB = _mm_andnot_si128(_mm_cmpeq_epi16(b, zero), _mm_cmpeq_epi16(_mm_and_si128(b, high), zero));
        // Stored only when every unit narrows: the bytes after the last one
        // taken belong to the caller. The block with the stop goes below.
        if (_mm_movemask_epi8(_mm_packs_epi16(okA, okB)) != 0xFFFF) break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + i), _mm_packus_epi16(a, b));
        i += 16;
    }
    // Short strings: one block of eight.
    if (n - i >= 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i okA = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(_mm_and_si128(a, high), zero));
        if ((_mm_movemask_epi8(_mm_packs_epi16(okA, zero)) & 0xFF) == 0xFF) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(d + i), _mm_packus_epi16(a, zero));
            i += 8;
        }
    }
#endif
    while (i < n) {
        const uint16_t u = s[i];
        if (u == 0 || u > (kLatin1 ? 0xFF : 0x7F)) break;
        d[i] = static_cast<char>(u);
        ++i;
    }
    return i;
}

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
inline RunResult Utf8ToUnits(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
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

// Units to UTF-8, whole characters only; surrogate units are left to libc.
inline RunResult UnitsToUtf8(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
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

// Characters a bulk libc call handles at once; after a bulk call that
// could not vouch for its result, as many go one at a time.
constexpr uint32_t kBulkChars = 256;

// Memos of libc's own answers, for codesets without a path of their own:
// the first time a call meets a unit or a byte sequence, libc converts it
// alone from the initial state, and the answer is kept for the rest of the
// call only when libc ends in the initial state. A memo lives on the stack
// of one call and starts empty, so nothing survives a locale change between
// calls; the drivers forget it around callbacks, which might change the
// locale in the middle of a call.
constexpr uint32_t kMemoSlots = 1024;
// Shorter input goes to bulk calls: filling a memo costs one libc call per
// character first met.
constexpr uint32_t kMemoFrom = 128;

// Two ways per set: a character evicts the older of the two only, so two
// frequent characters that share a set do not thrash. Each slot is a word
// whose low 16 bits are the key; key 0 marks an empty slot (no key starts
// with NUL). The way is chosen without branches: text alternates between
// them unpredictably.
inline uint32_t MemoSet(uint32_t key) { return (key * 0x9E3779B1u) >> 23 << 1; }
static_assert(kMemoSlots == 1u << 10, "MemoSet keeps 9 bits");

template <typename Word>
inline Word MemoLookUp(const Word *set, uint32_t key) {
    const Word w0 = set[0], w1 = set[1];
    // No key is in both ways.
    const Word m0 = Word{0} - static_cast<Word>((w0 & 0xFFFF) == key);
    const Word m1 = Word{0} - static_cast<Word>((w1 & 0xFFFF) == key);
    return (w0 & m0) | (w1 & m1);
}

template <typename Word>
inline void MemoStore(Word *set, Word word) {
    set[1] = set[0];
    set[0] = word;
}

// The locale's codeset, asked once per call rather than once per step.
class CodesetMemo {
public:
    void Forget() { known_ = false; }
    CodesetTraits Get() {
        if (!known_) {
            codeset_ = CurrentCodeset();
            known_ = true;
        }
        return codeset_;
    }

private:
    bool known_ = false;
    CodesetTraits codeset_{Codeset::Other, false};
};

class ToUnicodeMemo {
public:
    void Forget() {
        ready_ = false;
        codeset.Forget();
    }

    CodesetMemo codeset;

    // Characters of one or two bytes, each as libc decoded it; stops before
    // anything else (a NUL, longer or rejected sequences, the end of input
    // or room).
    RunResult Take(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        if (!ready_) {
            std::memset(single_, 0, sizeof single_);
            std::memset(pairs_, 0, sizeof pairs_);
            single_[0] = kStop;
            ready_ = true;
        }
        uint32_t i = 0, o = 0;
        while (i < n && o < room) {
            // Runs of known pairs first. Pairs are kept only behind a byte
            // that libc found incomplete alone, so a known pair is a whole
            // character wherever a character starts.
            // Two at a time: the second look-up counts only after a hit.
            while (n - i >= 4 && room - o >= 2) {
                const uint32_t k1 = static_cast<uint32_t>(s[i]) << 8 | s[i + 1];
                const uint32_t k2 = static_cast<uint32_t>(s[i + 2]) << 8 | s[i + 3];
                const uint32_t w1 = MemoLookUp(pairs_ + MemoSet(k1), k1);
                const uint32_t w2 = MemoLookUp(pairs_ + MemoSet(k2), k2);
                if (w1 >> 16 == 0) break;
                d[o++] = static_cast<uint16_t>(w1 >> 16);
                i += 2;
                if (w2 >> 16 == 0) break;
                d[o++] = static_cast<uint16_t>(w2 >> 16);
                i += 2;
            }
            if (n - i >= 2 && o < room) {
                const uint32_t k = static_cast<uint32_t>(s[i]) << 8 | s[i + 1];
                const uint32_t w = MemoLookUp(pairs_ + MemoSet(k), k);
                if (w >> 16 != 0) {
                    d[o++] = static_cast<uint16_t>(w >> 16);
                    i += 2;
                    continue;
                }
            }
            if (i == n || o == room) break;
            const unsigned char b0 = s[i];
            uint32_t e = single_[b0];
            if (e & kOne) {
                // A byte that is a character alone leads no pair, so a run
                // of them (ASCII between CJK text) needs no pair look-ups.
                do {
                    d[o++] = static_cast<uint16_t>(e);
                    ++i;
                } while (i < n && o < room && ((e = single_[s[i]]) & kOne) != 0);
                continue;
            }
            if (e != kLead) {
                if (e != kUnknown) break;
                single_[b0] = LearnSingle(b0);
                continue;
            }
            if (n - i < 2) break;
            const uint32_t key = static_cast<uint32_t>(b0) << 8 | s[i + 1];
            uint32_t *set = pairs_ + MemoSet(key);
            uint32_t word = MemoLookUp(set, key);
            if (word == 0) {
                word = LearnPair(s + i, key);
                MemoStore(set, word);
            }
            // No unit: libc did not take these two bytes as one character.
            if (word >> 16 == 0) break;
            d[o++] = static_cast<uint16_t>(word >> 16);
            i += 2;
        }
        return RunResult{i, o};
    }

private:
    static constexpr uint32_t kUnknown = 0, kOne = 0x10000, kLead = 0x20000, kStop = 0x40000;

    static uint32_t LearnSingle(unsigned char b) {
        std::mbstate_t state{};
        wchar_t w = 0;
        const char c = static_cast<char>(b);
        const size_t k = std::mbrtowc(&w, &c, 1, &state);
        if (k == static_cast<size_t>(-2)) return kLead;
        if (k == 1 && std::mbsinit(&state) && w != 0 && static_cast<uint32_t>(w) <= 0xFFFF)
            return kOne | static_cast<uint32_t>(w);
        return kStop;
    }

    // The key, with the unit above it (none if libc did not decode the two
    // bytes as one character of the BMP, ending in the initial state).
    static uint32_t LearnPair(const unsigned char *s, uint32_t key) {
        std::mbstate_t state{};
        wchar_t w = 0;
        const size_t k = std::mbrtowc(&w, reinterpret_cast<const char *>(s), 2, &state);
        const bool one = k == 2 && std::mbsinit(&state) && w != 0 && static_cast<uint32_t>(w) <= 0xFFFF;
        return key | (one ? static_cast<uint32_t>(w) << 16 : 0);
    }

    bool ready_ = false;
    // Left uninitialised until a call needs them. single_: per byte, what
    // libc made of it alone (kOne with the unit, kLead, kStop, kUnknown).
    uint32_t single_[256];
    uint32_t pairs_[kMemoSlots];
};

class ToByteMemo {
public:
    void Forget() {
        ready_ = false;
        codeset.Forget();
    }

    CodesetMemo codeset;

    // Units as libc wrote them alone, whole characters only; stops before a
    // NUL, a unit libc rejects or leaves in a shift state, and the end of
    // input or room. kAscii: units below 0x80 are the bytes themselves.
    template <bool kAscii>
    RunResult Take(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        if (!ready_) {
            std::memset(slots_, 0, sizeof slots_);
            ready_ = true;
        }
        uint32_t i = 0, o = 0;
        while (i < n && o < room) {
            const uint16_t u = s[i];
            if (kAscii && u < 0x80) {
                if (u == 0) break;
                d[o++] = static_cast<char>(u);
                ++i;
                continue;
            }
            if (u == 0) break;
            uint64_t *set = slots_ + MemoSet(u);
            uint64_t word = MemoLookUp(set, u);
            if (word == 0) {
                word = Learn(u);
                if (word == 0) break;
                MemoStore(set, word);
            }
            const uint32_t length = static_cast<uint32_t>(word >> 16) & 0xFF;
            if (room - o < length) break;
            const uint64_t bytes = word >> 24;
            if (length == 2) {
                d[o] = static_cast<char>(bytes);
                d[o + 1] = static_cast<char>(bytes >> 8);
            } else {
                for (uint32_t k = 0; k < length; ++k) d[o + k] = static_cast<char>(bytes >> (8 * k));
            }
            o += length;
            ++i;
        }
        return RunResult{i, o};
    }

private:
    // The unit, the length above it and the bytes above that, first byte
    // lowest; 0 when libc's answer is not one to keep.
    static uint64_t Learn(uint16_t u) {
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        const size_t k = std::wcrtomb(bytes, static_cast<wchar_t>(u), &state);
        if (k == static_cast<size_t>(-1) || k == 0 || k > 5 || !std::mbsinit(&state)) return 0;
        uint64_t word = u | static_cast<uint64_t>(k) << 16;
        for (size_t j = 0; j < k; ++j) word |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[j])) << (24 + 8 * j);
        return word;
    }

    bool ready_ = false;
    // Left uninitialised until a call needs it.
    uint64_t slots_[kMemoSlots];
};

class ToUnicodeRuns {
public:
    explicit ToUnicodeRuns(ToUnicodeMemo &memo) : ToUnicodeRuns(memo.codeset.Get(), memo) {}

    uint32_t LongestChar() const { return longest_; }

    RunResult Take(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        switch (codeset_.kind) {
        case Codeset::Utf8:
            return Utf8ToUnits(s, n, d, room);
        case Codeset::Latin1: {
            const uint32_t k = WidenRun<true>(s, d, n < room ? n : room);
            return RunResult{k, k};
        }
        case Codeset::AsciiSuperset: {
            const uint32_t k = WidenRun<false>(s, d, n < room ? n : room);
            if (k != 0) return RunResult{k, k};
            return Memo(s, n, d, room);
        }
        case Codeset::Other:
            return Memo(s, n, d, room);
        }
        return RunResult{0, 0};
    }

private:
    ToUnicodeRuns(CodesetTraits codeset, ToUnicodeMemo &memo)
        : codeset_(codeset), longest_(LongestFor(codeset)), memo_(memo) {}

    // Bytes one unit may take. Where libc composes a unit from a letter and
    // its marks (the codesets not vouched for), several characters' worth.
    static uint32_t LongestFor(CodesetTraits codeset) {
        constexpr uint32_t kComposed = 4;
        if (codeset.kind == Codeset::Latin1) return 1;
        const uint32_t longest = static_cast<uint32_t>(MB_CUR_MAX);
        return codeset.kind == Codeset::Utf8 || codeset.bulk ? longest : longest * kComposed;
    }

    RunResult Memo(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        if (n >= kMemoFrom && room >= kMemoFrom / 2) {
            const RunResult r = memo_.Take(s, n, d, room);
            if (r.produced != 0) return r;
        }
        return Bulk(s, n, d, room);
    }

    RunResult Bulk(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        if (!codeset_.bulk) return RunResult{0, 0};
        if (slow_ != 0) {
            --slow_;
            return RunResult{0, 0};
        }
        if (n == 0) return RunResult{0, 0};
        wchar_t wide[kBulkChars];
        std::mbstate_t state{};
        const char *p = reinterpret_cast<const char *>(s);
        const size_t want = room < kBulkChars ? room : kBulkChars;
        // `want` characters fit in this many bytes, so the byte limit cuts
        // no character that the count does not cut; it also keeps libc from
        // measuring the whole rest of the input on every call.
        const size_t limit = want * longest_ < n ? want * longest_ : n;
        const size_t k = mbsnrtowcs(wide, &p, limit, want, &state);
        // A rejected or cut character, or one beyond the BMP, is for the
        // per-character loop to report; a NUL ends the run before it.
        bool usable = k != static_cast<size_t>(-1) && k != 0 && std::mbsinit(&state) != 0;
        uint32_t used = 0;
        if (usable) {
            if (p == nullptr) {
                const void *nul = std::memchr(s, 0, limit);
                used = static_cast<uint32_t>(static_cast<const unsigned char *>(nul) - s);
            } else {
                used = static_cast<uint32_t>(reinterpret_cast<const unsigned char *>(p) - s);
            }
            for (size_t j = 0; j < k && usable; ++j) usable = static_cast<uint32_t>(wide[j]) <= 0xFFFF && wide[j] != 0;
        }
        if (!usable) {
            slow_ = kBulkChars;
            return RunResult{0, 0};
        }
        for (size_t j = 0; j < k; ++j) d[j] = static_cast<uint16_t>(wide[j]);
        return RunResult{used, static_cast<uint32_t>(k)};
    }

    CodesetTraits codeset_;
    uint32_t longest_;
    uint32_t slow_ = 0;
    ToUnicodeMemo &memo_;
};

class ToByteRuns {
public:
    explicit ToByteRuns(ToByteMemo &memo) : codeset_(memo.codeset.Get()), memo_(memo) {}

    RunResult Take(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        switch (codeset_.kind) {
        case Codeset::Utf8:
            return UnitsToUtf8(s, n, d, room);
        case Codeset::Latin1: {
            const uint32_t k = NarrowRun<true>(s, d, n < room ? n : room);
            return RunResult{k, k};
        }
        case Codeset::AsciiSuperset: {
            const uint32_t k = NarrowRun<false>(s, d, n < room ? n : room);
            if (k != 0) return RunResult{k, k};
            if (n >= kMemoFrom && room >= kMemoFrom) {
                const RunResult r = memo_.Take<true>(s, n, d, room);
                if (r.consumed != 0) return r;
            }
            return Bulk(s, n, d, room);
        }
        case Codeset::Other:
            if (n >= kMemoFrom && room >= kMemoFrom) {
                const RunResult r = memo_.Take<false>(s, n, d, room);
                if (r.consumed != 0) return r;
            }
            return Bulk(s, n, d, room);
        }
        return RunResult{0, 0};
    }

private:
    RunResult Bulk(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        if (!codeset_.bulk) return RunResult{0, 0};
        if (slow_ != 0) {
            --slow_;
            return RunResult{0, 0};
        }
        // Only as many units as surely fit the space, so that the bulk
        // result is used whole.
        if (longest_ == 0) longest_ = static_cast<uint32_t>(MB_CUR_MAX);
        const uint32_t fit = room / longest_ < kBulkChars ? room / longest_ : kBulkChars;
        wchar_t wide[kBulkChars];
        uint32_t k = 0;
        while (k < fit && k < n && s[k] != 0) {
            wide[k] = static_cast<wchar_t>(s[k]);
            ++k;
        }
        if (k == 0) return RunResult{0, 0};
        char bytes[kBulkChars * 4];
        if (size_t{k} * longest_ > sizeof bytes) k = static_cast<uint32_t>(sizeof bytes / longest_);
        std::mbstate_t state{};
        const wchar_t *p = wide;
        const size_t made = wcsnrtombs(bytes, &p, k, sizeof bytes, &state);
        // A unit without a mapping, or bytes that do not all fit, are for
        // the per-character loop to report.
        if (made == static_cast<size_t>(-1) || made > room || p != wide + k || !std::mbsinit(&state)) {
            slow_ = kBulkChars;
            return RunResult{0, 0};
        }
        std::memcpy(d, bytes, made);
        return RunResult{k, static_cast<uint32_t>(made)};
    }

    CodesetTraits codeset_;
    uint32_t longest_ = 0;
    uint32_t slow_ = 0;
    ToByteMemo &memo_;
};

}  // namespace quemba::detail
