// The multibyte helpers and the locale services against the models: every
// step, cut, copy and search lands where libc's characters end.
#include <quemba/locale_services.h>

#include <langinfo.h>

#include <algorithm>
#include <cstring>

#include "check.h"
#include "models.h"

namespace qcheck {

namespace {

// The context, and the text up to its first NUL between canaries.
Guarded<char> Start(const char *family, const std::string &bytes, uint32_t variant) {
    Say(family, bytes.data(), bytes.size(), variant);
    Guarded<char> copy(std::strlen(bytes.c_str()) + 1);
    std::memcpy(copy.data(), bytes.c_str(), copy.size());
    return copy;
}

// A second string: what follows the first NUL, else a few bytes of the first.
const char *Second(const std::string &bytes, uint32_t variant, std::string &keep) {
    const size_t len = std::strlen(bytes.c_str());
    return len < bytes.size() ? bytes.c_str() + len + 1 : keep.assign(bytes, variant % (len + 1), 1 + variant % 5).c_str();
}

// A text field of the record: whole, or cut after the last whole character
// (as LC_CTYPE reads it) that leaves room for the terminator. A grouping
// keeps its whole sizes, the first as its digit, "0" for none.
template <size_t N>
bool Cut(const char (&field)[N], const char *text, bool grouping = false) {
    std::string want(text, strnlen(text, grouping ? N - 1 : N));
    if (grouping) want.resize(std::max<size_t>(want.size(), 1)), want[0] = char(want[0] + '0');
    if (want.size() == N) {
        size_t kept = 0;
        for (int32_t n; (n = qref::CharLen(text + kept, N - 1 - kept)) > 0 && kept + size_t(n) < N;) kept += size_t(n);
        want.resize(kept);
    }
    return std::memcmp(field, want.c_str(), want.size() + 1) == 0;
}

// Country information, with the environment's locale and the monetary and
// numeric locale taken from the input; the sweep's LC_CTYPE decides where
// texts are cut. Everything is put back.
void Country(const std::string &bytes, uint32_t variant) {
    const auto &names = Locales();
    uint32_t h = variant * 2654435761u;
    for (unsigned char c : bytes.substr(0, 8)) h = (h ^ c) * 16777619u;
    const auto pick = [&](unsigned shift) {
        const size_t i = (h >> shift) % (names.size() + 2);
        return i < names.size() ? names[i].c_str() : i == names.size() ? "xx_NOWHERE.UTF-8" : "";
    };
    const char *old = getenv("LC_ALL"), *env = *pick(0) != 0 ? pick(0) : "POSIX";
    const std::string saved = std::setlocale(LC_ALL, nullptr), oldEnv = old != nullptr ? old : "";
    setenv("LC_ALL", env, 1);
    // The environment's telephone prefix and AM/PM, read by name.
    for (int c : {LC_TELEPHONE, LC_TIME}) std::setlocale(c, env) != nullptr || std::setlocale(c, "C");
    const long country = std::strtol(nl_langinfo(_NL_TELEPHONE_INT_PREFIX), nullptr, 10);
    const std::string am = nl_langinfo(AM_STR), pm = nl_langinfo(PM_STR);
    std::setlocale(LC_ALL, saved.c_str());
    std::setlocale(LC_MONETARY, pick(6)), std::setlocale(LC_NUMERIC, pick(6));
    const std::string before = std::setlocale(LC_ALL, nullptr);

    CountryInfo info;
    const auto raw = reinterpret_cast<unsigned char *>(std::memset(&info, 0xEE, sizeof info));
    QCHECK((variant & 1 ? KXLlocaleconv(&info) == &info : _KXGetCountryInfo(&info) == 0) &&
           before == std::setlocale(LC_ALL, nullptr));
    const lconv &lc = *localeconv();
    QCHECK(Cut(info.decimal_point, lc.decimal_point) && Cut(info.thousands_sep, lc.thousands_sep) &&
           Cut(info.int_curr_symbol, lc.int_curr_symbol) && Cut(info.currency_symbol, lc.currency_symbol));
    QCHECK(Cut(info.mon_decimal_point, lc.mon_decimal_point) && Cut(info.mon_thousands_sep, lc.mon_thousands_sep) &&
           Cut(info.positive_sign, lc.positive_sign) && Cut(info.negative_sign, lc.negative_sign));
    QCHECK(Cut(info.grouping, lc.grouping, true) && Cut(info.mon_grouping, lc.mon_grouping, true));
    QCHECK(std::memcmp(&info.int_frac_digits, &lc.int_frac_digits, 8) == 0 && info.code_page == 0);
    QCHECK(info.country_code == country && info.reserved == 0 && std::memcmp(info.sep_1, " \0/\0:\0\0\xEE", 8) == 0);
    QCHECK(std::strcmp(info.am_string, am.size() < 33 ? am.c_str() : "") == 0 &&
           std::strcmp(info.pm_string, pm.size() < 33 ? pm.c_str() : "") == 0);
    QCHECK(std::all_of(raw + 142, raw + sizeof info, [](unsigned char c) { return c == 0xEE; }));
    std::setlocale(LC_ALL, saved.c_str());
    old != nullptr ? setenv("LC_ALL", oldEnv.c_str(), 1) : unsetenv("LC_ALL");
}

}  // namespace

// variant % 4: KXLmblen's limit (or the bytes left); /4: truncation max;
// /8: strbcpy size; /32: strncpy count.
void Multibyte(const std::string &bytes, uint32_t variant) {
    static thread_local std::vector<uint32_t> at;
    static thread_local std::string second;
    Guarded<char> t = Start("multibyte", bytes, variant);
    const char *s = bytes.c_str();
    const size_t len = t.size() - 1, chars = (qref::Walk(s, at), at.size() - 1);
    const bool single = MB_CUR_MAX < 2;
    QCHECK(KXstrlen(s) == len && KXLmbslen(s) == (single ? len : chars));
    std::mbstate_t state{};
    for (size_t i = 0; i <= chars; i += i < 32 ? 1 : 7) {  // every seventh in a long text
        const char *p = s + at[i], *next = i < chars ? s + at[i + 1] : *p == 0 ? p : s + len;
        QCHECK(KXNextChar(p) == next && KXNextChar_r(p, &state) == next && KXNextChar_r(p, nullptr) == next);
        const uint32_t limit = variant % 4 != 0 ? variant % 4 : static_cast<uint32_t>(len - at[i] + 1);
        QCHECK(KXLmblen(p, limit) == std::max(qref::CharLen(p, limit), -1));
    }
    for (size_t step = len < 8 ? 1 : len / 8, pos = variant % step; pos <= len + 1; pos += step)
        QCHECK(KXPrevChar(s, s + pos) == s + qref::PrevAt(at, pos));

    // In place to fewer than max bytes: only the terminator moves.
    const int32_t max = static_cast<int32_t>((variant / 4) % (len + 3)) - 1;
    const size_t cut = max <= 0 ? 0 : static_cast<size_t>(max) > len ? len : qref::PrevAt(at, max);
    QCHECK(KXLTruncateString(t.data(), max) == static_cast<int32_t>(cut) && t[cut] == 0 && t.intact());
    for (size_t i = 0; i <= len; ++i) QCHECK(i == cut || t[i] == s[i]);

    // Whole characters into size bytes, terminated unless size is 0.
    const uint32_t size = (variant / 8) % (len + 3);
    Guarded<char> b(size);
    QCHECK(KXLstrbcpy(b.data(), s, size) == b.data() && b.intact());
    const size_t fits = size == 0 ? 0 : single ? std::min<size_t>(size - 1, len)
                                               : *(std::upper_bound(at.begin(), at.end(), size - 1) - 1);
    QCHECK(std::memcmp(b.data(), s, fits) == 0 && (size == 0 || b[fits] == 0) && b.untouchedFrom(fits + (size != 0)));

    // n characters, terminated only when the text (or its characters) ends first.
    const size_t have = single ? len : chars;
    const uint32_t n = (variant / 32) % (have + 2);
    const bool ends = n != 0 && n > have;
    const size_t copied = n == 0 ? 0 : single ? std::min<size_t>(n, len) : at[std::min<size_t>(n, chars)];
    Guarded<char> c(len + 1);
    QCHECK(KXstrncpy(c.data(), s, n) == c.data() && c.intact() && std::memcmp(c.data(), s, copied) == 0);
    QCHECK((!ends || c[copied] == 0) && c.untouchedFrom(copied + ends));

    // The first character of s that is one of accept's; a bad sequence in
    // either ends the search.
    const char *accept = Second(bytes, variant, second), *want = single ? std::strpbrk(s, accept) : nullptr;
    for (size_t i = 0, bad = 0; !single && !bad && want == nullptr && i < chars; ++i) {
        const char *x = accept;
        for (int32_t lx; *x != 0 && want == nullptr && !(bad = (lx = qref::CharLen(x)) < 0); x += lx)
            if (uint32_t(lx) == at[i + 1] - at[i] && std::memcmp(x, s + at[i], size_t(lx)) == 0) want = s + at[i];
    }
    QCHECK(KXLstrpbrk(s, accept) == want);
}

// variant % 16 == 0: collation (slow in some charsets), /16 % 3 the strncoll
// count; /9 % 2: upper or lower case; every 1009th the country information;
// % 8 == 1 number text (the same in every locale), /18 % 41 - 2 its radix.
void LocaleServices(const std::string &bytes, uint32_t variant) {
    static thread_local std::string second;
    static thread_local std::u16string u1, u2;
    Guarded<char> t = Start("locale", bytes, variant);
    const char *a = bytes.c_str(), *b = Second(bytes, variant, second);
    const size_t len = t.size() - 1;
    const uint32_t n = (variant / 16) % 3 == 0 ? ~0u : (variant / 16) % 3 == 1 ? 1 : uint32_t(len / 2 + 1);
    if (variant % 16 == 0) QCHECK(KXLstrcoll(a, b) == std::strcoll(a, b) && KXstrncoll(a, b, n) == qref::StrnColl(a, b, n));
    qref::Utf16Form(a, u1), qref::Utf16Form(b, u2);
    const size_t i = std::mismatch(u1.begin(), u1.end(), u2.begin(), u2.end()).first - u1.begin();
    QCHECK(KXLstricmp(a, b) == int32_t(u1.c_str()[i]) - int32_t(u2.c_str()[i]) && KXLstricmp(a, a) == 0);

    // Case change of the single-byte characters up to a bad sequence.
    const bool upper = (variant / 9) % 2 != 0;
    QCHECK((upper ? KXLstrupr(t.data()) : KXLstrlwr(t.data())) == t.data() && t.intact() && t[len] == 0);
    std::string &want = second.assign(a, len);
    for (int32_t at = 0, l; at < int32_t(len) && (l = qref::CharLen(a + at)) > 0; at += l)
        if (l == 1) want[at] = static_cast<char>(upper ? std::toupper(uint8_t(a[at])) : std::tolower(uint8_t(a[at])));
    QCHECK(std::memcmp(t.data(), want.data(), len) == 0);

    if (variant % 1009 == 0) Country(bytes, variant);
    if (variant % 8 != 1) return;
    uint32_t v = variant;
    std::memcpy(&v, bytes.data(), std::min<size_t>(bytes.size(), 4));
    const int32_t radix = static_cast<int32_t>((variant / 18) % 41) - 2;
    const std::string digits = qref::Radix(v, radix);
    const std::string signed10 = radix == 10 && int32_t(v) < 0 ? "-" + qref::Radix(0u - v, 10) : digits;
    Guarded<char> un(33), sn(33);
    QCHECK(KXultoa(v, un.data(), radix) == un.data() && KXltoa(int32_t(v), sn.data(), radix) == sn.data());
    QCHECK(un.intact() && std::strcmp(un.data(), digits.c_str()) == 0 && un.untouchedFrom(digits.size() + 1));
    QCHECK(sn.intact() && std::strcmp(sn.data(), signed10.c_str()) == 0 && sn.untouchedFrom(signed10.size() + 1));
}

}  // namespace qcheck
