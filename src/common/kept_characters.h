// Characters libc keeps in a conversion state: some charsets hold a letter
// back until they see whether an accent follows (TCVN5712-1, CP1255,
// CP1258), and some give two code points for one sequence, the second on
// the next call (BIG5-HKSCS, EUC-JISX0213, Shift_JISX0213). Both come out
// when libc is shown what follows, or the end of the text.
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>
#include <cwchar>

namespace quemba::detail {

// What a wide result holds when libc wrote no character.
inline constexpr wchar_t kNoWide = -1;

// mbrtowc, with kNoWide left in `wide` when no character came out. glibc's
// EUC-JISX0213 and Shift_JISX0213 decoders give a kept second code point
// without clearing it, so it would come again on every call: a character
// given without a byte taken and with the state unchanged clears the state.
inline size_t DecodeOne(wchar_t *wide, const char *s, size_t n, std::mbstate_t &state) {
    const std::mbstate_t before = state;
    *wide = kNoWide;
    const size_t taken = std::mbrtowc(wide, s, n, &state);
    if (taken == 0 && *wide != kNoWide && *wide != 0 && std::memcmp(&before, &state, sizeof state) == 0) {
        state = std::mbstate_t{};
    }
    return taken;
}

// Whether DecodeOne's answer is no text: an invalid or incomplete sequence,
// a NUL character from bytes that are not NUL, or no byte taken and no
// character given.
inline bool NoText(size_t taken, wchar_t wide) {
    return taken == static_cast<size_t>(-1) || taken == static_cast<size_t>(-2) || wide == 0 ||
           (taken == 0 && wide == kNoWide);
}

// Hands each character kept in a decoding state to `put` (false when there
// is no room for it, which stops); the end of the text, a NUL, makes libc
// give them back. False when one did not fit.
template <typename Put>
bool GiveBackDecoded(std::mbstate_t &state, Put put) {
    constexpr int kMostKept = 8;
    for (int kept = 0; kept < kMostKept && !std::mbsinit(&state); ++kept) {
        wchar_t wide = kNoWide;
        if (DecodeOne(&wide, "", 1, state) != 0 || wide == 0 || wide == kNoWide) break;
        if (!put(wide)) return false;
    }
    state = std::mbstate_t{};
    return true;
}

// Hands the bytes kept in an encoding state to `put` (bytes, count; false
// when they do not fit): libc writes them before a wide NUL's own.
template <typename Put>
bool GiveBackEncoded(std::mbstate_t &state, Put put) {
    if (std::mbsinit(&state)) return true;
    char scratch[MB_LEN_MAX];
    const size_t n = std::wcrtomb(scratch, L'\0', &state);
    state = std::mbstate_t{};
    if (n == static_cast<size_t>(-1) || n <= 1) return true;
    return put(scratch, n - 1);
}

}  // namespace quemba::detail
