// Byte text in the locale's encoding to NUL-terminated UTF-16 through a
// byte/Unicode converter, with escape recognition and the no-map policy.
#include <quemba/converter.h>

#include <cstring>
#include <cwchar>

#include "converter/engine_steps.h"
#include "converter/engine_runs.h"
#include "drivers/escape_syntax.h"
#include "drivers/sink.h"

namespace quemba::detail {
namespace {

int32_t CheckSource(const char *source, int32_t length) {
    if (length < -1) return CVT_E_BAD_PARAMETER;
    if (source == nullptr && length != 0) return CVT_E_BAD_PARAMETER;
    return CVT_OK;
}

// Applies the converter's no-map action to `length` undecodable bytes.
template <class Sink>
int32_t ApplyNoMap(ConverterHandle h, Sink &sink, const char *start, uint32_t length) {
    switch (h->byteNoMapAction) {
    case NOMAP_SUBSTITUTE:
        return sink.put(h->subUni) ? CVT_OK : CVT_E_BUFFER_FULL;
    case NOMAP_FIXER: {
        uint32_t produced = 0;
        const int32_t result =
            h->byteNoMapFixer(h, sink.at(), sink.room(), &produced, start, length);
        sink.advance(produced);
        return result;
    }
    default:
        return CVT_E_NO_MAP;
    }
}

// The engine's step keeps its memo across the steps of one call; a callback
// other than the library's own might change the locale, so the codeset is
// read again after it.
inline int32_t Step(ConverterHandle h, ToUnicodeMemo &memo, const char *src, uint16_t *out, int32_t piece,
                    uint32_t room, uint32_t *consumed, uint32_t *produced, uint32_t *noMap) {
    if (h->toUnicodeStep == KXUToUnicode) {
        return EngineToUnicode(src, out, piece, room, consumed, produced, noMap, memo);
    }
    return h->toUnicodeStep(h->engineData, src, out, piece, room, consumed, produced, noMap);
}

// Bytes of the character that starts at `src` when it runs past the first
// `left` bytes, as a character cut by an escape's bracket does where that
// byte can end a character (Shift-JIS, Big5, GBK); 0 otherwise.
uint32_t CharacterAcross(const char *src, int32_t remaining, uint32_t left) {
    constexpr size_t kLookAhead = 16;
    const size_t available = remaining == -1                               ? strnlen(src, kLookAhead)
                             : static_cast<size_t>(remaining) < kLookAhead ? static_cast<size_t>(remaining)
                                                                           : kLookAhead;
    std::mbstate_t state{};
    const size_t n = std::mbrtowc(nullptr, src, available, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n <= left) return 0;
    return static_cast<uint32_t>(n);
}

// Before the scanner and the first step: the runs that step would start
// with, up to the first bracket, which may open an escape. Short strings
// are often nothing else, and are spared the scanner and the step. True
// if that ended NUL-terminated input.
template <class Sink>
bool TakeRunsFirst(ConverterHandle h, ToUnicodeMemo &memo, bool scanning, const char *&src, int32_t &remaining,
                   Sink &sink) {
    constexpr uint32_t kMost = 4096;
    if (h->toUnicodeStep != KXUToUnicode) return false;
    size_t n = remaining == -1 ? strnlen(src, kMost) : static_cast<uint32_t>(remaining) < kMost ? remaining : kMost;
    if (scanning) {
        if (const void *open = std::memchr(src, kOpen, n)) n = static_cast<size_t>(static_cast<const char *>(open) - src);
    }
    ToUnicodeRuns runs(memo);
    const RunResult r =
        runs.Take(reinterpret_cast<const unsigned char *>(src), static_cast<uint32_t>(n), sink.at(), sink.stepRoom());
    sink.advanceStep(r.produced);
    src += r.consumed;
    if (remaining != -1) remaining -= static_cast<int32_t>(r.consumed);
    return remaining == -1 && *src == 0;
}

// The one conversion loop. `remaining` is -1 for NUL-terminated input and
// stays -1; otherwise it counts down to 0.
template <class Sink>
int32_t ConvertBytes(ConverterHandle h, const char *src, int32_t remaining, Sink &sink) {
    // Once the scanner has found no escape, none can appear further on.
    bool scanning = h->byteScanAction == SCAN_ESCAPES;
    ToUnicodeMemo &memo = ToUnicodeMemo::ThisThread();
    const bool ownCallbacks = h->byteNoMapFixer == KXZNoMapByteFixer && h->byteScanner == KXZByteScanner &&
                              h->byteParser == KXZByteParser;
    if (ownCallbacks && TakeRunsFirst(h, memo, scanning, src, remaining, sink)) return CVT_OK;
    // A character that an escape's bracket turned out to end: converted as
    // one piece, and the scanner asked again after it.
    int32_t across = 0;
    for (;;) {
        if (!ownCallbacks) memo.Forget();
        if (remaining == 0) return CVT_OK;
        if (sink.full()) {
            // Only the terminator's unit is left. A NUL here ends NUL-terminated
            // input but is an early terminator in counted input.
            if (*src != 0) return CVT_E_BUFFER_FULL;
            return remaining == -1 ? CVT_OK : CVT_E_EARLY_TERMINATOR;
        }
        const char *escape = nullptr;
        if (across == 0 && scanning) {
            escape = h->byteScanner(h, src, remaining);
            if (escape != nullptr &&
                (escape < src || (remaining != -1 && escape - src >= remaining))) {
                escape = nullptr;  // outside the input: no usable escape
            }
            scanning = escape != nullptr;
        }
        const int32_t piece = across != 0         ? across
                              : escape != nullptr ? static_cast<int32_t>(escape - src)
                                                  : remaining;
        const bool wholeCharacter = across != 0;
        across = 0;

        uint32_t consumed = 0, produced = 0, noMap = 0;
        const int32_t status =
            Step(h, memo, src, sink.at(), piece, sink.stepRoom(), &consumed, &produced, &noMap);
        src += consumed;
        if (remaining != -1) remaining -= static_cast<int32_t>(consumed);
        sink.advanceStep(produced);

        switch (status) {
        case CVT_OK:
            // The step stopped at a NUL; only the terminator of the whole input is fine.
            return piece == -1 ? CVT_OK : CVT_E_EARLY_TERMINATOR;
        case CVT_E_BUFFER_FULL:
            // Measuring, only a step that took nothing (no character fits
            // even the whole scratch) cannot go on.
            if (!Sink::kMeasuring || consumed == 0) return CVT_E_BUFFER_FULL;
            continue;
        case CVT_E_SOURCE_EXHAUSTED: {
            // Bytes the step left before the end of its piece are the start of
            // a character that the piece cut off.
            const uint32_t left = piece > 0 ? static_cast<uint32_t>(piece) - consumed : 0;
            if (left != 0) {
                if (escape != nullptr) {
                    across = static_cast<int32_t>(CharacterAcross(src, remaining, left));
                    if (across != 0) continue;
                }
                // No later input completes it: its first byte is refused and
                // decoding goes on after it.
                src += 1;
                if (remaining != -1) remaining -= 1;
                const int32_t result = ApplyNoMap(h, sink, src - 1, 1);
                if (result != CVT_OK) return result;
                continue;
            }
            if (wholeCharacter) continue;
            if (escape == nullptr) return CVT_OK;
            uint32_t parsed = 0, made = 0;
            const int32_t result = h->byteParser(h, sink.at(), sink.room(), &made, src, &parsed);
            if (result != CVT_OK) return result;
            src += parsed;
            if (remaining != -1) remaining -= static_cast<int32_t>(parsed);
            sink.advance(made);
            continue;
        }
        case CVT_E_NO_MAP: {
            const int32_t result = ApplyNoMap(h, sink, src - noMap, noMap);
            if (result != CVT_OK) return result;
            continue;
        }
        default:
            return status;
        }
    }
}

int32_t MeasureBytes(ConverterHandle h, const char *source, int32_t length, uint32_t *count) {
    MeasureSink<uint16_t> sink;
    const int32_t result = ConvertBytes(h, source, length, sink);
    *count = sink.written();
    return result;
}

}  // namespace
}  // namespace quemba::detail

extern "C" QUEMBA_API int32_t KXZLSUnicodeLength(ConverterHandle handle, const char *source,
                                                 int32_t sourceLength, uint32_t *count) {
    if (count == nullptr) return CVT_E_BAD_PARAMETER;
    *count = 0;
    int32_t result = KXZCheckHandle(handle, CONVERTER_BYTE_UNI);
    if (result == CVT_OK) result = quemba::detail::CheckSource(source, sourceLength);
    if (result != CVT_OK) return result;
    return quemba::detail::MeasureBytes(handle, source, sourceLength, count);
}

extern "C" QUEMBA_API int32_t KXUXLenByteToUnicode(ConverterHandle handle, uint16_t *output,
                                                   uint32_t outputSize, const char *source,
                                                   int32_t sourceLength, uint32_t *count) {
    int32_t result = KXZCheckHandle(handle, CONVERTER_BYTE_UNI);
    if (result == CVT_OK) result = quemba::detail::CheckSource(source, sourceLength);
    if (output == nullptr) {
        if (result == CVT_OK && count == nullptr) result = CVT_E_BAD_PARAMETER;
        if (result != CVT_OK) {
            if (count != nullptr) *count = 0;
            return result;
        }
        return quemba::detail::MeasureBytes(handle, source, sourceLength, count);
    }
    // The terminator needs a unit; with none there is nothing to write.
    if (result == CVT_OK && outputSize == 0) result = CVT_E_BUFFER_FULL;
    if (result != CVT_OK) {
        if (count != nullptr) *count = 0;
        if (outputSize != 0) output[0] = 0;
        return result;
    }
    quemba::detail::BufferSink<uint16_t> sink(output, outputSize - 1);
    result = quemba::detail::ConvertBytes(handle, source, sourceLength, sink);
    if (count != nullptr) *count = sink.written();
    *sink.at() = 0;
    return result;
}

extern "C" QUEMBA_API int32_t KXUXByteToUnicode(ConverterHandle handle, uint16_t *output,
                                                uint32_t outputSize, const char *source,
                                                uint32_t *count) {
    return KXUXLenByteToUnicode(handle, output, outputSize, source, -1, count);
}

// Paths need no special treatment in this direction.
extern "C" QUEMBA_API int32_t KXUXByteToUnicodePath(ConverterHandle handle, uint16_t *output,
                                                    uint32_t outputSize, const char *source,
                                                    uint32_t *count) {
    return KXUXLenByteToUnicode(handle, output, outputSize, source, -1, count);
}

extern "C" QUEMBA_API int32_t KXUXLenByteToUnicodePath(ConverterHandle handle, uint16_t *output,
                                                       uint32_t outputSize, const char *source,
                                                       int32_t sourceLength, uint32_t *count) {
    return KXUXLenByteToUnicode(handle, output, outputSize, source, sourceLength, count);
}
