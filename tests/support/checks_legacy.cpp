// The table-handle conversions, UTF-8 <-> UTF-16 and the uni* family held
// to the models, every output between canaries.
#include <quemba/table_handle.h>
#include <quemba/unistr.h>
#include <quemba/utf8.h>

#include <algorithm>
#include <cwctype>

#include "check.h"
#include "models.h"

namespace qcheck {

namespace {

// The next setting of a variant: one of k.
uint32_t Take(uint32_t &v, uint32_t k) { const uint32_t r = v % k; return v /= k, r; }

// Gray code: inputs that come in pairs (alone, then framed) meet every setting.
uint32_t Mix(uint32_t variant) { return variant ^ (variant >> 1); }

// Output sizes: all the room there is, exactly the result, one short, half, one unit.
uint32_t Room(uint32_t pick, uint32_t full, uint32_t exact) {
    return pick == 0 ? full : pick == 1 ? exact : pick == 2 ? std::max(exact, 2u) - 1 : pick == 3 ? exact / 2 + 1 : 1;
}

// g holds x and its terminator, its canaries intact.
bool Holds(const Guarded<uint16_t> &g, const std::u16string &x) {
    return std::equal(U(x), U(x) + x.size() + 1, g.data()) && g.intact();
}
const uint16_t *At(const uint16_t *base, size_t i) { return i == std::u16string::npos ? nullptr : base + i; }

// A table conversion at one of the Room sizes against its model (which
// fills m.out within room units): the model's output, terminated, nothing
// after it, the count with the terminator when asked for.
template <typename T, typename Model, typename Call>
void Table(uint32_t &v, uint32_t full, Model model, Call call) {
    qref::Result m;
    int32_t want = model(full - 1, m);
    const uint32_t size = Room(Take(v, 5), full, m.out.size + 1);
    if (size != full) want = model(size - 1, m);
    const uint32_t n = m.out.size, counted = Take(v, 4) != 0;
    uint32_t count = kUnset;
    Guarded<T> out(size);
    const int32_t r = call(out.data(), size, counted ? &count : nullptr);
    bool same = true;
    for (uint32_t i = 0; i < n; ++i) same &= m.out.units[i] == static_cast<std::make_unsigned_t<T>>(out[i]);
    QCHECK(out.intact()) && QCHECK(r == want) && QCHECK(count == (counted ? n + 1 : kUnset)) && QCHECK(same) &&
        QCHECK(out[n] == 0) && QCHECK(out.untouchedFrom(n + 1));
}

}  // namespace

void TableHandleBytes(const std::string &bytes, uint32_t variant) {
    uint32_t v = Mix(variant);
    const uint16_t kSubs[] = {0, u'?', 0xFFFD}, sub = kSubs[Take(v, 3)];
    const char *text = bytes.c_str();
    Say("table_handle", text, bytes.size(), variant);
    Table<uint16_t>(v, std::min<uint32_t>(static_cast<uint32_t>(std::strlen(text)) + 1, qref::kMaxOut),
                    [&](uint32_t room, qref::Result &m) { return m.out.size = 0, qref::TableToUnits(text, sub, room, m); },
                    [&](uint16_t *out, uint32_t size, uint32_t *count) {
                        return KXLocalToUnicode(variant * 2654435761u, out, size, text, sub, count);
                    });
}

void TableHandleUnits(const std::u16string &units, uint32_t variant) {
    uint32_t v = Mix(variant), count = kUnset;
    const uint16_t *text = U(units);
    const uint32_t len = static_cast<uint32_t>(std::char_traits<char16_t>::length(units.c_str()));
    // Collation (wcsxfrm) is the slow one: one variant in eight, on a short text.
    const uint32_t handle = variant * 2654435761u, op = Take(v, 8);
    Say(op < 4 ? "table_handle to local" : op < 7 ? "monocase" : "collation", units.data(), units.size(), variant);
    if (op < 4) {
        const uint8_t kSubs[] = {0, '?', 0x1A}, sub = kSubs[Take(v, 3)];
        Table<char>(v, std::min<uint32_t>(len * MB_CUR_MAX + MB_LEN_MAX + 1, qref::kMaxOut),
                    [&](uint32_t room, qref::Result &m) { return m.out.size = 0, qref::TableToBytes(text, sub, room, m); },
                    [&](char *out, uint32_t size, uint32_t *n) { return KXUnicodeToLocal(handle, out, size, text, sub, n); });
    } else if (op < 7) {
        // The part that fits stays unterminated when input remains.
        const uint32_t size = Room(Take(v, 5), len + 2, len + 1), fits = std::min(len, size - 1), whole = fits == len;
        Guarded<uint16_t> out(size);
        const int32_t r = KXUnicodeToMonocase(handle, out.data(), size, text, &count);
        bool lowered = true;
        for (uint32_t i = 0; i < fits; ++i) lowered &= out[i] == static_cast<uint16_t>(std::towlower(text[i]));
        QCHECK(out.intact()) && QCHECK(lowered) && QCHECK(r == (whole ? 0 : LOC_E_BUFFER_TOO_SMALL)) &&
            QCHECK(count == fits + whole) && QCHECK(!whole || out[len] == 0) && QCHECK(out.untouchedFrom(fits + whole));
    } else {
        // The leading weights of the whole transform, low 16 bits each.
        const std::u16string cut = units.substr(0, std::min<uint32_t>(len, 24));
        const std::wstring wide(cut.begin(), cut.end());
        const uint32_t needed = static_cast<uint32_t>(std::wcsxfrm(nullptr, wide.c_str(), 0));
        std::wstring xf(needed + 1, L'\0');
        std::wcsxfrm(&xf[0], wide.c_str(), needed + 1);
        const uint32_t pick = Take(v, 6), size = pick == 5 ? 0 : Room(pick, needed + 2, needed + 1);
        const uint32_t kept = size == 0 ? 0 : std::min(needed, size - 1);
        Guarded<uint16_t> out(size);
        const int32_t r = KXUnicodeToCollation(handle, out.data(), size, U(cut), v, &count);
        bool same = true;
        for (uint32_t i = 0; i < kept; ++i) same &= out[i] == static_cast<uint16_t>(xf[i]);
        QCHECK(out.intact()) && QCHECK(r == (needed < size ? 0 : LOC_E_BUFFER_TOO_SMALL)) && QCHECK(count == kept) &&
            QCHECK(same) && QCHECK(size == 0 || out[kept] == 0) && QCHECK(out.untouchedFrom(kept + (size != 0)));
    }
    if (op < 4) return;
    // A character comparison orders as the first two weights do.
    const uint16_t a = len > 0 ? text[0] : u'a', b = len > 1 ? text[1] : static_cast<uint16_t>(variant);
    uint16_t w[2][3] = {}, one[2][2] = {{a, 0}, {b, 0}};
    for (int i = 0; i < 2; ++i) KXUnicodeToCollation(handle, w[i], 3, one[i], 0, &count);
    const int c = S16(w[0], 3).compare(S16(w[1], 3)), order = (c > 0) - (c < 0);
    QCHECK(KXUnicodeCompare(handle, a, b) == order) && QCHECK(KXUnicodeCompare(handle, b, a) == -order) &&
        QCHECK(KXUnicodeCompare(handle, a, a) == 0);
}

void Utf8Bytes(const std::string &bytes, uint32_t variant) {
    // The text at each offset from a 16-byte boundary in turn.
    const std::string shifted = std::string(variant % 16, '@') + bytes;
    const char *text = shifted.c_str() + variant % 16;
    const uint32_t len = static_cast<uint32_t>(std::strlen(text));
    if (len >= qref::kMaxOut) return Utf8Bytes(bytes.substr(0, qref::kMaxOut - 1), variant);
    uint32_t v = Mix(variant);
    Say("utf8 to units", text, bytes.size(), variant);
    qref::Output d;
    const long bad = qref::Utf8Decode(text, d);
    const uint32_t n = d.size, full = 2 * n + 2, measured = bad < 0 ? full : 2 * n;
    QCHECK(_ClassifyUTF8Char(text) == qref::Utf8Class(reinterpret_cast<const unsigned char *>(text)));
    uint32_t got = kUnset, sized = kUnset;
    QCHECK(KXLUTF8ToUnicodeSize(text, &sized) == (bad < 0 ? 0 : LOC_E_BAD_UTF8)) && QCHECK(sized == measured);
    // Sizes in bytes; odd ones leave half a unit that must stay unwritten.
    const uint32_t pick = Take(v, 10),
                   sizes[] = {0, 0, 1, full - 2, full - 1, full, full + 1, n / 2 * 2 + 2, n / 2 * 2 + 3, full + 99},
                   size = sizes[pick];
    const bool query = pick == 0, wantSize = Take(v, 2) == 0, wantPos = Take(v, 2) == 0;
    Guarded<uint16_t> out((size + 1) / 2);
    char mark = 0, *pos = &mark;
    const int32_t r = KXLUTF8ToUnicode(text, size, query ? nullptr : out.data(), wantSize ? &got : nullptr,
                                       wantPos ? &pos : nullptr);
    int32_t want = LOC_E_BUFFER_TOO_SMALL;
    uint32_t k = 0, wantGot = measured;
    const char *wantAt = nullptr;
    if (!query && bad >= 0 && (n == 0 || full <= size)) {
        // Malformed before the output filled: reported where it starts.
        want = LOC_E_BAD_UTF8, k = n, wantGot = kUnset, wantAt = text + bad;
    } else if (!query) {
        k = std::min(n, size >= 2 ? (size - 2) / 2 : 0);
        if (bad < 0 && size >= full) want = 0, k = n;
    }
    const bool term = want == 0;
    QCHECK(out.intact()) && QCHECK(r == want) && QCHECK(!wantSize || got == wantGot) &&
        QCHECK(!wantPos || pos == wantAt) && QCHECK(std::equal(d.units, d.units + k, out.data())) &&
        QCHECK(!term || out[k] == 0) && QCHECK(out.untouchedFrom(k + term));
}

void Utf8Units(const std::u16string &units, uint32_t variant) {
    uint32_t v = Mix(variant);
    Say("utf8 from units", units.data(), units.size(), variant);
    const std::u16string shifted = std::u16string(variant % 8, u'@') + units;
    const uint16_t *text = U(shifted) + variant % 8;
    const uint32_t n = static_cast<uint32_t>(std::char_traits<char16_t>::length(units.c_str()));
    const std::string enc = qref::Utf8Encode(text);
    const uint32_t full = static_cast<uint32_t>(enc.size()) + 1;
    QCHECK(KXLUnicodeToUTF8Size(text) == full);
    const uint32_t pick = Take(v, 8), sizes[] = {0, 0, 1, full - 1, full, full + 1, full / 2, full + 99}, size = sizes[pick];
    const bool query = pick == 0, wantSize = Take(v, 2) == 0;
    Guarded<char> out(size);
    uint32_t got = kUnset;
    const int32_t r = KXLUnicodeToUTF8(text, size, query ? nullptr : out.data(), wantSize ? &got : nullptr);
    const bool whole = !query && size >= full;
    // Whole sequences only, with room left for a terminator.
    uint32_t fits = 0;
    for (uint32_t i = 0, l; !query && i < n && fits + (l = text[i] < 0x80 ? 1 : text[i] < 0x800 ? 2 : 3) < size; ++i)
        fits += l;
    QCHECK(out.intact()) && QCHECK(r == (whole ? 0 : LOC_E_BUFFER_TOO_SMALL)) && QCHECK(!wantSize || got == full) &&
        QCHECK(enc.compare(0, fits, out.data(), fits) == 0) && QCHECK(!whole || out[fits] == 0) &&
        QCHECK(out.untouchedFrom(fits + whole));
    if (!whole) return;  // back to the same units: surrogates too are read as written
    Guarded<uint16_t> back(n + 1);
    QCHECK(KXLUTF8ToUnicode(out.data(), 2 * n + 2, back.data(), &got, nullptr) == 0) && QCHECK(got == 2 * n + 2) &&
        QCHECK(std::equal(text, text + n + 1, back.data())) && QCHECK(back.intact());
}

void Unistr(const std::u16string &units, uint32_t variant) {
    uint32_t v = Mix(variant);
    const std::u16string s = units.c_str();
    const size_t ls = s.size();
    // The second string: a piece of the first (so that searches succeed),
    // what follows the first NUL, the first itself, or nothing.
    const uint32_t second = Take(v, 4);
    std::u16string t = second == 0 ? s.substr(Take(v, ls + 1), 1 + Take(v, 8))
                       : second == 1 && units.size() > ls ? std::u16string(units.c_str() + ls + 1)
                       : second == 2 ? s : u"";
    t.resize(std::min<size_t>(t.size(), 64));
    const int32_t n = static_cast<int32_t>(Take(v, ls + 4)) - 2;
    const size_t k = n > 0 ? std::min<size_t>(n, ls) : 0;
    const uint16_t c = Take(v, 2) ? s.c_str()[Take(v, ls + 1)] : static_cast<uint16_t>(variant);
    const uint16_t *S = U(s), *T = U(t);
    Say("unistr", units.data(), units.size(), variant);

    QCHECK(unilen(S) == ls) && QCHECK(unisize(S) == 2 * ls + 2);
    Guarded<uint16_t> g(ls + 1), ncpy(ls + 1);
    QCHECK(unicpy(g.data(), S) == g.data()) && QCHECK(Holds(g, s));
    QCHECK(unipcpy(g.data(), S) == g.data() + ls) && QCHECK(Holds(g, s));
    // At most n units; a terminator only where the source ended first.
    const bool ended = n > 0 && static_cast<size_t>(n) > ls;
    QCHECK(unincpy(ncpy.data(), S, n) == ncpy.data()) && QCHECK(std::equal(S, S + k, ncpy.data())) &&
        QCHECK(!ended || ncpy[ls] == 0) && QCHECK(ncpy.untouchedFrom(k + ended) && ncpy.intact());
    const std::u16string njoined = t + s.substr(0, k);
    Guarded<uint16_t> cat(t.size() + ls + 1);
    std::copy(T, T + t.size() + 1, cat.data());
    QCHECK(unincat(cat.data(), S, n) == cat.data()) && QCHECK(Holds(cat, njoined)) &&
        QCHECK(cat.untouchedFrom(njoined.size() + 1));
    std::copy(T, T + t.size() + 1, cat.data());
    QCHECK(unicat(cat.data(), S) == cat.data()) && QCHECK(Holds(cat, t + s));

    for (bool fold : {false, true})  // a negative count is a huge one
        QCHECK((fold ? uniicmp : unicmp)(S, T) == qref::UniCompare(S, T, UINT64_MAX, fold)) &&
            QCHECK((fold ? uninicmp : unincmp)(S, T, uint32_t(n)) == qref::UniCompare(S, T, uint32_t(n), fold));
    const std::u16string whole(S, S + ls + 1);  // terminator included: searchable
    QCHECK(unichr(S, c) == At(S, whole.find(c))) && QCHECK(unirchr(S, c) == At(S, whole.rfind(c))) &&
        QCHECK(unistr(S, T) == At(S, ls == 0 ? std::u16string::npos : s.find(t))) &&
        QCHECK(unipbrk(S, T) == At(S, s.find_first_of(t))) &&
        QCHECK(unispn(S, T) == std::min(s.find_first_not_of(t), ls)) &&
        QCHECK(unicspn(S, T) == std::min(s.find_first_of(t), ls));

    // In place between canaries: uniset, uninset, unirev, then unitok.
    auto fresh = [&] { return std::copy(S, S + ls + 1, g.data()), g.data(); };
    const std::u16string nset = std::u16string(k, c) + s.substr(k);
    QCHECK(uniset(fresh(), c) == g.data()) && QCHECK(Holds(g, std::u16string(ls, c)));
    QCHECK(uninset(fresh(), c, n) == g.data()) && QCHECK(Holds(g, nset));
    QCHECK(unirev(fresh()) == g.data()) && QCHECK(Holds(g, std::u16string(s.rbegin(), s.rend())));
    // unitok cuts at each delimiter run, token by token, then stays exhausted.
    uint16_t *const w = fresh();
    size_t at = 0;
    for (uint16_t *tok = unitok(w, T); tok != nullptr; tok = unitok(nullptr, T)) {
        at = s.find_first_not_of(t, at);
        const size_t end = std::min(s.find_first_of(t, at), ls);
        if (!QCHECK(at < ls && tok == w + at && S16(tok, end - at) == s.substr(at, end - at) && tok[end - at] == 0)) return;
        at = end;
    }
    QCHECK(s.find_first_not_of(t, at) == std::u16string::npos) && QCHECK(unitok(nullptr, T) == nullptr) && QCHECK(g.intact());
}

}  // namespace qcheck
