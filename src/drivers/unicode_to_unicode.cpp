// UTF-16 to UTF-16 through case, collation and normalization converters:
// one driver and one length-only companion for all three kinds.
#include <quemba/converter.h>

#include "drivers/sink.h"

namespace quemba::detail {
namespace {

// The conversion makes a single step call; the measurement goes on while the
// scratch buffer fills.
template <class Sink>
int32_t Transform(ConverterHandle h, const uint16_t *src, Sink &sink) {
    for (;;) {
        uint32_t consumed = 0, produced = 0, noMap = 0;
        const int32_t status =
            h->toUnicodeStep(0, src, sink.at(), -1, sink.room(), &consumed, &produced, &noMap);
        src += consumed;
        sink.advance(produced);
        if (!Sink::kMeasuring || status != CVT_E_BUFFER_FULL) return status;
    }
}

// A record whose engine set-up failed in place keeps its kind and signature
// but has no step to call.
int32_t CheckTransform(ConverterHandle h, uint32_t kind, const uint16_t *source) {
    const int32_t result = KXZCheckHandle(h, kind);
    if (result != CVT_OK) return result;
    if (source == nullptr) return CVT_E_BAD_PARAMETER;
    if (h->toUnicodeStep == nullptr) return CVT_E_NOT_AVAILABLE;
    return CVT_OK;
}

int32_t MeasureTransform(ConverterHandle h, const uint16_t *source, uint32_t *count) {
    MeasureSink<uint16_t> sink;
    const int32_t result = Transform(h, source, sink);
    *count = sink.written();
    return result;
}

int32_t TransformLength(uint32_t kind, ConverterHandle h, const uint16_t *source,
                        uint32_t *count) {
    if (count == nullptr) return CVT_E_BAD_PARAMETER;
    *count = 0;
    const int32_t result = CheckTransform(h, kind, source);
    if (result != CVT_OK) return result;
    return MeasureTransform(h, source, count);
}

int32_t TransformDriver(uint32_t kind, ConverterHandle h, uint16_t *output, uint32_t outputSize,
                        const uint16_t *source, uint32_t *count) {
    int32_t result = CheckTransform(h, kind, source);
    if (output == nullptr) {
        if (result == CVT_OK && count == nullptr) result = CVT_E_BAD_PARAMETER;
        if (result != CVT_OK) {
            if (count != nullptr) *count = 0;
            return result;
        }
        return MeasureTransform(h, source, count);
    }
    if (result == CVT_OK && outputSize == 0) result = CVT_E_BUFFER_FULL;
    if (result != CVT_OK) {
        if (count != nullptr) *count = 0;
        if (outputSize != 0) output[0] = 0;
        return result;
    }
    BufferSink<uint16_t> sink(output, outputSize - 1);
    result = Transform(h, source, sink);
    if (count != nullptr) *count = sink.written();
    *sink.at() = 0;
    return result;
}

}  // namespace
}  // namespace quemba::detail

extern "C" QUEMBA_API int32_t KXUXUnicodeToCase(ConverterHandle handle, uint16_t *output,
                                                uint32_t outputSize, const uint16_t *source,
                                                uint32_t *count) {
    return quemba::detail::TransformDriver(
        CONVERTER_CASE, handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUXUnicodeToCollation(ConverterHandle handle, uint16_t *output,
                                                     uint32_t outputSize,
                                                     const uint16_t *source, uint32_t *count) {
    return quemba::detail::TransformDriver(
        CONVERTER_COLLATION, handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUXUnicodeToNormalized(ConverterHandle handle, uint16_t *output,
                                                      uint32_t outputSize,
                                                      const uint16_t *source, uint32_t *count) {
    return quemba::detail::TransformDriver(
        CONVERTER_NORMALIZE, handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXZCaseLength(ConverterHandle handle, const uint16_t *source,
                                            uint32_t *count) {
    return quemba::detail::TransformLength(CONVERTER_CASE, handle, source, count);
}

extern "C" QUEMBA_API int32_t KXZCollationLength(ConverterHandle handle, const uint16_t *source,
                                                 uint32_t *count) {
    return quemba::detail::TransformLength(CONVERTER_COLLATION, handle, source, count);
}

extern "C" QUEMBA_API int32_t KXZNormalizedLength(ConverterHandle handle, const uint16_t *source,
                                                  uint32_t *count) {
    return quemba::detail::TransformLength(CONVERTER_NORMALIZE, handle, source, count);
}
