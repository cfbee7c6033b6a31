// UTF-16 to byte text through a byte/Unicode converter: the one loop behind
// the plain and the path conversions, their unterminated and terminated
// entry points and their length-only modes.
#pragma once

#include <quemba/converter.h>
#include <quemba/unistr.h>

#include "converter/engine_runs.h"
#include "converter/engine_steps.h"
#include "converter/kernels.h"
#include "drivers/escape_syntax.h"
#include "drivers/sink.h"

namespace quemba::detail {

// Plain text: pieces end at escapes only, and a scanner that has found no
// escape is not asked again.
struct TextPieces {
    static constexpr bool kSeparators = false;
};

// Paths: pieces also end at separators, and the scanner is asked on every
// pass from wherever the conversion stands.
struct PathPieces {
    static constexpr bool kSeparators = true;
};

// The first separator at or after s, or null at the NUL: unipbrk over the
// units written as the single byte 0x5C (kPathSeparators).
inline const uint16_t *FindPathSeparator(const uint16_t *s) { return Kernels().findPathSeparator(s); }

template <class Sink>
int32_t ApplyUniNoMap(ConverterHandle h, Sink &sink, const uint16_t *start, uint32_t length) {
    switch (h->uniNoMapAction) {
    case NOMAP_SUBSTITUTE:
        return sink.put(static_cast<char>(h->subByte)) ? CVT_OK : CVT_E_BUFFER_FULL;
    case NOMAP_FIXER: {
        uint32_t produced = 0;
        const int32_t result =
            h->uniNoMapFixer(h, sink.at(), sink.room(), &produced, start, length);
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
inline int32_t ByteStep(ConverterHandle h, ToByteMemo &memo, const uint16_t *src, char *out, int32_t piece,
                        uint32_t room, uint32_t *consumed, uint32_t *produced, uint32_t *noMap) {
    if (h->toByteStep == KXUToByte) return EngineToByte(src, out, piece, room, consumed, produced, noMap, memo);
    return h->toByteStep(h->engineData, src, out, piece, room, consumed, produced, noMap);
}

// Before the scanner and the first step: the runs that step would start
// with, up to the first bracket (which may open an escape) or separator.
// Short strings are often nothing else, and are spared the scanner and
// the step. True if that ended the input.
// The first separator found is handed on to the loop.
template <class Pieces, class Sink>
bool TakeRunsFirst(ConverterHandle h, ToByteMemo &memo, bool scanning, const uint16_t *&src, Sink &sink,
                   const uint16_t *&separator, bool &separatorKnown) {
    constexpr uint32_t kMost = 4096;
    if (h->toByteStep != KXUToByte) return false;
    uint32_t n = scanning ? Kernels().unitOrNul(src, kMost, kOpen) : Kernels().unitLength(src, kMost);
    if constexpr (Pieces::kSeparators) {
        separator = FindPathSeparator(src);
        separatorKnown = true;
        if (separator != nullptr && static_cast<uint32_t>(separator - src) < n) n = static_cast<uint32_t>(separator - src);
    }
    ToByteRuns runs(memo);
    const RunResult r = runs.Take(src, n, sink.at(), sink.stepRoom());
    sink.advanceStep(r.produced);
    src += r.consumed;
    return *src == 0;
}

template <class Pieces, class Sink>
int32_t ConvertUnits(ConverterHandle h, const uint16_t *src, Sink &sink) {
    bool scanning = h->uniScanAction == SCAN_ESCAPES;
    ToByteMemo &memo = ToByteMemo::ThisThread();
    const bool ownCallbacks = h->uniNoMapFixer == KXZNoMapUniFixer && h->uniScanner == KXZUniScanner &&
                              h->uniParser == KXZUniParser;
    // The source does not change during the call, so the first separator
    // ahead stays the first one until the conversion passes it.
    bool separatorKnown = false;
    const uint16_t *nextSeparator = nullptr;
    if (ownCallbacks && TakeRunsFirst<Pieces>(h, memo, scanning, src, sink, nextSeparator, separatorKnown))
        return CVT_OK;
    for (;;) {
        if (!ownCallbacks) memo.Forget();
        if (sink.full()) return *src == 0 ? CVT_OK : CVT_E_BUFFER_FULL;

        const uint16_t *escape = nullptr;
        if (scanning) {
            escape = h->uniScanner(h, src, -1);
            if (escape != nullptr && escape < src) escape = nullptr;
            if (escape == nullptr && !Pieces::kSeparators) scanning = false;
        }
        const uint16_t *separator = nullptr;
        if constexpr (Pieces::kSeparators) {
            if (!separatorKnown || (nextSeparator != nullptr && nextSeparator < src)) {
                nextSeparator = FindPathSeparator(src);
                separatorKnown = true;
            }
            separator = nextSeparator;
        }
        const bool atSeparator = separator != nullptr && (escape == nullptr || separator < escape);
        const uint16_t *end = atSeparator ? separator : escape;
        const int32_t piece = end != nullptr ? static_cast<int32_t>(end - src) : -1;

        uint32_t consumed = 0, produced = 0, noMap = 0;
        const int32_t status =
            ByteStep(h, memo, src, sink.at(), piece, sink.stepRoom(), &consumed, &produced, &noMap);
        src += consumed;
        sink.advanceStep(produced);

        switch (status) {
        case CVT_OK:
            return CVT_OK;
        case CVT_E_BUFFER_FULL:
            // Measuring, only a step that took nothing (no character fits
            // even the whole scratch) cannot go on.
            if (!Sink::kMeasuring || consumed == 0) return CVT_E_BUFFER_FULL;
            continue;
        case CVT_E_SOURCE_EXHAUSTED: {
            if (end == nullptr) return CVT_OK;
            if (atSeparator) {
                if (!sink.put('\\')) return CVT_E_BUFFER_FULL;
                src = separator + 1;
                continue;
            }
            uint32_t parsed = 0, made = 0;
            const int32_t result = h->uniParser(h, sink.at(), sink.room(), &made, src, &parsed);
            if (result != CVT_OK) return result;
            src += parsed;
            sink.advance(made);
            continue;
        }
        case CVT_E_NO_MAP: {
            const int32_t result = ApplyUniNoMap(h, sink, src - noMap, noMap);
            if (result != CVT_OK) return result;
            continue;
        }
        default:
            return status;
        }
    }
}

// Length-only mode; the handle has been checked.
template <class Pieces>
int32_t MeasureUnits(ConverterHandle h, const uint16_t *source, uint32_t *count) {
    MeasureSink<char> sink;
    const int32_t result = ConvertUnits<Pieces>(h, source, sink);
    *count = sink.written();
    return result;
}

template <class Pieces>
int32_t UnitsLength(ConverterHandle h, const uint16_t *source, uint32_t *count) {
    if (count == nullptr) return CVT_E_BAD_PARAMETER;
    *count = 0;
    int32_t result = KXZCheckHandle(h, CONVERTER_BYTE_UNI);
    if (result == CVT_OK && source == nullptr) result = CVT_E_BAD_PARAMETER;
    if (result != CVT_OK) return result;
    return MeasureUnits<Pieces>(h, source, count);
}

// Fills up to `outputSize` bytes and writes no terminator.
template <class Pieces>
int32_t UnitsToUntermBytes(ConverterHandle h, char *output, uint32_t outputSize,
                           const uint16_t *source, uint32_t *count) {
    int32_t result = KXZCheckHandle(h, CONVERTER_BYTE_UNI);
    if (result == CVT_OK && source == nullptr) result = CVT_E_BAD_PARAMETER;
    if (result == CVT_OK && output == nullptr && count == nullptr) result = CVT_E_BAD_PARAMETER;
    if (result != CVT_OK) {
        if (count != nullptr) *count = 0;
        return result;
    }
    if (output == nullptr) return MeasureUnits<Pieces>(h, source, count);
    BufferSink<char> sink(output, outputSize);
    result = ConvertUnits<Pieces>(h, source, sink);
    if (count != nullptr) *count = sink.written();
    return result;
}

// Keeps the last byte of the buffer for the terminator, which it writes on
// every path that has room for it.
template <class Pieces>
int32_t UnitsToBytes(ConverterHandle h, char *output, uint32_t outputSize,
                     const uint16_t *source, uint32_t *count) {
    if (output != nullptr && outputSize == 0) {
        const int32_t checked = KXZCheckHandle(h, CONVERTER_BYTE_UNI);
        if (count != nullptr) *count = 0;
        return checked != CVT_OK ? checked : CVT_E_BUFFER_FULL;
    }
    uint32_t written = 0;
    const int32_t result = UnitsToUntermBytes<Pieces>(
        h, output, output != nullptr ? outputSize - 1 : 0, source, &written);
    if (output != nullptr) output[written] = 0;
    if (count != nullptr) *count = written;
    return result;
}

}  // namespace quemba::detail
