// Memos of libc's answers for the length of one conversion call.
#pragma once

#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "converter/codeset.h"
#include "converter/widen_narrow.h"

namespace quemba::detail {

// Memos of libc's own answers, for codesets without a path of their own:
// the first time a unit or a byte sequence is met, libc converts it alone
// from the initial state, and the answer is kept only when libc ends in the
// initial state. Each thread has one memo per direction, which outlives the
// call: answers depend on the codeset's name alone, so the memo is emptied
// when the name changes, checked at the start of every call and, where a
// program's own callback might have changed the locale, after each of them.
constexpr uint32_t kMemoSlots = 1024;

// Two ways per set: a character evicts the older of the two only, so two
// frequent characters that share a set do not thrash. Each slot is a word
// whose low 16 bits are the key; key 0 marks an empty slot (no key starts
// with NUL). The way is chosen without branches: text alternates between
// them unpredictably.
template <uint32_t kSlots = kMemoSlots>
inline uint32_t MemoSet(uint32_t key) {
    static_assert(kSlots >= 4 && (kSlots & (kSlots - 1)) == 0, "a power of two");
    return (key * 0x9E3779B1u) >> (33 - std::countr_zero(kSlots)) << 1;
}
// Byte pairs: CJK text meets more two-byte characters than 1024 slots hold
// without conflicts (Japanese manual pages use some 850), and each conflict
// asks libc again.
constexpr uint32_t kPairSlots = 2048;

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

class ToUnicodeMemo {
public:
    // The calling thread's memo, its codeset to be read again.
    static ToUnicodeMemo &ThisThread();

    void Forget() { codeset.Forget(); }
    CodesetTraits Codeset() {
        if (codeset.Renamed()) ready_ = false;
        const CodesetTraits traits = codeset.Get();
        ascii_ = traits.kind == Codeset::AsciiSuperset;
        return traits;
    }

    // Characters of one or two bytes, each as libc decoded it; stops before
    // anything else (a NUL, longer or rejected sequences, the end of input
    // or room).
    RunResult Take(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        if (!ready_) {
            std::memset(single_, 0, sizeof single_);
            std::memset(pairs_, 0, sizeof pairs_);
            single_[0] = kStop;
            // MB_CUR_MAX follows the codeset's name, as the memo does.
            oneByte_ = MB_CUR_MAX == 1;
            ready_ = true;
        }
        uint32_t i = 0, o = 0;
        if (oneByte_) {
            i = o = TakeOneByte(s, n, d, room);
            // A letter that waits for its accent leads a pair: on below.
            if (i == n || i == room || single_[s[i]] != kLead) return RunResult{i, o};
        }
        while (i < n && o < room) {
            // ASCII between CJK text (markup, numbers), where the codeset
            // maps it to itself, leads no pair: no look-ups for it.
            if (ascii_ && s[i] - 1u < 0x7Fu) {
                const uint32_t k = AsciiRun(s + i, d + o, n - i < room - o ? n - i : room - o);
                i += k;
                o += k;
                if (i == n || o == room) break;
            }
            // Runs of known pairs first. Pairs are kept only behind a byte
            // that libc found incomplete alone, so a known pair is a whole
            // character wherever a character starts.
            // Two at a time: the second look-up counts only after a hit.
            // A miss there is not looked up again below.
            bool missed = false;
            // Whole steps of two pairs that input and room allow.
            for (uint32_t steps = (n - i) / 4 < (room - o) / 2 ? (n - i) / 4 : (room - o) / 2; steps != 0; --steps) {
                const uint32_t k1 = static_cast<uint32_t>(s[i]) << 8 | s[i + 1];
                const uint32_t k2 = static_cast<uint32_t>(s[i + 2]) << 8 | s[i + 3];
                const uint32_t w1 = MemoLookUp(pairs_ + MemoSet<kPairSlots>(k1), k1);
                const uint32_t w2 = MemoLookUp(pairs_ + MemoSet<kPairSlots>(k2), k2);
                missed = true;
                if (w1 >> 16 == 0) break;
                d[o++] = static_cast<uint16_t>(w1 >> 16);
                i += 2;
                if (w2 >> 16 == 0) break;
                d[o++] = static_cast<uint16_t>(w2 >> 16);
                i += 2;
                missed = false;
            }
            if (!missed && n - i >= 2 && o < room) {
                const uint32_t k = static_cast<uint32_t>(s[i]) << 8 | s[i + 1];
                const uint32_t w = MemoLookUp(pairs_ + MemoSet<kPairSlots>(k), k);
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
                if (ascii_ && b0 < 0x80) continue;
                // A byte that is a character alone leads no pair, so a run
                // of them needs no pair look-ups. Four at a time, stored
                // only when all four are characters alone.
                for (;;) {
                    const uint32_t k = AloneByFour(s + i, n - i < room - o ? n - i : room - o, d + o);
                    i += k;
                    o += k;
                    if (i == n || o == room || ((e = single_[s[i]]) & kOne) == 0) break;
                    d[o++] = static_cast<uint16_t>(e);
                    ++i;
                }
                continue;
            }
            if (e != kLead) {
                if (e != kUnknown) break;
                single_[b0] = LearnSingle(b0);
                continue;
            }
            if (n - i < 2) break;
            const uint32_t key = static_cast<uint32_t>(b0) << 8 | s[i + 1];
            uint32_t *set = pairs_ + MemoSet<kPairSlots>(key);
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

    // Bytes 0x01-0x7F widened, up to m: words of eight inline, as most
    // stretches between CJK are short, and a long stretch in blocks.
    static uint32_t AsciiRun(const unsigned char *s, uint16_t *d, uint32_t m) {
        uint32_t k = 0;
        while (m - k >= 8) {
            uint64_t w;
            std::memcpy(&w, s + k, 8);
            // A NUL borrows, so it sets its top bit as a byte above ASCII does.
            if (((w - 0x0101010101010101u) | w) & 0x8080808080808080u) break;
            // Each half's bytes spread to units in a word.
            uint64_t lo = w & 0xFFFFFFFFu, hi = w >> 32;
            lo = (lo | lo << 16) & 0x0000FFFF0000FFFFu;
            hi = (hi | hi << 16) & 0x0000FFFF0000FFFFu;
            lo = (lo | lo << 8) & 0x00FF00FF00FF00FFu;
            hi = (hi | hi << 8) & 0x00FF00FF00FF00FFu;
            std::memcpy(d + k, &lo, 8);
            std::memcpy(d + k + 4, &hi, 8);
            k += 8;
            if (k == 16 && m - k >= 16) return k + WidenRun<false>(s + k, d + k, m - k);
        }
        while (k < m && s[k] - 1u < 0x7Fu) {
            d[k] = s[k];
            ++k;
        }
        return k;
    }

    // Bytes that are characters alone, four at a time while all four are:
    // how many of the first n were written (a multiple of four).
    uint32_t AloneByFour(const unsigned char *s, uint32_t n, uint16_t *d) const {
        uint32_t k = 0;
        for (; n - k >= 4; k += 4) {
            const uint32_t e0 = single_[s[k]], e1 = single_[s[k + 1]];
            const uint32_t e2 = single_[s[k + 2]], e3 = single_[s[k + 3]];
            if ((e0 & e1 & e2 & e3 & kOne) == 0) break;
            d[k] = static_cast<uint16_t>(e0);
            d[k + 1] = static_cast<uint16_t>(e1);
            d[k + 2] = static_cast<uint16_t>(e2);
            d[k + 3] = static_cast<uint16_t>(e3);
        }
        return k;
    }

    // One-byte codesets: every byte is read from its entry, four at a
    // time while all four are characters alone, ASCII and letters alike,
    // as words alternate unpredictably. Stops before any other byte.
    uint32_t TakeOneByte(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        const uint32_t m = n < room ? n : room;
        uint32_t i = 0;
        while (i < m) {
            i += AloneByFour(s + i, m - i, d + i);
            uint32_t e;
            while (i < m && ((e = single_[s[i]]) & kOne) != 0) d[i++] = static_cast<uint16_t>(e);
            if (i == m) break;
            if (e != kUnknown) break;
            single_[s[i]] = LearnSingle(s[i]);
            if ((single_[s[i]] & kOne) == 0) break;
        }
        return i;
    }

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

    CodesetMemo codeset;
    bool ready_ = false;
    bool oneByte_ = false;
    // The codeset maps bytes 0x01-0x7F to ASCII alone.
    bool ascii_ = false;
    // Cleared when first needed under a codeset. single_: per byte, what
    // libc made of it alone (kOne with the unit, kLead, kStop, kUnknown).
    uint32_t single_[256] = {};
    uint32_t pairs_[kPairSlots] = {};
};

class ToByteMemo {
public:
    static ToByteMemo &ThisThread();

    void Forget() { codeset.Forget(); }
    CodesetTraits Codeset() {
        if (codeset.Renamed()) ready_ = false;
        return codeset.Get();
    }

    // Units as libc wrote them alone, whole characters only; stops before a
    // NUL, a unit libc rejects or leaves in a shift state, and the end of
    // input or room. kAscii: units below 0x80 are the bytes themselves.
    template <bool kAscii>
    RunResult Take(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        if (!ready_) {
            // MB_CUR_MAX follows the codeset's name, as the memo does.
            oneByte_ = MB_CUR_MAX == 1;
            if (oneByte_) {
                std::memset(&table_.pageOf, 0, sizeof table_.pageOf);
                std::memset(&table_.pages[0], 0, sizeof table_.pages[0]);
                table_.used = 0;
            } else {
                std::memset(slots_, 0, sizeof slots_);
            }
            ready_ = true;
        }
        if (oneByte_) return TakeOneByte(s, n, d, room);
        uint32_t i = 0, o = 0;
        // One-byte answers here (ASCII of codesets not known to keep it,
        // half-width forms) keep to one 256-unit page: on long inputs, the
        // page's known one-byte answers are copied from the memo into a
        // table on the stack as they are met, and read from there.
        // The page moves to where they are once more than a few one-byte
        // answers came from off it. One-byte codesets have a table of
        // their own (TakeOneByte).
        constexpr uint32_t kNoPage = 0x10000, kOffPage = 64;
        uint32_t page = kNoPage, offPage = 0;
        unsigned char onPage[256];
        while (i < n && o < room) {
            if (page != kNoPage) {
                while (i < n && o < room) {
                    const uint32_t v = s[i];
                    unsigned char b;
                    if (kAscii && v - 1u < 0x7Fu) {
                        // A word of ASCII goes to the blocks below.
                        if (n - i > 1 && s[i + 1] - 1u < 0x7Fu) break;
                        b = static_cast<unsigned char>(v);
                    } else {
                        if (v >> 8 != page || (b = onPage[v & 0xFF]) == 0) break;
                    }
                    d[o++] = static_cast<char>(b);
                    ++i;
                }
                if (i == n || o == room) break;
            }
            // Answers of one or two bytes (CJK, most of it) two at a time
            // while both are known. A NUL, and under kAscii any ASCII unit,
            // is never kept, so it misses here.
            while (n - i >= 2 && room - o >= 4) {
                const uint64_t w0 = MemoLookUp(slots_ + MemoSet(s[i]), s[i]);
                const uint64_t w1 = MemoLookUp(slots_ + MemoSet(s[i + 1]), s[i + 1]);
                const uint32_t l0 = w0 >> 16 & 0xFF, l1 = w1 >> 16 & 0xFF;
                if (l0 - 1u > 1u || l1 - 1u > 1u) break;
                d[o] = static_cast<char>(w0 >> 24);
                if (l0 == 2) d[o + 1] = static_cast<char>(w0 >> 32);
                o += l0;
                d[o] = static_cast<char>(w1 >> 24);
                if (l1 == 2) d[o + 1] = static_cast<char>(w1 >> 32);
                o += l1;
                i += 2;
            }
            if (i == n || o == room) break;
            const uint16_t u = s[i];
            if (kAscii && u < 0x80) {
                if (u == 0) break;
                // Words of ASCII in blocks; a lone space alone.
                if (n - i > 1 && s[i + 1] - 1u < 0x7Fu) {
                    const uint32_t k = NarrowRun<false>(s + i, d + o, n - i < room - o ? n - i : room - o);
                    i += k;
                    o += k;
                    continue;
                }
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
            if (length == 1) {
                d[o] = static_cast<char>(bytes);
                if (u >> 8 != page && n - i >= 1024 && (page == kNoPage || ++offPage > kOffPage)) {
                    page = u >> 8;
                    offPage = 0;
                    std::memset(onPage, 0, sizeof onPage);
                }
                if (u >> 8 == page) onPage[u & 0xFF] = static_cast<unsigned char>(bytes);
            } else if (length == 2) {
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
    // Byte of a unit in a one-byte codeset: 0 when not known yet.
    unsigned char Byte(uint16_t u) const { return table_.pages[table_.pageOf[u >> 8]][u & 0xFF]; }

    // One-byte codesets: every character is one byte, so a unit's answer
    // is read from its page of the table, a page being taken when libc
    // first answers for a unit on it. Units libc rejects stay unknown and
    // are asked again; so are units of pages beyond the table's.
    RunResult TakeOneByte(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        const uint32_t m = n < room ? n : room;
        uint32_t i = 0;
        while (i < m) {
            // Four at a time while all four are known: ASCII and letters
            // alternate word by word, which a test per unit mispredicts.
            while (m - i >= 4) {
                const unsigned char b0 = Byte(s[i]), b1 = Byte(s[i + 1]);
                const unsigned char b2 = Byte(s[i + 2]), b3 = Byte(s[i + 3]);
                if (b0 == 0 || b1 == 0 || b2 == 0 || b3 == 0) break;
                d[i] = static_cast<char>(b0);
                d[i + 1] = static_cast<char>(b1);
                d[i + 2] = static_cast<char>(b2);
                d[i + 3] = static_cast<char>(b3);
                i += 4;
            }
            unsigned char b;
            while (i < m && (b = Byte(s[i])) != 0) d[i++] = static_cast<char>(b);
            if (i == m) break;
            const uint16_t u = s[i];
            if (u == 0) break;
            const uint64_t word = Learn(u);
            // Anything but one byte is left to the caller's own loop.
            if ((word >> 16 & 0xFF) != 1) break;
            b = static_cast<unsigned char>(word >> 24);
            d[i++] = static_cast<char>(b);
            if (b == 0) continue;
            uint8_t &page = table_.pageOf[u >> 8];
            if (page == 0) {
                if (table_.used + 1 == kPages) continue;
                page = ++table_.used;
                std::memset(&table_.pages[page], 0, sizeof table_.pages[page]);
            }
            table_.pages[page][u & 0xFF] = b;
        }
        return RunResult{i, i};
    }

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

    // Pages of the one-byte table, the first kept empty for units whose
    // page has none; it takes the hashed sets' place.
    static constexpr uint32_t kPages = (sizeof(uint64_t) * kMemoSlots - 256 - 8) / 256;
    struct OneByteTable {
        uint8_t pageOf[256];
        uint8_t pages[kPages][256];
        uint32_t used;
    };
    static_assert(sizeof(OneByteTable) <= sizeof(uint64_t) * kMemoSlots, "no larger than the sets");

    CodesetMemo codeset;
    bool ready_ = false;
    bool oneByte_ = false;
    union {
        uint64_t slots_[kMemoSlots] = {};
        OneByteTable table_;
    };
};

}  // namespace quemba::detail
