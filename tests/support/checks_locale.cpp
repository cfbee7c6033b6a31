// The multibyte helpers and the locale services against the models: every
// step, cut, copy and search lands where libc's characters end.
#include <quemba/locale_services.h>

#include <langinfo.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "check.h"
#include "models.h"

namespace qcheck {
namespace {

void Start(const char *family, const std::string &bytes, uint32_t variant) {
    Describe(family, Hex(bytes.data(), std::min<size_t>(bytes.size(), 24)) + " (" + std::to_string(bytes.size()) + ") variant " + std::to_string(variant));
}

// A second string: what follows the first NUL, else a few bytes of the first.
const char *Second(const std::string &bytes, uint32_t variant, std::string &keep) {
    const size_t len = std::strlen(bytes.c_str());
    if (len < bytes.size()) return bytes.c_str() + len + 1;
    keep.assign(bytes, variant % (len + 1), 1 + variant % 5);
    return keep.c_str();
}


// A text field of the record: whole, or cut after the last whole character
// (as LC_CTYPE reads it) that leaves room for the terminator.
template <size_t N>
bool Cut(const char (&field)[N], const char *text) {
    size_t kept = std::strlen(text);
    if (kept >= N) {
        kept = 0;
        for (int32_t n; (n = qref::CharLen(text + kept, N - 1 - kept)) > 0 && kept + size_t(n) < N;) kept += size_t(n);
    }
    return std::memcmp(field, text, kept) == 0 && field[kept] == 0;
}
template <size_t N>
bool Grouping(const char (&field)[N], const char *g) {
    std::string want(g, strnlen(g, N - 1));
    if (want.empty()) want += '\0';
    want[0] = char(want[0] + '0');
    return std::memcmp(field, want.c_str(), want.size() + 1) == 0;
}

std::string Categories() {
    std::string all;
    for (int c : {LC_CTYPE, LC_NUMERIC, LC_TIME, LC_COLLATE, LC_MONETARY, LC_TELEPHONE}) all += std::setlocale(c, nullptr) + std::string(";");
    return all;
}

// Country information and locale selection, with the environment's locale,
// the monetary/numeric locale, a category and a name taken from the input;
// the sweep's LC_CTYPE decides where texts are cut. Everything is put back.
void Country(const std::string &bytes, uint32_t variant) {
    const auto &names = Locales();
    uint32_t h = variant * 2654435761u;
    for (unsigned char c : bytes.substr(0, 8)) h = (h ^ c) * 16777619u;
    const auto pick = [&](unsigned shift) {
        const size_t i = (h >> shift) % (names.size() + 2);
        return i < names.size() ? names[i].c_str() : i == names.size() ? "xx_NOWHERE.UTF-8" : "";
    };
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char *oldEnv = getenv("LC_ALL");
    const std::string keepEnv = oldEnv != nullptr ? oldEnv : "";
    const char *env = *pick(0) != 0 ? pick(0) : "POSIX";
    setenv("LC_ALL", env, 1);
    // The environment's telephone prefix and AM/PM, read by name.
    for (int c : {LC_TELEPHONE, LC_TIME}) std::setlocale(c, env) != nullptr || std::setlocale(c, "C");
    const long country = std::strtol(nl_langinfo(_NL_TELEPHONE_INT_PREFIX), nullptr, 10);
    const std::string am = nl_langinfo(AM_STR), pm = nl_langinfo(PM_STR);
    std::setlocale(LC_ALL, saved.c_str());
    std::setlocale(LC_MONETARY, pick(6)), std::setlocale(LC_NUMERIC, pick(6));
    const std::string before = Categories();

    alignas(CountryInfo) unsigned char raw[sizeof(CountryInfo)];
    std::memset(raw, 0xEE, sizeof raw);
    auto &info = *reinterpret_cast<CountryInfo *>(raw);
    QCHECK((variant & 1 ? KXLlocaleconv(&info) == &info : _KXGetCountryInfo(&info) == 0) && Categories() == before);
    const lconv &lc = *localeconv();
    QCHECK(Cut(info.decimal_point, lc.decimal_point) && Cut(info.thousands_sep, lc.thousands_sep));
    QCHECK(Cut(info.int_curr_symbol, lc.int_curr_symbol) && Cut(info.currency_symbol, lc.currency_symbol));
    QCHECK(Cut(info.mon_decimal_point, lc.mon_decimal_point) && Cut(info.mon_thousands_sep, lc.mon_thousands_sep));
    QCHECK(Cut(info.positive_sign, lc.positive_sign) && Cut(info.negative_sign, lc.negative_sign));
    QCHECK(Grouping(info.grouping, lc.grouping) && Grouping(info.mon_grouping, lc.mon_grouping));
    QCHECK(std::memcmp(&info.int_frac_digits, &lc.int_frac_digits, 8) == 0 && info.code_page == 0);
    QCHECK(info.country_code == country && info.reserved == 0);
    QCHECK(std::strcmp(info.am_string, am.size() < 33 ? am.c_str() : "") == 0);
    QCHECK(std::strcmp(info.pm_string, pm.size() < 33 ? pm.c_str() : "") == 0);
    QCHECK(std::memcmp(info.sep_1, " \0/\0:\0\0\xEE", 8) == 0);
    QCHECK(std::all_of(raw + 142, raw + sizeof raw, [](unsigned char c) { return c == 0xEE; }));

    // Selection: what libc does with the same request, then undone.
    static const int kHost[] = {LC_ALL, LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME};
    const int32_t category = static_cast<int32_t>((h >> 12) % 8) - 1;
    const char *name = (h >> 15) % 4 == 0 ? nullptr : pick(17);
    const std::string mid = std::setlocale(LC_ALL, nullptr);
    const bool accepted = category >= 0 && category <= 5 && std::setlocale(kHost[category], name) != nullptr;
    const std::string after = Categories();
    std::setlocale(LC_ALL, mid.c_str());
    const char *id = KXLsetlocale(category, name);
    char want[8];
    std::snprintf(want, sizeof want, "%03ld", country >= 0 && country <= 999 ? country : 0L);
    QCHECK(accepted ? id != nullptr && std::strcmp(id, want) == 0 && Categories() == after && KXLsetlocale(2, nullptr) == id
                    : id == nullptr && Categories() == before);
    std::setlocale(LC_ALL, saved.c_str());
    oldEnv != nullptr ? setenv("LC_ALL", keepEnv.c_str(), 1) : unsetenv("LC_ALL");
}

}  // namespace

// variant % 4: KXLmblen's limit (or the bytes left); /4: truncation max;
// /8: strbcpy size; /32: strncpy count.
void Multibyte(const std::string &bytes, uint32_t variant) {
    Start("multibyte", bytes, variant);
    static thread_local std::vector<uint32_t> at;
    static thread_local std::string second;
    const char *s = bytes.c_str();
    const size_t len = std::strlen(s);
    const bool single = MB_CUR_MAX < 2;
    qref::Walk(s, at);
    const size_t chars = at.size() - 1;
    QCHECK(KXstrlen(s) == len && KXLmbslen(s) == (single ? len : chars));
    std::mbstate_t state{};
    for (size_t i = 0; i <= chars; ++i) {
        const char *p = s + at[i], *next = i < chars ? s + at[i + 1] : *p == 0 ? p : s + len;
        QCHECK(KXNextChar(p) == next && KXNextChar_r(p, &state) == next && KXNextChar_r(p, nullptr) == next);
        const uint32_t limit = variant % 4 != 0 ? variant % 4 : static_cast<uint32_t>(len - at[i] + 1);
        QCHECK(KXLmblen(p, limit) == std::max(qref::CharLen(p, limit), -1));
    }
    for (size_t pos = 0, step = len <= 64 ? 1 : len / 16; pos <= len + 1; pos += step) {
        QCHECK(KXPrevChar(s, s + pos) == s + qref::PrevAt(at, pos));
    }

    // In place to fewer than max bytes: only the terminator moves.
    const int32_t max = static_cast<int32_t>((variant / 4) % (len + 3)) - 1;
    const size_t cut = max <= 0 ? 0 : static_cast<size_t>(max) > len ? len : qref::PrevAt(at, max);
    Guarded<char> t(len + 1);
    std::memcpy(t.data(), s, len + 1);
    QCHECK(KXLTruncateString(t.data(), max) == static_cast<int32_t>(cut) && t[cut] == 0 && t.intact());
    for (size_t i = 0; i <= len; ++i) QCHECK(i == cut || t[i] == s[i]);

    // Whole characters into size bytes, always terminated.
    const uint32_t size = (variant / 8) % (len + 3);
    Guarded<char> b(size);
    QCHECK(KXLstrbcpy(b.data(), s, size) == b.data() && b.intact());
    if (size != 0) {
        const size_t copied = single ? std::min<size_t>(size - 1, len)
                                     : *(std::upper_bound(at.begin(), at.end(), size - 1) - 1);
        QCHECK(std::memcmp(b.data(), s, copied) == 0 && b[copied] == 0 && b.untouchedFrom(copied + 1));
    } else {
        QCHECK(b.untouchedFrom(0));
    }

    // n characters, terminated only when the text (or its characters) ends first.
    const size_t have = single ? len : chars;
    const uint32_t n = (variant / 32) % (have + 2);
    Guarded<char> c(len + 1);
    QCHECK(KXstrncpy(c.data(), s, n) == c.data() && c.intact());
    const bool ends = n != 0 && n > have;
    const size_t copied = n == 0 ? 0 : single ? std::min<size_t>(n, len) : at[std::min<size_t>(n, chars)];
    QCHECK(std::memcmp(c.data(), s, copied) == 0 && (!ends || c[copied] == 0) && c.untouchedFrom(copied + ends));

    // The first character of s that is one of accept's; a bad sequence in
    // either ends the search.
    const char *accept = Second(bytes, variant, second), *want = single ? std::strpbrk(s, accept) : nullptr;
    bool bad = false;
    for (size_t i = 0; !single && !bad && want == nullptr && i < chars; ++i) {
        for (const char *x = accept; *x != 0 && want == nullptr;) {
            const int32_t lx = qref::CharLen(x);
            if ((bad = lx < 0)) break;
            if (uint32_t(lx) == at[i + 1] - at[i] && std::memcmp(x, s + at[i], size_t(lx)) == 0) want = s + at[i];
            x += lx;
        }
    }
    QCHECK(KXLstrpbrk(s, accept) == want);
}

// variant % 4 == 0: collation, /4 % 3 the strncoll count; % 16 == 0: the
// transform, /16 % 3 its room; /9 % 2: upper or lower case; /18 % 41 - 2:
// radix; every 251st also the country information and locale selection.
void LocaleServices(const std::string &bytes, uint32_t variant) {
    Start("locale", bytes, variant);
    static thread_local std::string second, xfrm;
    const char *a = bytes.c_str(), *b = Second(bytes, variant, second);
    const size_t len = std::strlen(a);
    if (variant % 4 == 0) {  // strcoll is slow in some charsets
        const uint32_t n = (variant / 4) % 3 == 0 ? ~0u : (variant / 4) % 3 == 1 ? 1 : uint32_t(len / 2 + 1);
        QCHECK(KXLstrcoll(a, b) == std::strcoll(a, b) && KXstrncoll(a, b, n) == qref::StrnColl(a, b, n));
    }
    if (variant % 16 == 0) {
        const size_t full = std::strxfrm(nullptr, a, 0);
        const uint32_t room = (variant / 16) % 3 == 0 ? 0 : (variant / 16) % 3 == 1 ? 8 : uint32_t(full + 1);
        Guarded<char> x(room);
        xfrm.resize(room + 1);
        QCHECK(KXLstrxfrm(room ? x.data() : nullptr, a, room) == std::strxfrm(room ? &xfrm[0] : nullptr, a, room));
        QCHECK(x.intact() && (full >= room || std::memcmp(x.data(), xfrm.data(), full + 1) == 0));
    }

    static thread_local std::u16string u1, u2;
    qref::Utf16Form(a, u1), qref::Utf16Form(b, u2);
    size_t i = 0;
    while (u1[i] == u2[i] && u1[i] != 0) ++i;
    QCHECK(KXLstricmp(a, b) == int32_t(u1[i]) - int32_t(u2[i]) && KXLstricmp(a, a) == 0);

    // Case change of the single-byte characters up to a bad sequence.
    const bool upper = (variant / 9) % 2 != 0;
    Guarded<char> t(len + 1);
    std::memcpy(t.data(), a, len + 1);
    QCHECK((upper ? KXLstrupr(t.data()) : KXLstrlwr(t.data())) == t.data() && t.intact() && t[len] == 0);
    std::string &want = second;
    want.assign(a, len);
    for (int32_t i = 0, l; i < int32_t(len) && (l = qref::CharLen(a + i)) > 0; i += l) {
        const int c = static_cast<unsigned char>(a[i]);
        if (l == 1) want[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    QCHECK(std::memcmp(t.data(), want.data(), len) == 0);

    uint32_t v = variant;
    std::memcpy(&v, bytes.data(), std::min<size_t>(bytes.size(), 4));
    const int32_t radix = static_cast<int32_t>((variant / 18) % 41) - 2;
    Guarded<char> un(33), sn(33);
    QCHECK(KXultoa(v, un.data(), radix) == un.data() && KXltoa(int32_t(v), sn.data(), radix) == sn.data());
    const std::string digits = qref::Radix(v, radix);
    QCHECK(un.intact() && std::strcmp(un.data(), digits.c_str()) == 0 && un.untouchedFrom(digits.size() + 1));
    const std::string sdigits = radix == 10 && int32_t(v) < 0 ? "-" + qref::Radix(0u - v, 10) : digits;
    QCHECK(sn.intact() && std::strcmp(sn.data(), sdigits.c_str()) == 0 && sn.untouchedFrom(sdigits.size() + 1));
    if (variant % 251 == 0) Country(bytes, variant);
}

}  // namespace qcheck
