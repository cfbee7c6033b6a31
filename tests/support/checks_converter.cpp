// Checks of the converter handles: the engine steps, both drivers with their
// length-only modes and shortcuts, the escapes and the case converters,
// against the models.
#include <quemba/converter.h>
#include <quemba/standard.h>

#include <langinfo.h>

#include <algorithm>
#include <memory>

#include "check.h"
#include "models.h"

namespace qcheck {
namespace {

constexpr uint32_t kCodePages[] = {0, 437, 850, 866, 869, 1252, 65001};

// A counted source lies in a block of exactly its size, so that reading
// past the count is an overread; an empty one has no block.
template <typename T>
struct Source {
    std::unique_ptr<T[]> block;
    const T *p;
    Source(const std::basic_string<T> &text, int32_t count)
        : block(count > 0 ? new T[count] : nullptr), p(count > 0 ? block.get() : text.c_str()) {
        if (count > 0) std::copy(text.begin(), text.begin() + count, block.get());
    }
};

// -1, the whole input, a part of it, or another negative count.
int32_t PickCount(size_t size, uint32_t v) {
    const int32_t part = static_cast<int32_t>(v % 4 == 1 ? size : (v / 4) % (size + 1));
    return v % 4 == 0 ? -1 : v % 4 == 3 ? -2 - static_cast<int32_t>((v / 4) & 0x3FFFFFFF) : part;
}

// Charsets where libc keeps a character in the state: a step may write it
// and take it back, so units past the count are not left as they were.
bool KeepsCharacters() {
    return std::string("|CP1255|CP1258|TCVN5712-1|EUC-JISX0213|SHIFT_JISX0213|TSCII|BIG5-HKSCS|").find(std::string("|") + nl_langinfo(CODESET) + "|") != std::string::npos;
}

template <typename Out>
void CheckStep(const qref::Result &m, int32_t status, uint32_t consumed, uint32_t produced, uint32_t noMap,
               const Guarded<Out> &out) {
    QCHECK(out.intact());
    QCHECK(status == m.status && consumed == m.consumed && produced == m.produced);
    QCHECK(status == CVT_E_NO_MAP ? noMap == m.noMap : noMap == kUnset);
    QCHECK(produced > out.size() || out.untouchedFrom(produced) || KeepsCharacters());
    for (uint32_t i = 0; i < m.out.size && i < out.size() && QCHECK(qref::Code(out[i]) == m.out.units[i]); ++i) {}
}

// Output room: up to 64, or the model's most.
uint32_t PickSpace(uint32_t v) { return v % 25 == 0 ? qref::kMaxOut : (v / 25) % 65; }

// The handles the checks share, loaded once; their settings are set anew
// on each call. The standard set stays in, as _unilower leaves it.
ConverterHandle Handle(uint32_t which) {
    static ConverterHandle h[4] = {};
    if (h[which] == nullptr && which < 2) KXZLoadByteUnicodeConverter(which == 1 ? 850 : 0, 1, &h[which]), KXUXEnableOemEuro(h[1]);
    if (h[which] == nullptr && which >= 2) KXUXLoadCaseConverter(which == 2 ? CASE_LOWER : CASE_UPPER, &h[which]);
    return h[which];
}

ConverterHandle Standard(uint32_t codePage) {
    static const bool ready = KXUSStandardUnicodeInit() == CVT_OK;
    QCHECK(ready && KXUSStandardUnicodeOverride(codePage) == CVT_OK);
    return KXZStandardByteUni();
}

// The settings of one side: byte or UTF-16 (refusals are contract rows).
void Settle(ConverterHandle h, bool byteSide, int32_t action, int32_t scan, uint16_t sub) {
    const int32_t keep = KEEP_SETTING;
    QCHECK(KXUXSetNoMapAction(h, byteSide ? action : keep, byteSide ? keep : action) == CVT_OK);
    QCHECK(KXUXSetScanAction(h, byteSide ? scan : keep, byteSide ? keep : scan) == CVT_OK);
    QCHECK((byteSide ? KXUXSetSubUni(h, sub) : KXUXSetSubByte(h, static_cast<uint8_t>(sub))) == CVT_OK);
}

// The length-only mode, then more than enough room:
// both say `code`; `whole` gets what was written.
template <typename T, typename Call>
int32_t Whole(uint32_t v, std::u16string &whole, Call call) {
    uint32_t needed = kUnset, count = kUnset;
    const int32_t code = call(nullptr, 0, &needed);
    Guarded<T> out(needed + 2 + v % 3);
    QCHECK(call(out.data(), out.size(), &count) == code && count == needed && out[count] == 0);
    QCHECK(out.intact() && out.untouchedFrom(count + 1));
    for (uint32_t i = 0; i < std::min(count, needed); ++i) whole += static_cast<char16_t>(qref::Code(out[i]));
    return code;
}

// A smaller room gets a terminated prefix of the whole result and says
// why it stopped; `whole` and `code` are what enough room gives.
template <typename T, typename Call>
void CheckRoom(uint32_t size, bool terminated, const std::u16string &whole, int32_t code, Call call) {
    Guarded<T> out(size);
    uint32_t count = kUnset;
    const int32_t r = call(out.data(), size, &count);
    QCHECK(out.intact());
    if (terminated && size == 0) return (void)QCHECK(r != CVT_OK && count == 0);
    const uint32_t room = terminated ? size - 1 : size;
    if (!QCHECK(count <= room && count <= whole.size())) return;
    for (uint32_t i = 0; i < count; ++i) {
        if (!QCHECK(qref::Code(out[i]) == whole[i])) return;
    }
    QCHECK(!terminated || out[count] == 0);
    QCHECK(out.untouchedFrom(count + (terminated ? 1 : 0)) || KeepsCharacters());
    QCHECK(count == whole.size() ? r == code || r == CVT_E_BUFFER_FULL : r == CVT_E_BUFFER_FULL);
    // What did not fit is one character or its escapes at most (glibc reads
    // UTF-8 forms of up to six bytes; a pair of units has two escapes); where
    // libc keeps letters back, the run since the last point where it kept none.
    const size_t most = sizeof(T) == 1 ? 12 : 4 * MB_CUR_MAX;
    QCHECK(count == whole.size() || room - count < most || KeepsCharacters());
}

// Every smaller room for short results (cuts at every offset, kept
// characters among them), else one.
template <typename T, typename Call>
void CheckRooms(uint32_t v, bool terminated, const std::u16string &whole, int32_t code, Call call) {
    const uint32_t exact = static_cast<uint32_t>(whole.size()) + (terminated ? 1 : 0);
    if (v % 8 != 0 || exact > 24) return CheckRoom<T>((v / 8) % (exact + 1), terminated, whole, code, call);
    for (uint32_t size = 0; size < exact; ++size) CheckRoom<T>(size, terminated, whole, code, call);
}

std::u16string &Scratch() { static std::u16string s; return s.erase(); }

}  // namespace

void EngineBytes(const std::string &bytes, uint32_t v) {
    Say("engine bytes", bytes.data(), bytes.size(), v);
    const uint32_t space = PickSpace(v);
    const int32_t count = PickCount(bytes.size(), v / 1625);
    const Source<char> src(bytes, count);
    Guarded<uint16_t> out(space);
    uint32_t consumed = kUnset, produced = kUnset, noMap = kUnset;
    const int32_t r = KXUToUnicode(0, src.p, out.data(), count, space, &consumed, &produced, &noMap);
    CheckStep(qref::ToUnicode(src.p, count < 0 ? -1 : count, space), r, consumed, produced, noMap, out);
}

void EngineUnits(const std::u16string &units, uint32_t v) {
    Say("engine units", units.data(), units.size(), v);
    const uint32_t space = PickSpace(v);
    const auto map = static_cast<qref::Map>((v / 1625) % 3);
    const int32_t count = PickCount(units.size(), v / 4875);
    const Source<char16_t> src(units, count);
    const auto *p = reinterpret_cast<const uint16_t *>(src.p);
    const qref::Result m = qref::FromUnits(map, p, count < 0 ? -1 : count, space);
    uint32_t consumed = kUnset, produced = kUnset, noMap = kUnset;
    Guarded<char> bytes(map == qref::Map::Bytes ? space : 0);
    Guarded<uint16_t> out(map == qref::Map::Bytes ? 0 : space);
    const EngineStep step = map == qref::Map::Bytes ? KXUToByte : map == qref::Map::Upper ? KXUToUpper : KXUToLower;
    const int32_t r = step(0, p, map == qref::Map::Bytes ? static_cast<void *>(bytes.data()) : out.data(), count, space, &consumed, &produced, &noMap);
    if (map == qref::Map::Bytes) CheckStep(m, r, consumed, produced, noMap, bytes);
    else CheckStep(m, r, consumed, produced, noMap, out);
}

// Variant: no-map action, scan action, entry point (own handle, OEM Euro
// handle, shortcuts on the standard handle of some code page), path or
// not, source length, substitute, rooms.
void ByteToUnicode(const std::string &bytes, uint32_t v) {
    Say("byte to unicode", bytes.data(), bytes.size(), v);
    const int32_t action = static_cast<int32_t>(v % 3), scan = (v / 3) % 2 ? SCAN_ESCAPES : SCAN_NONE;
    const uint32_t form = (v / 6) % 3, path = (v / 18) % 2, codePage = kCodePages[(v / 288) % 7];
    const int32_t length = std::max(-1, PickCount(bytes.size(), v / 36));
    const uint16_t subUni = (v / 144) % 2 ? 0xFFFD : static_cast<uint16_t>(v >> 16);
    ConverterHandle h = form == 2 ? Standard(codePage) : Handle(form);
    Settle(h, true, action, scan, subUni);
    const Source<char> src(bytes, length);
    auto call = [&](uint16_t *o, uint32_t n, uint32_t *c) {
        if (form == 2 && length == -1) return (path ? KXUSByteToUnicodePath : KXUSByteToUnicode)(o, n, src.p, c);
        if (form == 2) return (path ? KXUSLenByteToUnicodePath : KXUSLenByteToUnicode)(o, n, src.p, length, c);
        if (length == -1 && v % 5 == 0) return (path ? KXUXByteToUnicodePath : KXUXByteToUnicode)(h, o, n, src.p, c);
        return (path ? KXUXLenByteToUnicodePath : KXUXLenByteToUnicode)(h, o, n, src.p, length, c);
    };
    std::u16string &whole = Scratch(), want;
    const int32_t code = Whole<uint16_t>(v, whole, call);
    uint32_t again = kUnset;
    QCHECK(KXZLSUnicodeLength(h, src.p, length, &again) == code && again == whole.size());
    // The model reads escapes, not the Euro byte.
    QCHECK((form == 1 && KXZByteScannerForOemEuro(h, src.p, length) != nullptr) ||
           (qref::BytesToUnits(src.p, length, action, subUni, scan == SCAN_ESCAPES, want) == code && want == whole));
    CheckRooms<uint16_t>(v / 2016, true, whole, code, call);
    if (form == 2 && codePage != 0) Standard(0);
}

// Variant: as above, but the substitute is a byte and the output may
// go unterminated.
void UnicodeToByte(const std::u16string &units, uint32_t v) {
    Say("unicode to byte", units.data(), units.size(), v);
    const int32_t action = static_cast<int32_t>(v % 3), scan = (v / 3) % 2 ? SCAN_ESCAPES : SCAN_NONE;
    const uint32_t form = (v / 6) % 3, path = (v / 18) % 2, codePage = kCodePages[(v / 36) % 7];
    const uint8_t subByte = static_cast<uint8_t>(v >> 16);
    ConverterHandle h = form == 2 ? Standard(codePage) : Handle(form);
    Settle(h, false, action, scan, subByte);
    const uint16_t *src = U(units);
    auto call = [&](bool term) {
        return [&, term](char *o, uint32_t n, uint32_t *c) {
            if (form == 2) return (term ? (path ? KXUSUnicodeToBytePath : KXUSUnicodeToByte) : (path ? KXUSUnicodeToUntermBytePath : KXUSUnicodeToUntermByte))(o, n, src, c);
            return (term ? (path ? KXUXUnicodeToBytePath : KXUXUnicodeToByte) : (path ? KXUXUnicodeToUntermBytePath : KXUXUnicodeToUntermByte))(h, o, n, src, c);
        };
    };
    std::u16string &whole = Scratch(), want;
    const int32_t code = Whole<char>(v, whole, call(true));
    // One of the other length-only forms agrees.
    uint32_t again = kUnset, other = (v / 7) % 3;
    const int32_t r = other == 0 ? call(false)(nullptr, 0, &again) : other == 1 ? (path ? KXZBytePathLength : KXZByteLength)(h, src, &again)
                                                                   : call(true)(nullptr, 0, nullptr);
    QCHECK(r == code && (other == 2 || again == whole.size()));
    // With OEM Euro (form 1) its own scanner takes the place of the escapes'.
    QCHECK((form == 1 && KXZUniScannerForOemEuro(h, src, -1) != nullptr) ||
           (qref::UnitsToBytes(src, path, action, subByte, scan == SCAN_ESCAPES && form != 1, want) == code && want == whole));
    CheckRooms<char>(v / 252, (v / 504) % 2 != 0, whole, code, call((v / 504) % 2 != 0));
    if (form == 2 && codePage != 0) Standard(0);
}

// The escape round trip with the default settings, the scanners against
// the model, parsers and fixers with any room. Variant: length, room.
void Escapes(const std::u16string &units, uint32_t v) {
    Say("escapes", units.data(), units.size(), v);
    const uint16_t *text = U(units);
    const ConverterHandle h = Handle(0);
    QCHECK(KXUXResetConverter(h) == CVT_OK);
    // On every third variant: what the locale cannot write goes out as
    // "[XXXX]" and comes back wherever the model reads the bytes back as the same text.
    uint32_t size = kUnset, written = kUnset, m = kUnset;
    std::u16string &back = Scratch();
    if (v % 3 == 0 && QCHECK(KXUXUnicodeToByte(h, nullptr, 0, text, &size) == CVT_OK)) {
        Guarded<char> bytes(size + 1);
        QCHECK(KXUXUnicodeToByte(h, bytes.data(), size + 1, text, &written) == CVT_OK && written == size && bytes.intact());
        qref::BytesToUnits(bytes.data(), -1, NOMAP_SUBSTITUTE, 0xFFFD, true, back);
        Guarded<uint16_t> again(static_cast<uint32_t>(units.size()) + 1);
        QCHECK(back != units.c_str() || (KXUXByteToUnicode(h, again.data(), again.size(), bytes.data(), &m) == CVT_OK &&
                                         again.intact() && m <= units.size() && S16(again.data(), m) == back));
    }
    // Scanners over the units and over their low bytes.
    const size_t n = units.size();
    const int32_t length = v % 3 == 0 ? -1 : static_cast<int32_t>((v / 3) % (n + 1));
    const Source<char16_t> wide(units, length);
    std::string narrow(n, '\0');
    for (size_t i = 0; i < n; ++i) narrow[i] = static_cast<char>(units[i] == 0x20AC ? 0xCC : units[i]);
    const Source<char> source(narrow, length);
    const auto *w = reinterpret_cast<const uint16_t *>(wide.p);
    const int32_t unitAt = qref::ScanEscape(w, length, 4), byteAt = qref::ScanEscape(source.p, length, 6);
    auto at = [](const auto *found, const auto *base) { return found == nullptr ? -1 : static_cast<int32_t>(found - base); };
    QCHECK(at(KXZUniScanner(h, w, length), w) == unitAt && at(KXZByteScanner(h, source.p, length), source.p) == byteAt);
    int32_t euroUnit = -1, euroByte = -1;
    for (int32_t k = 0; (length < 0 || k < length) && w[k] != 0 && euroUnit < 0; ++k) euroUnit = w[k] == 0x20AC ? k : -1;
    for (int32_t k = 0; (length < 0 || k < length) && source.p[k] != 0 && euroByte < 0; ++k) euroByte = source.p[k] == '\xCC' || k == byteAt ? k : -1;
    QCHECK(at(KXZUniScannerForOemEuro(h, w, length), w) == euroUnit && at(KXZByteScannerForOemEuro(h, source.p, length), source.p) == euroByte);
    // Parsers where the scanners stopped: one unit or byte, or no room.
    const uint32_t room = (v / 7) % 3;
    uint32_t produced = kUnset, consumed = kUnset;
    Guarded<uint16_t> unit(room);
    Guarded<char> byte(room);
    if (byteAt >= 0) {
        const int32_t r = KXZByteParser(h, unit.data(), room, &produced, source.p + byteAt, &consumed);
        QCHECK(room == 0 ? r == CVT_E_BUFFER_FULL && produced == kUnset && consumed == kUnset
                         : r == CVT_OK && produced == 1 && consumed == 6 && unit[0] == qref::HexValue(source.p + byteAt + 1, 4));
    }
    if (euroByte >= 0 && euroByte != byteAt && room > 0) {
        QCHECK(KXZByteParserForOemEuro(h, unit.data(), room, &produced, source.p + euroByte, &consumed) == CVT_OK);
        QCHECK(produced == 1 && consumed == 1 && unit[0] == 0x20AC);
    }
    if (unitAt >= 0) {
        const int32_t r = KXZUniParser(h, byte.data(), room, &produced, w + unitAt, &consumed);
        QCHECK(room == 0 ? r == CVT_E_BUFFER_FULL : r == CVT_OK && produced == 1 && consumed == 4 && qref::Code(byte[0]) == qref::HexValue(w + unitAt + 1, 2));
    }
    if (euroUnit >= 0 && room > 0) {
        QCHECK(KXZUniParserForOemEuro(h, byte.data(), room, &produced, w + euroUnit, &consumed) == CVT_OK);
        QCHECK(produced == 1 && consumed == 1 && byte[0] == '\xCC');
    }
    QCHECK(unit.intact() && byte.intact());  // fixers next: whole escapes for the first k units or bytes, or nothing
    const uint32_t k = std::min<uint32_t>(static_cast<uint32_t>(n), (v / 21) % 5), space = (v / 105) % 32;
    auto fixed = [&](auto &out, const auto *in, auto fixer) {
        std::u16string want;
        qref::NoMap(NOMAP_FIXER, 0, in, k, want);
        produced = kUnset;
        const int32_t r = fixer(h, out.data(), space, &produced, in, k);
        QCHECK(out.intact() && (space < want.size() ? r == CVT_E_BUFFER_FULL && produced == 0 && out.untouchedFrom(0)
                                                    : r == CVT_OK && produced == want.size()));
        for (uint32_t i = 0; r == CVT_OK && i < produced && QCHECK(qref::Code(out[i]) == want[i]); ++i) {}
    };
    Guarded<char> fixedBytes(space);
    Guarded<uint16_t> fixedUnits(space);
    fixed(fixedBytes, text, KXZNoMapUniFixer);
    fixed(fixedUnits, narrow.data(), KXZNoMapByteFixer);
}

// Case handles and shortcuts, the length-only companions and the
// case-blind comparisons. Variant: upper or lower, handle or shortcut,
// rooms, what the compared string changes.
void CaseConvert(const std::u16string &units, uint32_t v) {
    Say("case convert", units.data(), units.size(), v);
    const bool upper = v % 2 != 0, standard = (v / 2) % 2 != 0;
    ConverterHandle h = standard ? (Standard(0), upper ? KXZStandardUpperCase() : KXZStandardLowerCase()) : Handle(2 + upper);
    const uint16_t *src = U(units);
    auto call = [&](uint16_t *o, uint32_t n, uint32_t *c) {
        if (standard) return (upper ? KXUSUnicodeToUpperCase : KXUSUnicodeToLowerCase)(o, n, src, c);
        return KXUXUnicodeToCase(h, o, n, src, c);
    };
    std::u16string &want = Scratch();
    for (const uint16_t *p = src; *p != 0; ++p) want += static_cast<char16_t>(upper ? std::towupper(*p) : std::towlower(*p));
    uint32_t needed = kUnset, direct = kUnset;
    QCHECK(call(nullptr, 0, &needed) == CVT_OK && needed == want.size());
    QCHECK(KXZCaseLength(h, src, &direct) == CVT_OK && direct == want.size());
    CheckRooms<uint16_t>(v / 4, true, want, CVT_OK, call);
    // Against the same text with some units case-changed or altered.
    std::u16string other(units.c_str());
    for (size_t i = 0; i < other.size(); ++i) {
        const uint32_t pick = (v >> (i % 16)) % 5;
        if (pick == 1) other[i] = static_cast<char16_t>(std::towupper(other[i]));
        if (pick == 2 && i + 1 == other.size()) other[i] = static_cast<char16_t>(other[i] + 1);
        if (pick == 3 && i + 1 == other.size()) other.pop_back();
    }
    const uint32_t limit = (v / 8) % (other.size() + 2);
    int32_t full = 0, part = 0;
    for (size_t i = 0, stop = 0; !stop; ++i) {
        full = static_cast<uint16_t>(std::towlower(src[i])) - static_cast<uint16_t>(std::towlower(other.c_str()[i]));
        part = i < limit && part == 0 ? full : part, stop = full != 0 || src[i] == 0;
    }
    QCHECK(kxusuniicmp(src, U(other)) == full && kxusuninicmp(src, U(other), limit) == (limit == 0 ? 0 : part));
    QCHECK(units.empty() || _unilower(units[0] | static_cast<int32_t>(v & 0xFFFF0000)) == static_cast<int32_t>(static_cast<uint16_t>(std::towlower(units[0]))));
}

}  // namespace qcheck
