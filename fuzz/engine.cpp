// The engine steps, the auxiliary functions, engine set-up, the handle check
// and the small helpers, called directly with fuzzer-chosen counts and room,
// each against one libc call per character.
#include <quemba/converter.h>

#include <climits>
#include <cwchar>
#include <cwctype>

#include "engine_reference.h"
#include "fuzz_common.h"

namespace {

void CheckSame(const qref::Result &m, int32_t status, uint32_t consumed, uint32_t produced, uint32_t noMap) {
    FUZZ_CHECK(status == m.status && consumed == m.consumed && produced == m.produced);
    FUZZ_CHECK(status == CVT_E_NO_MAP ? noMap == m.noMap : noMap == qref::kUnset);
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);
    const uint32_t space = in.ConsumeIntegralInRange<uint32_t>(0, 64);

    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {  // bytes -> UTF-16; a counted source sits in a block of its size
        std::string text = qfuzz::ConsumeBytes(in, 300, true);
        int32_t count = -1;
        if (in.ConsumeBool()) count = in.ConsumeIntegralInRange<int32_t>(0, static_cast<int32_t>(text.size()));
        else if (in.ConsumeBool()) count = in.ConsumeIntegralInRange<int32_t>(INT32_MIN, -1);
        std::vector<char> block(text.begin(), text.begin() + (count > 0 ? count : 0));
        const char *src = count > 0 ? block.data() : text.c_str();
        qfuzz::Guarded<uint16_t> out(space);
        uint32_t consumed = 0xDEADBEEF, produced = 0xDEADBEEF, noMap = 0xDEADBEEF;
        const int32_t r = KXUToUnicode(0, src, out.data(), count, space, &consumed, &produced, &noMap);
        FUZZ_CHECK(out.intact());
        const qref::Result m = qref::ToUnicode(src, count, space);
        CheckSame(m, r, consumed, produced, noMap);
        FUZZ_CHECK(std::equal(m.out.data(), m.out.data() + m.out.size, out.data()));
        for (size_t i = produced; i < space; ++i) FUZZ_CHECK(out[i] == out.kFill);
        break;
    }
    case 1: {  // UTF-16 -> bytes, upper, lower
        const int kind = in.ConsumeIntegralInRange(0, 2);
        std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 200);
        if (in.ConsumeBool() && text.size() > 1) text[in.ConsumeIntegralInRange<size_t>(0, text.size() - 2)] = 0;
        int32_t count = -1;
        if (in.ConsumeBool()) count = in.ConsumeIntegralInRange<int32_t>(0, static_cast<int32_t>(text.size()) - 1);
        else if (in.ConsumeBool()) count = in.ConsumeIntegralInRange<int32_t>(INT32_MIN, -1);
        std::vector<uint16_t> block(text.begin(), text.begin() + (count > 0 ? count : 0));
        const uint16_t *src = count > 0 ? block.data() : text.data();
        uint32_t consumed = 0xDEADBEEF, produced = 0xDEADBEEF, noMap = 0xDEADBEEF;
        const qref::Result m = qref::FromUnits(static_cast<qref::Map>(kind), src, count, space);
        if (kind == 0) {
            qfuzz::Guarded<char> out(space);
            const int32_t r = KXUToByte(0, src, out.data(), count, space, &consumed, &produced, &noMap);
            FUZZ_CHECK(out.intact());
            CheckSame(m, r, consumed, produced, noMap);
            FUZZ_CHECK(std::string(out.data(), produced) == m.out.bytes());
            for (size_t i = produced; i < space; ++i) FUZZ_CHECK(out[i] == out.kFill);
        } else {
            qfuzz::Guarded<uint16_t> out(space);
            const int32_t r = (kind == 1 ? KXUToUpper : KXUToLower)(0, src, out.data(), count, space,
                                                                  &consumed, &produced, &noMap);
            FUZZ_CHECK(out.intact());
            CheckSame(m, r, consumed, produced, noMap);
            FUZZ_CHECK(std::equal(m.out.data(), m.out.data() + m.out.size, out.data()));
            for (size_t i = produced; i < space; ++i) FUZZ_CHECK(out[i] == out.kFill);
        }
        break;
    }
    case 2: {  // auxiliary functions, character size, set-up, handle check
        std::string text = qfuzz::ConsumeBytes(in, 40);
        const uint32_t op = in.ConsumeIntegralInRange<uint32_t>(0, 5);
        const int32_t aux = KXUAux(in.ConsumeIntegral<uint32_t>(), op, text.c_str());
        if (op == 1) {
            std::mbstate_t st{};
            FUZZ_CHECK(aux == static_cast<int32_t>(std::mbrtowc(nullptr, text.c_str(), 16, &st)));
        } else {
            FUZZ_CHECK(aux == (op == 2 || op == 3 ? 0 : CVT_E_UNSUPPORTED_OP));
        }
        FUZZ_CHECK(KXUCaseAux(op, op, text.c_str()) == CVT_E_UNSUPPORTED_OP);

        ConverterHandle h = nullptr;
        FUZZ_CHECK(KXUXLoadByteUnicodeConverter(0, &h) == CVT_OK);
        uint32_t charSize = 0xDEADBEEF;
        const int32_t cs = KXUXGetCharSize(h, text.c_str(), &charSize);
        std::mbstate_t st{};
        const int32_t libc = static_cast<int32_t>(std::mbrtowc(nullptr, text.c_str(), 16, &st));
        FUZZ_CHECK(libc < 0 ? cs == libc && charSize == 0 : cs == CVT_OK && charSize == static_cast<uint32_t>(libc));

        const uint32_t kind = in.ConsumeIntegralInRange<uint32_t>(0, 9);
        const int32_t check = KXZCheckHandle(h, kind);
        FUZZ_CHECK(check == (kind > 4 ? CVT_E_BAD_PARAMETER : kind == 0 || kind == 1 ? CVT_OK : CVT_E_WRONG_KIND));
        FUZZ_CHECK(KXZCheckHandle(nullptr, kind) == CVT_E_NULL_HANDLE);

        // Set-up on a record of any kind and sub-kind, in caller storage.
        Converter record;
        std::memset(&record, 0xEE, sizeof record);
        const uint32_t recKind = in.ConsumeIntegralInRange<uint32_t>(0, 6);
        const uint32_t subKind = in.ConsumeIntegralInRange<uint32_t>(0, 4);
        ConverterHandle storage = &record;
        const int32_t load = KXZLoadConverter(0, recKind, subKind, 0, &storage);
        const bool ok = recKind == 1 || (recKind == 3 && subKind < 2);
        FUZZ_CHECK(load == (ok ? CVT_OK : CVT_E_LOAD_FAILED) && record.engineTag == 7);
        // A record whose set-up failed does not pass the handle check.
        FUZZ_CHECK(record.signature == (ok ? CONVERTER_SIGNATURE : 0u) && record.refCount == 1 &&
                   record.kind == recKind);
        if (ok) {
            FUZZ_CHECK(KXUXUnloadConverter(&record) == CVT_OK && record.signature == 0);
            FUZZ_CHECK(KXUXUnloadConverter(&record) == CVT_E_BAD_HANDLE);
        }
        FUZZ_CHECK(KXUXUnloadConverter(h) == CVT_OK);
        break;
    }
    default: {  // decimal text and the converter path
        const uint32_t value = in.ConsumeIntegral<uint32_t>() % (in.ConsumeBool() ? 10000u : 0xFFFFFFFFu);
        qfuzz::Guarded<char> text(5);
        KXZIToA(value, text.data());
        FUZZ_CHECK(text.intact());
        if (value < 10000) {
            char want[8];
            std::snprintf(want, sizeof want, "%u", value);
            FUZZ_CHECK(std::strcmp(text.data(), want) == 0);
        } else {
            FUZZ_CHECK(std::memchr(text.data(), 0, 5) != nullptr);
        }
        qfuzz::Guarded<char> path(1);
        const uint32_t cp = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint32_t>();
        FUZZ_CHECK(KXZGetConverterPath(cp, path.data()) == (cp == 0 ? CVT_OK : CVT_E_NOT_AVAILABLE));
        FUZZ_CHECK(path.intact() && path[0] == 0);
        break;
    }
    }
    return 0;
}
