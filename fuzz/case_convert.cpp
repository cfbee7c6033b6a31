// Case conversion through handles and the standard shortcuts, the
// length-only companions, the kinds the engine does not provide, _unilower
// and the case-blind comparisons, against towlower/towupper per unit.
#include <quemba/converter.h>
#include <quemba/standard.h>

#include <cwctype>

#include "fuzz_common.h"

namespace {

uint16_t Lower(uint16_t u) { return static_cast<uint16_t>(std::towlower(u)); }
uint16_t Upper(uint16_t u) { return static_cast<uint16_t>(std::towupper(u)); }

int32_t CompareModel(const uint16_t *a, const uint16_t *b, uint32_t n, bool counted) {
    if (counted && n == 0) return 0;
    for (;; ++a, ++b) {
        const int32_t x = Lower(*a), y = Lower(*b);
        if (x != y) return x - y;
        if (*a == 0) return 0;
        if (counted && --n == 0) return 0;
    }
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);
    const bool upper = in.ConsumeBool();
    const bool standard = in.ConsumeBool();
    ConverterHandle h = nullptr;
    if (standard) {
        FUZZ_CHECK(KXUSStandardUnicodeInit() == CVT_OK);
        h = upper ? KXZStandardUpperCase() : KXZStandardLowerCase();
    } else {
        FUZZ_CHECK(KXUXLoadCaseConverter(upper ? CASE_UPPER : CASE_LOWER, &h) == CVT_OK);
    }
    const std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 700);
    const uint16_t *src = text.data();
    const uint32_t length = static_cast<uint32_t>(text.size() - 1);
    auto convert = [&](uint16_t *out, uint32_t n, uint32_t *c) {
        if (standard) return (upper ? KXUSUnicodeToUpperCase : KXUSUnicodeToLowerCase)(out, n, src, c);
        return KXUXUnicodeToCase(h, out, n, src, c);
    };

    // Length-only: one unit per unit, strings beyond the scratch size too.
    uint32_t needed = 0xDEADBEEF;
    FUZZ_CHECK(convert(nullptr, 0, &needed) == CVT_OK && needed == length);
    if (!standard) {
        uint32_t direct = 0xDEADBEEF;
        FUZZ_CHECK(KXZCaseLength(h, src, &direct) == CVT_OK && direct == length);
    }

    // Any room: the mapped prefix that fits, terminated.
    const uint32_t room = in.ConsumeIntegralInRange<uint32_t>(0, length + 3);
    qfuzz::Guarded<uint16_t> out(room);
    uint32_t count = 0xDEADBEEF;
    const int32_t r = convert(out.data(), room, &count);
    FUZZ_CHECK(out.intact());
    if (room > 0) {
        const uint32_t fits = std::min(length, room - 1);
        FUZZ_CHECK(count == fits && out[fits] == 0);
        FUZZ_CHECK(r == (fits == length ? CVT_OK : CVT_E_BUFFER_FULL));
        for (uint32_t i = 0; i < fits; ++i) FUZZ_CHECK(out[i] == (upper ? Upper(src[i]) : Lower(src[i])));
        for (uint32_t i = fits + 1; i < room; ++i) FUZZ_CHECK(out[i] == out.kFill);
    } else {
        FUZZ_CHECK(r != CVT_OK || length == 0);
    }

    // Case handles are refused by the other transforms and the byte drivers.
    qfuzz::Guarded<uint16_t> other(4);
    uint32_t c = 0xDEADBEEF;
    FUZZ_CHECK(KXUXUnicodeToCollation(h, other.data(), 4, src, &c) == CVT_E_WRONG_KIND && c == 0 && other[0] == 0);
    FUZZ_CHECK(KXUXUnicodeToNormalized(h, other.data(), 4, src, &c) == CVT_E_WRONG_KIND && c == 0);
    FUZZ_CHECK(KXUXLenByteToUnicode(h, other.data(), 4, "ab", -1, &c) == CVT_E_WRONG_KIND && c == 0);
    FUZZ_CHECK(other.intact());

    // Case-blind comparison and _unilower.
    std::vector<uint16_t> second = qfuzz::ConsumeUnits(in, 40);
    if (in.ConsumeBool()) {
        second.assign(text.begin(), text.begin() + std::min<size_t>(text.size() - 1, 40));
        for (uint16_t &u : second) u = in.ConsumeBool() ? Upper(u) : u;
        second.push_back(0);
        for (uint16_t &u : second) u = u == 0 && &u != &second.back() ? 'x' : u;
    }
    const uint32_t n = in.ConsumeIntegralInRange<uint32_t>(0, 50);
    FUZZ_CHECK(kxusuniicmp(src, second.data()) == CompareModel(src, second.data(), 0, false));
    FUZZ_CHECK(kxusuninicmp(src, second.data(), n) == CompareModel(src, second.data(), n, true));
    const uint16_t unit = in.ConsumeIntegral<uint16_t>();
    FUZZ_CHECK(_unilower(unit | (in.ConsumeIntegral<int32_t>() & ~0xFFFF)) == Lower(unit));

    if (standard) {
        KXUSStandardUnicodeRelease();
    } else {
        FUZZ_CHECK(KXUXUnloadConverter(h) == CVT_OK);
    }
    return 0;
}
