// The uni family against plain loops written out here, with destinations
// between guard units; uniicmp/uninicmp in a fuzzer-chosen locale.
#include <quemba/unistr.h>

#include <cwctype>

#include "fuzz_common.h"

namespace {

using Str = std::vector<uint16_t>;  // with its terminator

size_t Len(const uint16_t *s) { return qfuzz::UnitLength(s); }
bool In(uint16_t c, const uint16_t *set) {
    for (; *set != 0; ++set) {
        if (*set == c) return true;
    }
    return false;
}
uint16_t Mono(uint16_t c) { return static_cast<uint16_t>(std::towlower(c)); }

int32_t Cmp(const uint16_t *a, const uint16_t *b, uint64_t n, bool fold) {
    for (uint64_t i = 0; i < n; ++i) {
        const int32_t x = fold ? Mono(a[i]) : a[i], y = fold ? Mono(b[i]) : b[i];
        if (x != y || a[i] == 0) return x - y;
    }
    return 0;
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);
    const Str s = qfuzz::ConsumeUnits(in, 80);
    Str t = qfuzz::ConsumeUnits(in, 20);
    if (in.ConsumeBool() && s.size() > 1) {
        // A piece of s, so that searches succeed.
        const size_t from = in.ConsumeIntegralInRange<size_t>(0, s.size() - 1);
        const size_t len = in.ConsumeIntegralInRange<size_t>(0, s.size() - 1 - from);
        t.assign(s.begin() + from, s.begin() + from + len);
        t.push_back(0);
    }
    const int32_t n = in.ConsumeIntegralInRange<int32_t>(-2, 100);
    const uint16_t c = in.ConsumeBool() && s.size() > 1 ? s[in.ConsumeIntegralInRange<size_t>(0, s.size() - 1)]
                                                        : in.ConsumeIntegral<uint16_t>();
    const size_t ls = s.size() - 1, lt = t.size() - 1;

    FUZZ_CHECK(unilen(s.data()) == ls && unisize(s.data()) == 2 * ls + 2);
    {
        qfuzz::Guarded<uint16_t> d(s.size());
        FUZZ_CHECK(unicpy(d.data(), s.data()) == d.data() && d.intact() && d.prefix(s.size()) == s);
        qfuzz::Guarded<uint16_t> e(s.size());
        FUZZ_CHECK(unipcpy(e.data(), s.data()) == e.data() + ls && e.intact() && e.prefix(s.size()) == s);
    }
    {
        // unincpy: at most n units, one terminator only when the source ends first.
        const size_t room = n > 0 ? std::min<size_t>(static_cast<size_t>(n), ls + 1) : 0;
        qfuzz::Guarded<uint16_t> d(room);
        FUZZ_CHECK(unincpy(d.data(), s.data(), n) == d.data() && d.intact());
        const size_t copied = n > 0 ? std::min<size_t>(static_cast<size_t>(n), ls) : 0;
        for (size_t i = 0; i < copied; ++i) FUZZ_CHECK(d[i] == s[i]);
        if (n > 0 && copied < static_cast<size_t>(n)) FUZZ_CHECK(d[copied] == 0);
    }
    {
        // unicat and unincat onto a copy of t.
        qfuzz::Guarded<uint16_t> d(lt + ls + 1);
        std::copy(t.begin(), t.end(), d.data());
        FUZZ_CHECK(unicat(d.data(), s.data()) == d.data() && d.intact());
        Str want(t.begin(), t.end() - 1);
        want.insert(want.end(), s.begin(), s.end());
        FUZZ_CHECK(d.prefix(want.size()) == want);
        qfuzz::Guarded<uint16_t> e(lt + ls + 1);
        std::copy(t.begin(), t.end(), e.data());
        FUZZ_CHECK(unincat(e.data(), s.data(), n) == e.data() && e.intact());
        const size_t add = n > 0 ? std::min<size_t>(static_cast<size_t>(n), ls) : 0;
        Str want2(t.begin(), t.end() - 1);
        want2.insert(want2.end(), s.begin(), s.begin() + add);
        want2.push_back(0);
        FUZZ_CHECK(e.prefix(want2.size()) == want2);
    }
    const uint32_t un = static_cast<uint32_t>(n < 0 ? -n : n);
    FUZZ_CHECK(unicmp(s.data(), t.data()) == Cmp(s.data(), t.data(), UINT64_MAX, false));
    FUZZ_CHECK(unincmp(s.data(), t.data(), un) == Cmp(s.data(), t.data(), un, false));
    FUZZ_CHECK(uniicmp(s.data(), t.data()) == Cmp(s.data(), t.data(), UINT64_MAX, true));
    FUZZ_CHECK(uninicmp(s.data(), t.data(), un) == Cmp(s.data(), t.data(), un, true));

    const uint16_t *first = nullptr, *last = nullptr;
    for (size_t i = 0; i <= ls; ++i) {
        if (s[i] == c) {
            if (first == nullptr) first = &s[i];
            last = &s[i];
        }
    }
    FUZZ_CHECK(unichr(s.data(), c) == first && unirchr(s.data(), c) == last);
    FUZZ_CHECK(unichr(s.data(), 0) == &s[ls] && unirchr(s.data(), 0) == &s[ls]);

    const uint16_t *found = nullptr;
    if (ls > 0) {
        for (size_t i = 0; i < ls && found == nullptr; ++i) {
            if (i + lt <= ls && std::equal(t.begin(), t.end() - 1, s.begin() + i)) found = &s[i];
        }
    }
    FUZZ_CHECK(unistr(s.data(), t.data()) == found);

    const uint16_t *brk = nullptr;
    size_t span = 0, cspan = 0;
    for (size_t i = 0; i < ls && brk == nullptr; ++i) {
        if (In(s[i], t.data())) brk = &s[i];
    }
    while (span < ls && In(s[span], t.data())) ++span;
    while (cspan < ls && !In(s[cspan], t.data())) ++cspan;
    FUZZ_CHECK(unipbrk(s.data(), t.data()) == brk && unispn(s.data(), t.data()) == span &&
               unicspn(s.data(), t.data()) == cspan);

    {
        Str w = s;
        FUZZ_CHECK(uniset(w.data(), c) == w.data());
        for (size_t i = 0; i < ls; ++i) FUZZ_CHECK(w[i] == c);
        FUZZ_CHECK(w[ls] == 0);
        w = s;
        FUZZ_CHECK(uninset(w.data(), c, n) == w.data());
        for (size_t i = 0; i < ls; ++i) FUZZ_CHECK(w[i] == (n > 0 && i < static_cast<size_t>(n) ? c : s[i]));
        FUZZ_CHECK(w[ls] == 0);
        w = s;
        FUZZ_CHECK(unirev(w.data()) == w.data() && w[ls] == 0);
        for (size_t i = 0; i < ls; ++i) FUZZ_CHECK(w[i] == s[ls - 1 - i]);
    }
    {
        // unitok: the tokens of s split at units of t, in order.
        Str w = s;
        std::vector<Str> want;
        Str cur;
        for (size_t i = 0; i <= ls; ++i) {
            if (i == ls || In(s[i], t.data())) {
                if (!cur.empty()) want.push_back(cur);
                cur.clear();
            } else {
                cur.push_back(s[i]);
            }
        }
        size_t k = 0;
        for (uint16_t *tok = unitok(w.data(), t.data()); tok != nullptr; tok = unitok(nullptr, t.data()), ++k) {
            FUZZ_CHECK(k < want.size() && tok >= w.data() && tok < w.data() + ls);
            FUZZ_CHECK(Str(tok, tok + Len(tok)) == want[k]);
        }
        FUZZ_CHECK(k == want.size());
        FUZZ_CHECK(unitok(nullptr, t.data()) == nullptr);
    }
    return 0;
}
