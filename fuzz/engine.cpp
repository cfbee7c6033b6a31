// The engine steps, the auxiliary functions, engine set-up, the handle check
// and the small helpers, called directly with fuzzer-chosen counts and room,
// each against one libc call per character.
#include <quemba/converter.h>

#include <climits>
#include <cwchar>
#include <cwctype>

#include "fuzz_common.h"

namespace {

struct Step {
    int32_t status = 0;
    uint32_t consumed = 0, produced = 0, noMap = 0xDEADBEEF;
    std::vector<uint16_t> units;  // UTF-16 output
    std::string bytes;            // byte output
};

// Byte -> UTF-16 step: one mbrtowc per character; an invalid sequence is
// one unmappable byte, a character above U+FFFF unmappable as a whole, an
// incomplete one at a NUL runs to it.
Step ToUnicodeModel(const char *src, int32_t count, uint32_t space) {
    Step s;
    if (count == 0) return s.status = CVT_E_SOURCE_EXHAUSTED, s;
    if (src[0] == 0) return s.status = CVT_OK, s;
    if (space == 0) return s.status = CVT_E_BUFFER_FULL, s;
    const bool counted = count > 0;
    const size_t avail = counted ? static_cast<size_t>(count) : std::strlen(src);
    std::mbstate_t st{};
    for (;;) {
        wchar_t w = 0;
        const size_t n = std::mbrtowc(&w, src + s.consumed, avail - s.consumed, &st);
        if (n == static_cast<size_t>(-2)) {
            if (counted) return s.status = CVT_E_SOURCE_EXHAUSTED, s;
            s.noMap = static_cast<uint32_t>(avail - s.consumed);
            s.consumed = static_cast<uint32_t>(avail);
            return s.status = CVT_E_NO_MAP, s;
        }
        if (n == static_cast<size_t>(-1) || n == 0) {
            s.noMap = 1;
            s.consumed += 1;
            return s.status = CVT_E_NO_MAP, s;
        }
        s.consumed += static_cast<uint32_t>(n);
        if (static_cast<uint32_t>(w) > 0xFFFF) {
            s.noMap = static_cast<uint32_t>(n);
            return s.status = CVT_E_NO_MAP, s;
        }
        s.units.push_back(static_cast<uint16_t>(w));
        ++s.produced;
        if (counted && s.consumed == static_cast<uint32_t>(count)) return s.status = CVT_E_SOURCE_EXHAUSTED, s;
        if (s.produced == space) return s.status = src[s.consumed] == 0 ? CVT_OK : CVT_E_BUFFER_FULL, s;
        if (src[s.consumed] == 0) return s.status = CVT_OK, s;
    }
}

// UTF-16 -> bytes (kind 0), upper (1), lower (2): one unit per character.
Step FromUnitsModel(int kind, const uint16_t *src, int32_t count, uint32_t space) {
    Step s;
    if (count == 0) return s.status = CVT_E_SOURCE_EXHAUSTED, s;
    if (src[0] == 0) return s.status = CVT_OK, s;
    if (space == 0) return s.status = CVT_E_BUFFER_FULL, s;
    uint32_t left = static_cast<uint32_t>(count);
    std::mbstate_t st{};
    for (;;) {
        const wint_t u = src[s.consumed];
        if (kind == 0) {
            char buf[MB_LEN_MAX];
            const size_t n = std::wcrtomb(buf, static_cast<wchar_t>(u), &st);
            if (n == static_cast<size_t>(-1)) {
                s.consumed += 1;
                s.noMap = 1;
                return s.status = CVT_E_NO_MAP, s;
            }
            if (n > space - s.produced) return s.status = CVT_E_BUFFER_FULL, s;
            s.bytes.append(buf, n);
            s.produced += static_cast<uint32_t>(n);
        } else {
            s.units.push_back(static_cast<uint16_t>(kind == 1 ? std::towupper(u) : std::towlower(u)));
            s.produced += 1;
        }
        s.consumed += 1;
        if (--left == 0) return s.status = CVT_E_SOURCE_EXHAUSTED, s;
        if (s.produced == space) return s.status = src[s.consumed] == 0 ? CVT_OK : CVT_E_BUFFER_FULL, s;
        if (src[s.consumed] == 0) return s.status = CVT_OK, s;
    }
}

void CheckSame(const Step &m, int32_t status, uint32_t consumed, uint32_t produced, uint32_t noMap) {
    FUZZ_CHECK(status == m.status && consumed == m.consumed && produced == m.produced);
    FUZZ_CHECK(status == CVT_E_NO_MAP ? noMap == m.noMap : noMap == 0xDEADBEEF);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qfuzz::InitEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
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
        const Step m = ToUnicodeModel(src, count, space);
        CheckSame(m, r, consumed, produced, noMap);
        FUZZ_CHECK(out.prefix(produced) == m.units);
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
        const Step m = FromUnitsModel(kind, src, count, space);
        if (kind == 0) {
            qfuzz::Guarded<char> out(space);
            const int32_t r = KXUToByte(0, src, out.data(), count, space, &consumed, &produced, &noMap);
            FUZZ_CHECK(out.intact());
            CheckSame(m, r, consumed, produced, noMap);
            const std::vector<char> got = out.prefix(produced);
            FUZZ_CHECK(std::string(got.begin(), got.end()) == m.bytes);
            for (size_t i = produced; i < space; ++i) FUZZ_CHECK(out[i] == out.kFill);
        } else {
            qfuzz::Guarded<uint16_t> out(space);
            const int32_t r = (kind == 1 ? KXUToUpper : KXUToLower)(0, src, out.data(), count, space,
                                                                  &consumed, &produced, &noMap);
            FUZZ_CHECK(out.intact());
            CheckSame(m, r, consumed, produced, noMap);
            FUZZ_CHECK(out.prefix(produced) == m.units);
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
