// The escape functions called directly: scanners over counted and
// NUL-terminated text, parsers and fixers with fuzzer-chosen room, and the
// OEM Euro switch, each against the escape rules written out here.
#include <quemba/converter.h>

#include "fuzz_common.h"

namespace {

template <typename T>
bool Hex(T c) {
    return (c >= 0x30 && c <= 0x39) || (c >= 0x41 && c <= 0x46);
}
template <typename T>
uint32_t Digit(T c) {
    return c <= 0x39 ? c - 0x30 : c - 0x37;
}

// First escape of `width` units ([, width-2 digits, ]) at or after src within
// length (-1: to the NUL); with `euro`, also the Euro byte or unit.
template <typename T>
const T *ScanModel(const T *src, int32_t length, size_t width, bool euro, T euroUnit) {
    for (uint32_t k = 0;; ++k) {
        if (length >= 0 && k >= static_cast<uint32_t>(length)) return nullptr;
        if (src[k] == 0) return nullptr;
        if (euro && src[k] == euroUnit) return src + k;
        if (width == 0) continue;  // the Unicode Euro scanner reads no escapes
        if (length >= 0 && static_cast<uint32_t>(length) - k < width) continue;
        bool match = src[k] == '[';
        for (size_t i = 1; match && i + 1 < width; ++i) match = Hex(src[k + i]);
        if (match && src[k + width - 1] == ']') return src + k;
    }
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    ConverterHandle h = nullptr;
    const uint32_t codePage = in.ConsumeBool() ? 0u : (in.ConsumeBool() ? 850u : in.ConsumeIntegral<uint16_t>());
    FUZZ_CHECK(KXZLoadByteUnicodeConverter(codePage, 1, &h) == CVT_OK);
    const uint32_t space = in.ConsumeIntegralInRange<uint32_t>(0, 40);

    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: {  // byte scanners; a counted text lies in a block of its size
        const bool euro = in.ConsumeBool();
        std::string text = qfuzz::ConsumeBytes(in, 200);
        for (char &c : text) {
            if (in.ConsumeBool()) c = "[]0AF9x\xCC"[static_cast<unsigned char>(c) % 8];
        }
        int32_t length = -1;
        if (in.ConsumeBool()) length = in.ConsumeIntegralInRange<int32_t>(1, static_cast<int32_t>(text.size()) + 1);
        std::vector<char> block(text.c_str(), text.c_str() + (length > 0 ? length : 0));
        const char *src = length > 0 ? block.data() : text.c_str();
        const char *got = (euro ? KXZByteScannerForOemEuro : KXZByteScanner)(h, src, length);
        FUZZ_CHECK(got == ScanModel<char>(src, length, 6, euro, static_cast<char>(0xCC)));
        if (got != nullptr) {
            // The parser turns what was found into one unit.
            qfuzz::Guarded<uint16_t> out(space);
            uint32_t produced = 0xDEADBEEF, consumed = 0xDEADBEEF;
            const int32_t r = (euro ? KXZByteParserForOemEuro : KXZByteParser)(h, out.data(), space,
                                                                              &produced, got, &consumed);
            FUZZ_CHECK(out.intact());
            if (space == 0) {
                FUZZ_CHECK(r == CVT_E_BUFFER_FULL && produced == 0xDEADBEEF && consumed == 0xDEADBEEF);
            } else if (*got == '[') {
                const uint32_t v = Digit<uint8_t>(got[1]) << 12 | Digit<uint8_t>(got[2]) << 8 |
                                   Digit<uint8_t>(got[3]) << 4 | Digit<uint8_t>(got[4]);
                FUZZ_CHECK(r == CVT_OK && produced == 1 && consumed == 6 && out[0] == v);
            } else {
                FUZZ_CHECK(r == CVT_OK && produced == 1 && consumed == 1 && out[0] == 0x20AC);
            }
        }
        break;
    }
    case 1: {  // Unicode scanners and parsers
        const bool euro = in.ConsumeBool();
        std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 200);
        int32_t length = -1;
        if (in.ConsumeBool()) length = in.ConsumeIntegralInRange<int32_t>(1, static_cast<int32_t>(text.size()));
        std::vector<uint16_t> block(text.begin(), text.begin() + (length > 0 ? length : 0));
        const uint16_t *src = length > 0 ? block.data() : text.data();
        const uint16_t *got = (euro ? KXZUniScannerForOemEuro : KXZUniScanner)(h, src, length);
        FUZZ_CHECK(got == ScanModel<uint16_t>(src, length, euro ? 0 : 4, euro, 0x20AC));
        if (got != nullptr) {
            qfuzz::Guarded<char> out(space);
            uint32_t produced = 0xDEADBEEF, consumed = 0xDEADBEEF;
            const int32_t r = (euro ? KXZUniParserForOemEuro : KXZUniParser)(h, out.data(), space,
                                                                            &produced, got, &consumed);
            FUZZ_CHECK(out.intact());
            if (space == 0) {
                FUZZ_CHECK(r == CVT_E_BUFFER_FULL && produced == 0xDEADBEEF && consumed == 0xDEADBEEF);
            } else if (euro) {
                FUZZ_CHECK(r == CVT_OK && produced == 1 && consumed == 1 && out[0] == static_cast<char>(0xCC));
            } else {
                const uint32_t v = Digit(got[1]) << 4 | Digit(got[2]);
                FUZZ_CHECK(r == CVT_OK && produced == 1 && consumed == 4 && static_cast<uint8_t>(out[0]) == v);
            }
        }
        break;
    }
    case 2: {  // byte fixer: four units per byte, whole or nothing
        const std::string bytes = in.ConsumeRandomLengthString(12);
        qfuzz::Guarded<uint16_t> out(space);
        uint32_t produced = 0xDEADBEEF;
        const int32_t r = KXZNoMapByteFixer(h, out.data(), space, &produced, bytes.data(),
                                            static_cast<uint32_t>(bytes.size()));
        FUZZ_CHECK(out.intact());
        if (space < 4 * bytes.size()) {
            FUZZ_CHECK(r == CVT_E_BUFFER_FULL && produced == 0);
            for (size_t i = 0; i < space; ++i) FUZZ_CHECK(out[i] == out.kFill);
        } else {
            FUZZ_CHECK(r == CVT_OK && produced == 4 * bytes.size());
            for (size_t i = 0; i < bytes.size(); ++i) {
                char want[8];
                std::snprintf(want, sizeof want, "[%02X]", static_cast<unsigned char>(bytes[i]));
                for (size_t j = 0; j < 4; ++j) FUZZ_CHECK(out[4 * i + j] == static_cast<uint8_t>(want[j]));
            }
        }
        break;
    }
    case 3: {  // Unicode fixer: six bytes per unit, whole or nothing
        std::vector<uint16_t> units = qfuzz::ConsumeUnits(in, 8);
        units.pop_back();
        qfuzz::Guarded<char> out(space);
        uint32_t produced = 0xDEADBEEF;
        const int32_t r = KXZNoMapUniFixer(h, out.data(), space, &produced, units.data(),
                                           static_cast<uint32_t>(units.size()));
        FUZZ_CHECK(out.intact());
        if (space < 6 * units.size()) {
            FUZZ_CHECK(r == CVT_E_BUFFER_FULL && produced == 0);
            for (size_t i = 0; i < space; ++i) FUZZ_CHECK(out[i] == out.kFill);
        } else {
            FUZZ_CHECK(r == CVT_OK && produced == 6 * units.size());
            std::string want;
            for (uint16_t u : units) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "[%04X]", u);
                want += esc;
            }
            const std::vector<char> got = out.prefix(produced);
            FUZZ_CHECK(std::string(got.begin(), got.end()) == want);
        }
        break;
    }
    default: {  // OEM Euro switch, reset, function setters
        static const uint32_t kOem[] = {437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869};
        bool oem = false;
        for (uint32_t cp : kOem) oem = oem || cp == codePage;
        FUZZ_CHECK(KXUXEnableOemEuro(h) == CVT_OK);
        int32_t byteScan = 0, uniScan = 0;
        KXUXGetScanAction(h, &byteScan, &uniScan);
        FUZZ_CHECK(byteScan == SCAN_ESCAPES && uniScan == SCAN_ESCAPES);
        ByteScanner bs = nullptr;
        ByteParser bp = nullptr;
        UniScanner us = nullptr;
        UniParser up = nullptr;
        KXUXGetByteFunctions(h, nullptr, &bs, &bp);
        KXUXGetUniFunctions(h, nullptr, &us, &up);
        FUZZ_CHECK(bs == (oem ? KXZByteScannerForOemEuro : KXZByteScanner));
        FUZZ_CHECK(bp == (oem ? KXZByteParserForOemEuro : KXZByteParser));
        FUZZ_CHECK(us == (oem ? KXZUniScannerForOemEuro : KXZUniScanner));
        FUZZ_CHECK(up == (oem ? KXZUniParserForOemEuro : KXZUniParser));
        // Null restores a default, the all-ones pointer keeps the slot.
        KXUXSetByteFunctions(h, nullptr, reinterpret_cast<ByteScanner>(KEEP_FUNCTION), nullptr);
        ByteNoMapFixer bf = nullptr;
        KXUXGetByteFunctions(h, &bf, &bs, &bp);
        FUZZ_CHECK(bf == KXZNoMapByteFixer && bp == KXZByteParser);
        FUZZ_CHECK(bs == (oem ? KXZByteScannerForOemEuro : KXZByteScanner));
        FUZZ_CHECK(KXUXResetConverter(h) == CVT_OK);
        KXUXGetScanAction(h, &byteScan, &uniScan);
        KXUXGetUniFunctions(h, nullptr, &us, &up);
        FUZZ_CHECK(byteScan == SCAN_ESCAPES && uniScan == SCAN_NONE && us == KXZUniScanner && up == KXZUniParser);
        ConverterHandle lower = nullptr;
        FUZZ_CHECK(KXUXLoadCaseConverter(CASE_LOWER, &lower) == CVT_OK);
        FUZZ_CHECK(KXUXEnableOemEuro(lower) == CVT_E_WRONG_KIND);
        FUZZ_CHECK(KXUXUnloadConverter(lower) == CVT_OK);
        break;
    }
    }
    FUZZ_CHECK(KXUXUnloadConverter(h) == CVT_OK);
    return 0;
}
