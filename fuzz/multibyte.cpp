// Multibyte helpers, collation, case change and number text, each against
// the character walk written out here with libc's mbrtowc, in a
// fuzzer-chosen locale; outputs between guard bytes.
#include <quemba/locale_services.h>

#include <climits>
#include <cwchar>

#include "fuzz_common.h"

namespace {

int Len(const char *p, std::mbstate_t *st, size_t limit = 16) {
    return static_cast<int>(static_cast<int32_t>(std::mbrtowc(nullptr, p, limit, st)));
}
bool Single() { return MB_CUR_MAX < 2; }

const char *PrevModel(const char *start, const char *pos) {
    if (pos < start) return nullptr;
    if (pos == start) return start;
    std::mbstate_t st{};
    for (const char *p = start;;) {
        const int n = Len(p, &st);
        if (n <= 0) return start;
        if (p + n >= pos) return p;
        p += n;
    }
}

std::vector<uint16_t> Utf16Model(const char *s) {
    std::vector<uint16_t> u;
    size_t left = std::strlen(s);
    std::mbstate_t st{};
    while (left > 0) {
        wchar_t w = 0;
        const size_t n = std::mbrtowc(&w, s, left, &st);
        const uint32_t c = static_cast<uint32_t>(w);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0 ||
            (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            u.push_back(static_cast<uint16_t>(0xDC00 | static_cast<unsigned char>(*s)));
            ++s;
            --left;
            st = std::mbstate_t{};
            continue;
        }
        if (c <= 0xFFFF) {
            u.push_back(static_cast<uint16_t>(c));
        } else {
            u.push_back(static_cast<uint16_t>(0xD800 | ((c - 0x10000) >> 10)));
            u.push_back(static_cast<uint16_t>(0xDC00 | ((c - 0x10000) & 0x3FF)));
        }
        s += n;
        left -= n;
    }
    u.push_back(0);
    return u;
}

int32_t StrnCollModel(const char *a, const char *b, uint32_t n) {
    std::mbstate_t s1{}, s2{};
    for (; n != 0; --n) {
        if (*a == 0) return *b == 0 ? 0 : -1;
        if (*b == 0) return 1;
        int l1 = 1, l2 = 1;
        if (!Single()) {
            l1 = Len(a, &s1);
            l2 = Len(b, &s2);
            if (l1 < 0 || l2 < 0) {
                const int c = std::strcmp(a, b);
                return (c > 0) - (c < 0);
            }
        }
        const std::string c1(a, l1), c2(b, l2);
        const int o = std::strcoll(c1.c_str(), c2.c_str());
        if (o != 0) return o;
        a += l1;
        b += l2;
    }
    return 0;
}

std::string CaseModel(std::string s, bool upper) {
    std::mbstate_t st{};
    for (size_t i = 0; i < s.size();) {
        const int n = Len(s.c_str() + i, &st);
        if (n <= 0) break;
        if (n == 1) {
            const int c = static_cast<unsigned char>(s[i]);
            s[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
        }
        i += static_cast<size_t>(n);
    }
    return s;
}

std::string Radix(uint32_t v, int radix) {
    if (radix < 2 || radix > 36) return "";
    std::string d;
    do {
        d.insert(d.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[v % static_cast<uint32_t>(radix)]);
        v /= static_cast<uint32_t>(radix);
    } while (v != 0);
    return d;
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);
    const int which = in.ConsumeIntegralInRange(0, 9);
    const std::string a = qfuzz::ConsumeBytes(in, 120);
    const std::string b = in.ConsumeBool() ? a.substr(0, in.ConsumeIntegralInRange<size_t>(0, a.size()))
                                           : qfuzz::ConsumeBytes(in, 60);
    const uint32_t n = in.ConsumeIntegralInRange<uint32_t>(0, 140);
    // The text in a block of exactly its bytes and terminator.
    std::vector<char> text(a.c_str(), a.c_str() + a.size() + 1);
    const char *s = text.data();

    switch (which) {
    case 0: {  // lengths
        FUZZ_CHECK(KXstrlen(s) == a.size());
        std::mbstate_t st{};
        uint32_t chars = 0;
        if (Single()) {
            chars = static_cast<uint32_t>(a.size());
        } else if (*s != 0) {
            for (const char *p = s;;) {
                const int l = Len(p, &st, MB_CUR_MAX);
                if (l < 0) break;
                p += l;
                ++chars;
                if (*p == 0) break;
            }
        }
        FUZZ_CHECK(KXLmbslen(s) == chars);
        std::mblen(nullptr, 0);
        const int32_t mine = KXLmblen(s, n);
        std::mblen(nullptr, 0);
        FUZZ_CHECK(mine == std::mblen(s, n));
        std::mblen(nullptr, 0);
        break;
    }
    case 1: {  // stepping forwards and backwards
        const size_t off = in.ConsumeIntegralInRange<size_t>(0, a.size());
        std::mbstate_t mine{}, model{};
        const char *next = KXNextChar_r(s + off, &mine);
        const int l = Len(s + off, &model);
        FUZZ_CHECK(next == (s[off] == 0 ? s + off : l >= 0 ? s + off + l : s + a.size()));
        FUZZ_CHECK(KXNextChar_r(nullptr, &mine) == nullptr && KXNextChar(nullptr) == nullptr);
        std::mblen(nullptr, 0);
        const char *plain = KXNextChar(s + off);
        std::mblen(nullptr, 0);
        const int ml = std::mblen(s + off, 16);
        std::mblen(nullptr, 0);
        FUZZ_CHECK(plain == (s[off] == 0 ? s + off : ml != -1 ? s + off + ml : s + a.size()));
        const char *prev = KXPrevChar(s, s + off);
        FUZZ_CHECK(prev == PrevModel(s, s + off) && prev >= s && prev <= s + off);
        FUZZ_CHECK(KXPrevChar(s + 1, s) == nullptr && KXPrevChar(nullptr, s) == nullptr);
        break;
    }
    case 2: {  // truncation in place
        const int32_t max = in.ConsumeIntegralInRange<int32_t>(-3, static_cast<int32_t>(a.size()) + 3);
        std::string want = a;
        int32_t wantLen = static_cast<int32_t>(a.size());
        if (max <= 0) {
            want.clear();
            wantLen = 0;
        } else if (static_cast<int32_t>(a.size()) >= max) {
            want.resize(static_cast<size_t>(PrevModel(a.c_str(), a.c_str() + max) - a.c_str()));
            wantLen = static_cast<int32_t>(std::strlen(want.c_str()));
            want.resize(static_cast<size_t>(wantLen));
        }
        const int32_t got = KXLTruncateString(text.data(), max);
        FUZZ_CHECK(got == wantLen && std::string(s) == want);
        FUZZ_CHECK(max <= 0 || got < max || got == static_cast<int32_t>(a.size()));
        // Only the terminator was written.
        for (size_t i = static_cast<size_t>(got) + 1; i <= a.size(); ++i) FUZZ_CHECK(text[i] == a.c_str()[i]);
        break;
    }
    case 3: {  // counted character copy
        qfuzz::Guarded<char> dest(a.size() + 1);
        char *r = KXstrncpy(dest.data(), s, n);
        FUZZ_CHECK(dest.intact() && r == dest.data());
        size_t copied = 0;
        bool term = false;
        if (n != 0) {
            std::mbstate_t st{};
            uint32_t chars = 0;
            for (;;) {
                if (s[copied] == 0) { term = true; break; }
                const int l = Single() ? 1 : Len(s + copied, &st);
                if (l < 0) { term = true; break; }
                copied += static_cast<size_t>(l);
                if (++chars == n) break;
            }
        }
        FUZZ_CHECK(std::memcmp(dest.data(), s, copied) == 0);
        if (term) FUZZ_CHECK(dest[copied] == 0);
        for (size_t i = copied + term; i < dest.size(); ++i) FUZZ_CHECK(dest[i] == dest.kFill);
        FUZZ_CHECK(KXstrncpy(nullptr, s, n) == nullptr && KXstrncpy(dest.data(), nullptr, n) == nullptr);
        break;
    }
    case 4: {  // bounded copy of whole characters
        qfuzz::Guarded<char> dest(n);
        char *r = KXLstrbcpy(dest.data(), s, n);
        FUZZ_CHECK(dest.intact() && r == dest.data());
        if (n == 0) break;
        size_t copied = 0, room = n - 1;
        std::mbstate_t st{};
        while (room != 0 && s[copied] != 0) {
            if (Single()) { ++copied; --room; continue; }
            const int l = Len(s + copied, &st);
            if (l == -1 || static_cast<uint32_t>(l) > room) break;
            copied += static_cast<size_t>(l);
            room -= static_cast<size_t>(l);
        }
        FUZZ_CHECK(std::memcmp(dest.data(), s, copied) == 0 && dest[copied] == 0);
        for (size_t i = copied + 1; i < n; ++i) FUZZ_CHECK(dest[i] == dest.kFill);
        FUZZ_CHECK(KXLstrbcpy(nullptr, s, n) == nullptr);
        break;
    }
    case 5: {  // character set search
        const char *got = KXLstrpbrk(s, b.c_str());
        const char *want = nullptr;
        if (Single()) {
            const char *p = std::strpbrk(s, b.c_str());
            want = p;
        } else if (*s != 0) {
            std::mbstate_t ss{};
            for (const char *c = s; *c != 0 && want == nullptr;) {
                std::mbstate_t sa{};
                bool bad = false;
                for (const char *x = b.c_str(); *x != 0;) {
                    std::mbstate_t t1 = sa, t2 = ss;
                    const int la = Len(x, &t1), lc = Len(c, &t2);
                    if (la < 0 || lc < 0) { bad = true; break; }
                    if (la == lc && std::memcmp(x, c, static_cast<size_t>(la)) == 0) { want = c; break; }
                    x += Len(x, &sa);
                }
                if (bad) { want = nullptr; break; }
                if (want != nullptr) break;
                const int l = Len(c, &ss);
                if (l < 0) break;
                c += l;
            }
        }
        FUZZ_CHECK(got == want);
        break;
    }
    case 6: {  // collation
        const int32_t mine = KXLstrcoll(s, b.c_str()), libc = std::strcoll(s, b.c_str());
        FUZZ_CHECK(mine == libc);
        FUZZ_CHECK(KXstrncoll(s, b.c_str(), n) == StrnCollModel(s, b.c_str(), n));
        FUZZ_CHECK(KXstrncoll(s, s, n) == 0);
        qfuzz::Guarded<char> dest(n);
        std::vector<char> ref(n + 1);
        const uint32_t x = KXLstrxfrm(dest.data(), s, n);
        FUZZ_CHECK(dest.intact() && x == std::strxfrm(ref.data(), s, n));
        if (x < n) FUZZ_CHECK(std::memcmp(dest.data(), ref.data(), x + 1) == 0);
        break;
    }
    case 7: {  // comparison through UTF-16
        const std::vector<uint16_t> u1 = Utf16Model(s), u2 = Utf16Model(b.c_str());
        int32_t want = 0;
        for (size_t i = 0;; ++i) {
            if (u1[i] != u2[i] || u1[i] == 0) { want = int32_t(u1[i]) - int32_t(u2[i]); break; }
        }
        FUZZ_CHECK(KXLstricmp(s, b.c_str()) == want && KXLstricmp(s, s) == 0);
        FUZZ_CHECK((want == 0) == (u1 == u2));
        break;
    }
    case 8: {  // case change in place
        const bool upper = in.ConsumeBool();
        char *r = upper ? KXLstrupr(text.data()) : KXLstrlwr(text.data());
        FUZZ_CHECK(r == text.data() && std::string(s) == CaseModel(a, upper) && text[a.size()] == 0);
        break;
    }
    default: {  // number text
        const uint32_t v = in.ConsumeIntegral<uint32_t>();
        const int32_t radix = in.ConsumeIntegralInRange<int32_t>(-1, 40);
        qfuzz::Guarded<char> buf(33);
        FUZZ_CHECK(KXultoa(v, buf.data(), radix) == buf.data() && buf.intact());
        FUZZ_CHECK(std::string(buf.data()) == Radix(v, radix));
        const int32_t sv = static_cast<int32_t>(v);
        qfuzz::Guarded<char> sbuf(33);
        FUZZ_CHECK(KXltoa(sv, sbuf.data(), radix) == sbuf.data() && sbuf.intact());
        std::string want = Radix(v, radix);
        if (radix == 10 && sv < 0) want = "-" + Radix(0u - v, 10);
        FUZZ_CHECK(std::string(sbuf.data()) == want);
        break;
    }
    }
    return 0;
}
