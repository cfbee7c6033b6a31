// Default fixers, scanners and parsers: the escape syntax for characters
// that cannot be converted, written on the way out and recognised on the
// way back.
#include <quemba/converter.h>

#include "converter/kernels.h"
#include "drivers/escape_syntax.h"

#include <string.h>

#include <cstring>

namespace {

constexpr char16_t kHexUnits[] = u"0123456789ABCDEF";
constexpr char kHexBytes[] = "0123456789ABCDEF";

}  // namespace

extern "C" QUEMBA_API int32_t KXZNoMapByteFixer(ConverterHandle, uint16_t *output, uint32_t space,
                                                uint32_t *produced, const char *bytes,
                                                uint32_t count) {
    // 64 bits: four units per byte must not wrap for huge counts.
    const uint64_t needed = uint64_t{quemba::detail::kByteEscapeLength} * count;
    if (space < needed) {
        quemba::detail::StoreCount(produced, 0);
        return CVT_E_BUFFER_FULL;
    }
    if (count != 0 && (output == nullptr || bytes == nullptr)) {
        quemba::detail::StoreCount(produced, 0);
        return CVT_E_BAD_PARAMETER;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        uint16_t *out = output + i * quemba::detail::kByteEscapeLength;
        out[0] = quemba::detail::kOpen;
        out[1] = kHexUnits[b >> 4];
        out[2] = kHexUnits[b & 0x0F];
        out[3] = quemba::detail::kClose;
    }
    quemba::detail::StoreCount(produced, static_cast<uint32_t>(needed));
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXZNoMapUniFixer(ConverterHandle, char *output, uint32_t space,
                                               uint32_t *produced, const uint16_t *units,
                                               uint32_t count) {
    const uint64_t needed = uint64_t{quemba::detail::kUnitEscapeLength} * count;
    if (space < needed) {
        quemba::detail::StoreCount(produced, 0);
        return CVT_E_BUFFER_FULL;
    }
    if (count != 0 && (output == nullptr || units == nullptr)) {
        quemba::detail::StoreCount(produced, 0);
        return CVT_E_BAD_PARAMETER;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t u = units[i];
        char *out = output + i * quemba::detail::kUnitEscapeLength;
        out[0] = static_cast<char>(quemba::detail::kOpen);
        out[1] = kHexBytes[(u & 0xF000) >> 12];
        out[2] = kHexBytes[(u & 0x0F00) >> 8];
        out[3] = kHexBytes[(u & 0x00F0) >> 4];
        out[4] = kHexBytes[u & 0x000F];
        out[5] = static_cast<char>(quemba::detail::kClose);
    }
    quemba::detail::StoreCount(produced, static_cast<uint32_t>(needed));
    return CVT_OK;
}

extern "C" QUEMBA_API const char *KXZByteScanner(ConverterHandle, const char *source,
                                                 int32_t length) {
    if (source == nullptr) return nullptr;
    const auto *p = reinterpret_cast<const unsigned char *>(source);
    // Positions 0 to `length` - 6 are examined, and none at or after a NUL;
    // -1 wraps to a length no string reaches.
    const uint32_t len = static_cast<uint32_t>(length);
    if (len < quemba::detail::kUnitEscapeLength) return nullptr;
    const uint32_t last = len - quemba::detail::kUnitEscapeLength;
    uint32_t k = 0;
    if (length >= 0) {
        // Counted: the bytes are there, so libc may search them for the NUL
        // and then for each bracket before it.
        size_t end = size_t{last} + 1;
        if (const void *nul = std::memchr(p, 0, end)) end = static_cast<size_t>(static_cast<const unsigned char *>(nul) - p);
        while (k < end) {
            const void *open = std::memchr(p + k, quemba::detail::kOpen, end - k);
            if (open == nullptr) return nullptr;
            k = static_cast<uint32_t>(static_cast<const unsigned char *>(open) - p);
            if (quemba::detail::IsUnitEscape(p + k)) return source + k;
            ++k;
        }
        return nullptr;
    }
    // NUL-terminated: strchrnul reads nothing past the NUL.
    for (;;) {
        const char *open = strchrnul(source + k, static_cast<char>(quemba::detail::kOpen));
        if (*open == 0) return nullptr;
        k = static_cast<uint32_t>(open - source);
        if (k > last) return nullptr;
        if (quemba::detail::IsUnitEscape(p + k)) return source + k;
        ++k;
    }
}

extern "C" QUEMBA_API const uint16_t *KXZUniScanner(ConverterHandle, const uint16_t *source,
                                                    int32_t length) {
    if (source == nullptr) return nullptr;
    // Positions 0 to `length` - 4 are examined, and none at or after a NUL;
    // -1 wraps to a length no string reaches.
    const auto len = static_cast<uint32_t>(length);
    if (len < quemba::detail::kByteEscapeLength) return nullptr;
    const uint32_t positions = len - quemba::detail::kByteEscapeLength + 1;
    // The block scans read to the end of an aligned block, past a NUL but
    // also past a count: a counted source is scanned unit by unit.
    const quemba::detail::KernelTable &kernels = length < 0 ? quemba::detail::Kernels() : quemba::detail::kScalarKernels;
    for (uint32_t k = 0;;) {
        k += kernels.unitOrNul(source + k, positions - k, quemba::detail::kOpen);
        if (k == positions || source[k] == 0) return nullptr;
        if (quemba::detail::IsByteEscape(source + k)) return source + k;
        ++k;
    }
}

// The parsers trust the scanner, which may be the program's own: brackets
// are not tested again and digits count as quemba::detail::DigitValue gives them.
extern "C" QUEMBA_API int32_t KXZByteParser(ConverterHandle, uint16_t *output, uint32_t space,
                                            uint32_t *produced, const char *source,
                                            uint32_t *consumed) {
    if (space == 0) return CVT_E_BUFFER_FULL;
    if (output == nullptr || source == nullptr) return CVT_E_BAD_PARAMETER;
    const auto *p = reinterpret_cast<const unsigned char *>(source);
    if (quemba::detail::HasNul(p, quemba::detail::kUnitEscapeLength)) return CVT_E_NO_MAP;
    *output = quemba::detail::UnitEscapeValue(p);
    quemba::detail::StoreCount(produced, 1);
    quemba::detail::StoreCount(consumed, quemba::detail::kUnitEscapeLength);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXZUniParser(ConverterHandle, char *output, uint32_t space,
                                           uint32_t *produced, const uint16_t *source,
                                           uint32_t *consumed) {
    if (space == 0) return CVT_E_BUFFER_FULL;
    if (output == nullptr || source == nullptr) return CVT_E_BAD_PARAMETER;
    if (quemba::detail::HasNul(source, quemba::detail::kByteEscapeLength)) return CVT_E_NO_MAP;
    *output = static_cast<char>(quemba::detail::ByteEscapeValue(source));
    quemba::detail::StoreCount(produced, 1);
    quemba::detail::StoreCount(consumed, quemba::detail::kByteEscapeLength);
    return CVT_OK;
}
