// The locale engine: every character decision goes to libc in the current
// locale, one character at a time.
#include <quemba/converter.h>

#include <langinfo.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "common/char_look_ahead.h"
#include "common/kept_characters.h"
#include "converter/aux_operations.h"
#include "converter/engine_runs.h"
#include "converter/engine_steps.h"
#include "converter/measured_input.h"

namespace {

constexpr uint16_t kDefaultSubUni = 0xFFFD;
constexpr uint8_t kDefaultSubByte = 0x03;  // ETX, not '?': it cannot be mistaken for text
constexpr uint32_t kLargestUnit = 0xFFFF;
constexpr uint32_t kEngineTag = 7;

// A case sub-kind this engine knows of but does not provide.
constexpr uint32_t kCaseFold = 2;

// Outcome of converting one character. With CVT_E_NO_MAP, consumed covers
// the whole unmappable sequence, which is also its no-map length.
struct CharResult {
    int32_t status;
    uint32_t consumed;
    uint32_t produced;
};

// The frame shared by all steps: stop tests before and after each character,
// and counts written on every exit. `available` is handed to the character
// converter as the number of input units it may examine; a step that needs
// it for NUL-terminated input (bytes) asks for a measure, bounded by what its
// space lets it reach. Before each character, `run` may take a whole run of
// characters that convert without a stop; it leaves everything the stop
// tests or the character converter must judge to the loop below.
//
// Some charsets keep a character in libc's conversion state until they see
// what follows (a base letter that may take an accent). `held` tells whether
// anything is kept (Clean) and writes it out (Flush). A step reports counts
// only where nothing is kept: before it stops it flushes, and if what is
// kept does not fit, it goes back to the last point where nothing was.
template <typename In, typename Out, bool kMeasure, typename Convert, typename Run, typename Held>
int32_t RunStep(const void *source, void *destination, int32_t count, uint32_t space,
                uint32_t *consumedOut, uint32_t *producedOut, uint32_t *noMapLength,
                uint32_t longestChar, Convert convert, Run run, Held held) {
    const In *src = static_cast<const In *>(source);
    Out *dst = static_cast<Out *>(destination);
    uint32_t in = 0;
    uint32_t out = 0;
    uint32_t noMap = 0;
    int32_t status = CVT_OK;

    if (count == 0) {
        status = CVT_E_SOURCE_EXHAUSTED;
    } else if (src == nullptr || dst == nullptr) {
        status = CVT_E_BAD_PARAMETER;
    } else if (src[0] == 0) {
        status = CVT_OK;
    } else if (space == 0) {
        status = CVT_E_BUFFER_FULL;
    } else {
        const bool counted = count > 0;
        // A count is the input's length; NUL-terminated input is measured
        // only as far as the step can reach.
        auto measured = counted || !kMeasure
                            ? quemba::detail::MeasuredInput<In>::Known(counted ? static_cast<uint32_t>(count) : UINT32_MAX)
                            : quemba::detail::MeasuredInput<In>::Terminated(src, space, longestChar);
        uint32_t cleanIn = 0, cleanOut = 0;
        // After a character: false to go on, true with `status` set to stop.
        auto stops = [&] {
            if (held.Clean()) {
                cleanIn = in;
                cleanOut = out;
            }
            if (counted && in == static_cast<uint32_t>(count)) {
                status = CVT_E_SOURCE_EXHAUSTED;
            } else if (out == space) {
                status = src[in] == 0 ? CVT_OK : CVT_E_BUFFER_FULL;
            } else if (src[in] == 0) {
                status = CVT_OK;
            } else {
                return false;
            }
            return true;
        };
        for (;;) {
            uint32_t available = measured.Available(in, space - out);
            const quemba::detail::RunResult bulk =
                run(src + in, in < available ? available - in : 0, dst + out, space - out);
            if (bulk.produced != 0) {
                in += bulk.consumed;
                out += bulk.produced;
                if (stops()) break;
                available = measured.Available(in, space - out);
            }
            const CharResult one = convert(src + in, available - in, dst + out, space - out);
            if (one.status == CVT_E_NO_MAP) {
                in += one.consumed;
                noMap = one.consumed;
                status = CVT_E_NO_MAP;
                break;
            }
            if (one.status != CVT_OK) {
                status = one.status;
                break;
            }
            in += one.consumed;
            out += one.produced;
            if (stops()) break;
        }
        if (!held.Clean()) {
            // What libc keeps belongs to the input consumed so far.
            if (status != CVT_E_BUFFER_FULL && !held.Flush(dst, space, out)) status = CVT_E_BUFFER_FULL;
            if (status == CVT_E_BUFFER_FULL) {
                in = cleanIn;
                out = cleanOut;
            }
        }
    }
    if (status == CVT_E_NO_MAP && noMapLength != nullptr) *noMapLength = noMap;
    if (consumedOut != nullptr) *consumedOut = in;
    if (producedOut != nullptr) *producedOut = out;
    return status;
}

// Steps whose conversion keeps nothing back.
struct NothingHeld {
    static bool Clean() { return true; }
    template <typename Out>
    static bool Flush(Out *, uint32_t, uint32_t &) { return true; }
};

// What a decoding state keeps comes out at the end of the text.
struct HeldDecoded {
    std::mbstate_t &state;
    bool Clean() const { return std::mbsinit(&state) != 0; }
    bool Flush(uint16_t *dst, uint32_t space, uint32_t &out) {
        return quemba::detail::GiveBackDecoded(state, [&](wchar_t wide) {
            // Beyond one unit: nothing to give, as for any such character.
            if (static_cast<uint32_t>(wide) > kLargestUnit) return true;
            if (out == space) return false;
            dst[out++] = static_cast<uint16_t>(wide);
            return true;
        });
    }
};

// What an encoding state keeps is written before the end of the text.
struct HeldEncoded {
    std::mbstate_t &state;
    bool Clean() const { return std::mbsinit(&state) != 0; }
    bool Flush(char *dst, uint32_t space, uint32_t &out) {
        return quemba::detail::GiveBackEncoded(state, [&](const char *bytes, size_t n) {
            if (n > space - out) return false;
            std::memcpy(dst + out, bytes, n);
            out += static_cast<uint32_t>(n);
            return true;
        });
    }
};

template <bool kUpper>
int32_t ChangeCase(const void *source, void *destination, int32_t count, uint32_t space,
                   uint32_t *consumed, uint32_t *produced, uint32_t *noMapLength) {
    return RunStep<uint16_t, uint16_t, false>(
        source, destination, count, space, consumed, produced, noMapLength, 1,
        [](const uint16_t *src, uint32_t, uint16_t *dst, uint32_t) {
            const wint_t unit = src[0];
            *dst = static_cast<uint16_t>(kUpper ? std::towupper(unit) : std::towlower(unit));
            return CharResult{CVT_OK, 1, 1};
        },
        [](const uint16_t *, uint32_t, uint16_t *, uint32_t) { return quemba::detail::RunResult{0, 0}; },
        NothingHeld{});
}

}  // namespace

namespace quemba::detail {

int32_t EngineToUnicode(const void *source, void *destination, int32_t count, uint32_t space,
                        uint32_t *consumed, uint32_t *produced, uint32_t *noMapLength, ToUnicodeMemo &memo) {
    std::mbstate_t state{};
    const bool counted = count > 0;
    quemba::detail::ToUnicodeRuns runs(memo);
    return RunStep<unsigned char, uint16_t, true>(
        source, destination, count, space, consumed, produced, noMapLength, runs.LongestChar(),
        [&state, counted](const unsigned char *src, uint32_t available, uint16_t *dst, uint32_t) {
            // A call may take bytes and give no character (libc keeps it to
            // see what follows), or give a kept one without taking bytes.
            const std::mbstate_t before = state;
            wchar_t wide = quemba::detail::kNoWide;
            // No character is longer than the look-ahead; some charsets'
            // decoders cost the length they are shown on every call.
            constexpr uint32_t kLookAhead = static_cast<uint32_t>(quemba::detail::kCharLookAhead);
            const size_t n = quemba::detail::DecodeOne(&wide, reinterpret_cast<const char *>(src),
                                                       available < kLookAhead ? available : kLookAhead, state);
            if (n == static_cast<size_t>(-2)) {
                state = before;
                // Counted input may continue in the caller's next piece;
                // before a NUL the character can never be completed, so
                // its first byte is refused and decoding goes on after it.
                if (counted) return CharResult{CVT_E_SOURCE_EXHAUSTED, 0, 0};
                return CharResult{CVT_E_NO_MAP, 1, 0};
            }
            // One bad byte at a time, so the byte after it is decoded again.
            // A wide NUL from non-NUL bytes is no text either.
            if (quemba::detail::NoText(n, wide)) {
                state = before;
                return CharResult{CVT_E_NO_MAP, 1, 0};
            }
            if (wide == quemba::detail::kNoWide) return CharResult{CVT_OK, static_cast<uint32_t>(n), 0};
            // UCS-2 only: no surrogate pairs are formed. A kept one has no
            // bytes of its own left to report.
            if (static_cast<uint32_t>(wide) > kLargestUnit) return CharResult{CVT_E_NO_MAP, static_cast<uint32_t>(n), 0};
            *dst = static_cast<uint16_t>(wide);
            return CharResult{CVT_OK, static_cast<uint32_t>(n), 1};
        },
        [&runs, &state](const unsigned char *src, uint32_t available, uint16_t *dst, uint32_t room) {
            // Runs start and end on character boundaries, in the initial state.
            if (!std::mbsinit(&state)) return quemba::detail::RunResult{0, 0};
            return runs.Take(src, available, dst, room);
        },
        HeldDecoded{state});
}

int32_t EngineToByte(const void *source, void *destination, int32_t count, uint32_t space, uint32_t *consumed,
                     uint32_t *produced, uint32_t *noMapLength, ToByteMemo &memo) {
    std::mbstate_t state{};
    quemba::detail::ToByteRuns runs(memo);
    return RunStep<uint16_t, char, true>(
        source, destination, count, space, consumed, produced, noMapLength, 1,
        [&state](const uint16_t *src, uint32_t, char *dst, uint32_t room) {
            // Bytes written may be those of a character kept before, and a
            // character may be kept without a byte written.
            const std::mbstate_t before = state;
            char scratch[MB_LEN_MAX];
            const size_t n = std::wcrtomb(scratch, static_cast<wchar_t>(src[0]), &state);
            if (n == static_cast<size_t>(-1)) {
                state = before;
                return CharResult{CVT_E_NO_MAP, 1, 0};
            }
            // Written whole or not at all; the unit stays unconsumed.
            if (n > room) {
                state = before;
                return CharResult{CVT_E_BUFFER_FULL, 0, 0};
            }
            std::memcpy(dst, scratch, n);
            return CharResult{CVT_OK, 1, static_cast<uint32_t>(n)};
        },
        [&runs, &state](const uint16_t *src, uint32_t available, char *dst, uint32_t room) {
            if (!std::mbsinit(&state)) return quemba::detail::RunResult{0, 0};
            return runs.Take(src, available, dst, room);
        },
        HeldEncoded{state});
}

}  // namespace quemba::detail

extern "C" QUEMBA_API int32_t KXUToUnicode(uintptr_t, const void *source, void *destination,
                                           int32_t count, uint32_t space, uint32_t *consumed,
                                           uint32_t *produced, uint32_t *noMapLength) {
    quemba::detail::ToUnicodeMemo &memo = quemba::detail::ToUnicodeMemo::ThisThread();
    return quemba::detail::EngineToUnicode(source, destination, count, space, consumed, produced, noMapLength,
                                           memo);
}

extern "C" QUEMBA_API int32_t KXUToByte(uintptr_t, const void *source, void *destination,
                                        int32_t count, uint32_t space, uint32_t *consumed,
                                        uint32_t *produced, uint32_t *noMapLength) {
    quemba::detail::ToByteMemo &memo = quemba::detail::ToByteMemo::ThisThread();
    return quemba::detail::EngineToByte(source, destination, count, space, consumed, produced, noMapLength, memo);
}

extern "C" QUEMBA_API int32_t KXUToUpper(uintptr_t, const void *source, void *destination,
                                         int32_t count, uint32_t space, uint32_t *consumed,
                                         uint32_t *produced, uint32_t *noMapLength) {
    return ChangeCase<true>(source, destination, count, space, consumed, produced, noMapLength);
}

extern "C" QUEMBA_API int32_t KXUToLower(uintptr_t, const void *source, void *destination,
                                         int32_t count, uint32_t space, uint32_t *consumed,
                                         uint32_t *produced, uint32_t *noMapLength) {
    return ChangeCase<false>(source, destination, count, space, consumed, produced, noMapLength);
}

extern "C" QUEMBA_API int32_t KXUAux(uint32_t, uint32_t operation, const char *bytes) {
    switch (operation) {
        case quemba::detail::kAuxCharSize: {
            std::mbstate_t state{};
            return static_cast<int32_t>(std::mbrtowc(nullptr, bytes, quemba::detail::kCharLookAhead, &state));
        }
        case quemba::detail::kAuxReserved:
        case quemba::detail::kAuxSetUp:
            return CVT_OK;
        default:
            return CVT_E_UNSUPPORTED_OP;
    }
}

extern "C" QUEMBA_API int32_t KXUCaseAux(uint32_t, uint32_t, const char *) {
    return CVT_E_UNSUPPORTED_OP;
}

extern "C" QUEMBA_API int32_t KXUGetInfo(uint32_t, Converter *record) {
    if (record == nullptr) return CVT_E_BAD_PARAMETER;
    record->engineTag = kEngineTag;
    switch (record->kind) {
        case CONVERTER_BYTE_UNI:
            record->toUnicodeStep = KXUToUnicode;
            record->toByteStep = KXUToByte;
            record->auxFunction = KXUAux;
            record->defaultSubUni = kDefaultSubUni;
            record->defaultSubByte = kDefaultSubByte;
            return KXUAux(record->codePage, quemba::detail::kAuxSetUp,
                          reinterpret_cast<const char *>(&record->engineData));
        case CONVERTER_CASE:
            if (record->subKind == CASE_LOWER || record->subKind == CASE_UPPER) {
                record->toUnicodeStep = record->subKind == CASE_LOWER ? KXUToLower : KXUToUpper;
                record->auxFunction = KXUCaseAux;
                return CVT_OK;
            }
            return record->subKind == kCaseFold ? CVT_E_NOT_AVAILABLE : CVT_E_BAD_PARAMETER;
        case CONVERTER_COLLATION:
        case CONVERTER_NORMALIZE:
            return CVT_E_NOT_AVAILABLE;
        default:
            return CVT_E_BAD_PARAMETER;
    }
}
