#include "cases.h"

#include <quemba/converter.h>
#include <quemba/standard.h>
#include <quemba/table_handle.h>
#include <quemba/unistr.h>
#include <quemba/utf8.h>

#include <iconv.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

#ifdef QUEMBA_BENCH_ICU
#include <unicode/ucnv.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#endif

namespace qbench {
namespace {

[[noreturn]] void Die(const char *why, long code) {
    std::fprintf(stderr, "bench cases: %s (%ld)\n", why, code);
    std::exit(2);
}

// Keeps results alive so the compiler cannot drop the calls.
volatile uintptr_t g_sink;

const uint16_t *U(const std::u16string &s) { return reinterpret_cast<const uint16_t *>(s.c_str()); }

// Output areas large enough for any text of the input, reused by every run.
struct Buffers {
    std::vector<uint16_t> units;
    std::vector<char> bytes;
    std::vector<wchar_t> wide;
    explicit Buffers(const Input &in) {
        size_t longest = 0;
        for (const Text &t : in.texts) longest = std::max(longest, std::max(t.bytes.size(), t.units.size()));
        units.resize(longest + 8);
        bytes.resize(longest * 4 + 8);
        wide.resize(longest + 8);
    }
};

bool SameUnits(const uint16_t *got, size_t n, const Text &t) {
    return n == t.units.size() && std::memcmp(got, t.units.data(), n * 2) == 0;
}
bool SameBytes(const char *got, size_t n, const Text &t) {
    return n == t.bytes.size() && std::memcmp(got, t.bytes.data(), n) == 0;
}

class Builder {
public:
    Builder(const Input &in, std::vector<Case> &out) : in_(in), out_(out), buf_(std::make_shared<Buffers>(in)) {}

    // Each `body` converts one text and returns an error message or null.
    template <typename F>
    void Add(const char *op, const char *impl, bool ours, size_t bytes, F body) {
        Case c;
        c.op = op;
        c.input = in_.name;
        c.size = in_.size;
        c.impl = impl;
        c.ours = ours;
        c.locale = in_.locale;
        c.bytes = bytes;
        const Input *in = &in_;
        std::shared_ptr<Buffers> buf = buf_;
        c.run = [in, buf, body](bool check) -> const char * {
            for (const Text &t : in->texts) {
                const char *err = body(t, *buf, check);
                if (check && err) return err;
            }
            return nullptr;
        };
        out_.push_back(std::move(c));
    }

    const Input &in() const { return in_; }

private:
    const Input &in_;
    std::vector<Case> &out_;
    std::shared_ptr<Buffers> buf_;
};

ConverterHandle g_handle;

void AddBytesToUnicode(Builder &b) {
    const Input &in = b.in();
    size_t n = in.totalBytes;
    b.Add("b2u", "KXUXByteToUnicode", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXByteToUnicode(g_handle, o.units.data(), static_cast<uint32_t>(o.units.size()), t.bytes.c_str(), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameUnits(o.units.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("b2u", "KXUXLenByteToUnicode", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXLenByteToUnicode(g_handle, o.units.data(), static_cast<uint32_t>(o.units.size()), t.bytes.data(),
                                          static_cast<int32_t>(t.bytes.size()), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameUnits(o.units.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("b2u", "KXUXByteToUnicode:length", true, n, [](const Text &t, Buffers &, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXByteToUnicode(g_handle, nullptr, 0, t.bytes.c_str(), &count);
        g_sink = count;
        if (check && (rc != 0 || count != t.units.size())) return "length differs";
        return nullptr;
    });
    b.Add("b2u", "KXUXLenByteToUnicode:length", true, n, [](const Text &t, Buffers &, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXLenByteToUnicode(g_handle, nullptr, 0, t.bytes.data(), static_cast<int32_t>(t.bytes.size()), &count);
        g_sink = count;
        if (check && (rc != 0 || count != t.units.size())) return "length differs";
        return nullptr;
    });
    b.Add("b2u", "KXUXByteToUnicodePath", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXByteToUnicodePath(g_handle, o.units.data(), static_cast<uint32_t>(o.units.size()), t.bytes.c_str(), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameUnits(o.units.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("b2u", "KXUSByteToUnicode", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUSByteToUnicode(o.units.data(), static_cast<uint32_t>(o.units.size()), t.bytes.c_str(), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameUnits(o.units.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("b2u", "KXLocalToUnicode", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXLocalToUnicode(0, o.units.data(), static_cast<uint32_t>(o.units.size()), t.bytes.c_str(), 0, &count);
        g_sink = count;
        if (check && (rc != 0 || count == 0 || !SameUnits(o.units.data(), count - 1, t))) return "output differs";
        return nullptr;
    });
    // The UTF-8 pair on every corpus: the UTF-8 form of the same text.
    {
        b.Add("b2u", "KXLUTF8ToUnicode", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
            uint32_t size = 0;
            int32_t rc = KXLUTF8ToUnicode(t.utf8.c_str(), static_cast<uint32_t>(o.units.size() * 2), o.units.data(), &size, nullptr);
            g_sink = size;
            if (check && (rc != 0 || size < 2 || !SameUnits(o.units.data(), size / 2 - 1, t))) return "output differs";
            return nullptr;
        });
    }

    // glibc iconv, opened once; each call starts from the initial state.
    iconv_t toU = iconv_open("UTF-16LE", in.codeset.c_str());
    if (toU == reinterpret_cast<iconv_t>(-1)) Die("iconv_open", errno);
    b.Add("b2u", "iconv", false, n, [toU](const Text &t, Buffers &o, bool check) -> const char * {
        iconv(toU, nullptr, nullptr, nullptr, nullptr);
        char *src = const_cast<char *>(t.bytes.data());
        size_t left = t.bytes.size();
        char *dst = reinterpret_cast<char *>(o.units.data());
        size_t room = o.units.size() * 2;
        size_t rc = iconv(toU, &src, &left, &dst, &room);
        size_t count = (o.units.size() * 2 - room) / 2;
        g_sink = count;
        if (check && (rc == static_cast<size_t>(-1) || !SameUnits(o.units.data(), count, t))) return "output differs";
        return nullptr;
    });
#ifdef QUEMBA_BENCH_ICU
    UErrorCode err = U_ZERO_ERROR;
    UConverter *cnv = ucnv_open(in.codeset.c_str(), &err);
    if (U_FAILURE(err)) Die("ucnv_open", err);
    b.Add("b2u", "ucnv_toUChars", false, n, [cnv](const Text &t, Buffers &o, bool check) -> const char * {
        UErrorCode e = U_ZERO_ERROR;
        int32_t count = ucnv_toUChars(cnv, reinterpret_cast<UChar *>(o.units.data()), static_cast<int32_t>(o.units.size()),
                                      t.bytes.data(), static_cast<int32_t>(t.bytes.size()), &e);
        g_sink = static_cast<uintptr_t>(count);
        if (check && (U_FAILURE(e) || !SameUnits(o.units.data(), static_cast<size_t>(count), t))) return "output differs";
        return nullptr;
    });
    {
        b.Add("b2u", "u_strFromUTF8", false, n, [](const Text &t, Buffers &o, bool check) -> const char * {
            UErrorCode e = U_ZERO_ERROR;
            int32_t count = 0;
            u_strFromUTF8(reinterpret_cast<UChar *>(o.units.data()), static_cast<int32_t>(o.units.size()), &count,
                          t.utf8.data(), static_cast<int32_t>(t.utf8.size()), &e);
            g_sink = static_cast<uintptr_t>(count);
            if (check && (U_FAILURE(e) || !SameUnits(o.units.data(), static_cast<size_t>(count), t))) return "output differs";
            return nullptr;
        });
    }
#endif
    b.Add("b2u", "mbsrtowcs", false, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        mbstate_t st{};
        const char *src = t.bytes.c_str();
        size_t count = mbsrtowcs(o.wide.data(), &src, o.wide.size(), &st);
        g_sink = count;
        if (check && (count != t.units.size() || std::wmemcmp(o.wide.data(), t.wide.data(), count) != 0)) return "output differs";
        return nullptr;
    });
    // One libc call per character into 16-bit units: the baseline to beat.
    b.Add("b2u", "naive mbrtowc", false, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        mbstate_t st{};
        const char *p = t.bytes.data();
        size_t left = t.bytes.size();
        uint16_t *dst = o.units.data();
        while (left > 0) {
            wchar_t wc;
            size_t k = mbrtowc(&wc, p, left, &st);
            if (k == 0 || k > left) break;
            *dst++ = static_cast<uint16_t>(wc);
            p += k;
            left -= k;
        }
        size_t count = static_cast<size_t>(dst - o.units.data());
        g_sink = count;
        if (check && !SameUnits(o.units.data(), count, t)) return "output differs";
        return nullptr;
    });
}

void AddUnicodeToBytes(Builder &b) {
    const Input &in = b.in();
    size_t n = in.totalUnits * 2;
    b.Add("u2b", "KXUXUnicodeToByte", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXUnicodeToByte(g_handle, o.bytes.data(), static_cast<uint32_t>(o.bytes.size()), U(t.units), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameBytes(o.bytes.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("u2b", "KXUXUnicodeToByte:length", true, n, [](const Text &t, Buffers &, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXUnicodeToByte(g_handle, nullptr, 0, U(t.units), &count);
        g_sink = count;
        if (check && (rc != 0 || count != t.bytes.size())) return "length differs";
        return nullptr;
    });
    b.Add("u2b", "KXUXUnicodeToBytePath", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXUnicodeToBytePath(g_handle, o.bytes.data(), static_cast<uint32_t>(o.bytes.size()), U(t.units), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameBytes(o.bytes.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("u2b", "KXUXUnicodeToBytePath:length", true, n, [](const Text &t, Buffers &, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUXUnicodeToBytePath(g_handle, nullptr, 0, U(t.units), &count);
        g_sink = count;
        if (check && (rc != 0 || count != t.bytes.size())) return "length differs";
        return nullptr;
    });
    b.Add("u2b", "KXUSUnicodeToByte", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUSUnicodeToByte(o.bytes.data(), static_cast<uint32_t>(o.bytes.size()), U(t.units), &count);
        g_sink = count;
        if (check && (rc != 0 || !SameBytes(o.bytes.data(), count, t))) return "output differs";
        return nullptr;
    });
    b.Add("u2b", "KXUnicodeToLocal", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        uint32_t count = 0;
        int32_t rc = KXUnicodeToLocal(0, o.bytes.data(), static_cast<uint32_t>(o.bytes.size()), U(t.units), 0, &count);
        g_sink = count;
        if (check && (rc != 0 || count == 0 || !SameBytes(o.bytes.data(), count - 1, t))) return "output differs";
        return nullptr;
    });
    {
        b.Add("u2b", "KXLUnicodeToUTF8", true, n, [](const Text &t, Buffers &o, bool check) -> const char * {
            uint32_t size = 0;
            int32_t rc = KXLUnicodeToUTF8(U(t.units), static_cast<uint32_t>(o.bytes.size()), o.bytes.data(), &size);
            g_sink = size;
            if (check && (rc != 0 || size != t.utf8.size() + 1 || std::memcmp(o.bytes.data(), t.utf8.data(), size - 1) != 0))
                return "output differs";
            return nullptr;
        });
    }

    iconv_t fromU = iconv_open(in.codeset.c_str(), "UTF-16LE");
    if (fromU == reinterpret_cast<iconv_t>(-1)) Die("iconv_open", errno);
    b.Add("u2b", "iconv", false, n, [fromU](const Text &t, Buffers &o, bool check) -> const char * {
        iconv(fromU, nullptr, nullptr, nullptr, nullptr);
        char *src = reinterpret_cast<char *>(const_cast<char16_t *>(t.units.data()));
        size_t left = t.units.size() * 2;
        char *dst = o.bytes.data();
        size_t room = o.bytes.size();
        size_t rc = iconv(fromU, &src, &left, &dst, &room);
        size_t count = o.bytes.size() - room;
        g_sink = count;
        if (check && (rc == static_cast<size_t>(-1) || !SameBytes(o.bytes.data(), count, t))) return "output differs";
        return nullptr;
    });
#ifdef QUEMBA_BENCH_ICU
    UErrorCode err = U_ZERO_ERROR;
    UConverter *cnv = ucnv_open(in.codeset.c_str(), &err);
    if (U_FAILURE(err)) Die("ucnv_open", err);
    b.Add("u2b", "ucnv_fromUChars", false, n, [cnv](const Text &t, Buffers &o, bool check) -> const char * {
        UErrorCode e = U_ZERO_ERROR;
        int32_t count = ucnv_fromUChars(cnv, o.bytes.data(), static_cast<int32_t>(o.bytes.size()), t.units.data(),
                                        static_cast<int32_t>(t.units.size()), &e);
        g_sink = static_cast<uintptr_t>(count);
        if (check && (U_FAILURE(e) || !SameBytes(o.bytes.data(), static_cast<size_t>(count), t))) return "output differs";
        return nullptr;
    });
    {
        b.Add("u2b", "u_strToUTF8", false, n, [](const Text &t, Buffers &o, bool check) -> const char * {
            UErrorCode e = U_ZERO_ERROR;
            int32_t count = 0;
            u_strToUTF8(o.bytes.data(), static_cast<int32_t>(o.bytes.size()), &count, t.units.data(),
                        static_cast<int32_t>(t.units.size()), &e);
            g_sink = static_cast<uintptr_t>(count);
            if (check && (U_FAILURE(e) || static_cast<size_t>(count) != t.utf8.size() ||
                          std::memcmp(o.bytes.data(), t.utf8.data(), t.utf8.size()) != 0))
                return "output differs";
            return nullptr;
        });
    }
#endif
    b.Add("u2b", "wcsrtombs", false, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        mbstate_t st{};
        const wchar_t *src = t.wide.c_str();
        size_t count = wcsrtombs(o.bytes.data(), &src, o.bytes.size(), &st);
        g_sink = count;
        if (check && !SameBytes(o.bytes.data(), count, t)) return "output differs";
        return nullptr;
    });
    b.Add("u2b", "naive wcrtomb", false, n, [](const Text &t, Buffers &o, bool check) -> const char * {
        mbstate_t st{};
        char *dst = o.bytes.data();
        for (const uint16_t *p = U(t.units); *p != 0; ++p) {
            size_t k = wcrtomb(dst, static_cast<wchar_t>(*p), &st);
            if (k == static_cast<size_t>(-1)) break;
            dst += k;
        }
        size_t count = static_cast<size_t>(dst - o.bytes.data());
        g_sink = count;
        if (check && !SameBytes(o.bytes.data(), count, t)) return "output differs";
        return nullptr;
    });
}

// Per text: a second, equal copy and the needle for the substring search.
struct UniExtras {
    std::vector<std::u16string> copies;
    std::vector<std::u16string> needles;
    std::vector<std::wstring> wideCopies;
    std::vector<std::wstring> wideNeedles;
};

const UniExtras &Extras(const Input &in) {
    static std::vector<std::pair<const Input *, std::unique_ptr<UniExtras>>> all;
    for (auto &e : all) {
        if (e.first == &in) return *e.second;
    }
    auto x = std::make_unique<UniExtras>();
    for (const Text &t : in.texts) {
        x->copies.push_back(t.units);
        // The shortest tail (8 units or more) that occurs only at the end,
        // so that every search scans the whole text.
        size_t k = std::min<size_t>(8, t.units.size());
        while (k < t.units.size() && t.units.find(t.units.substr(t.units.size() - k)) != t.units.size() - k) ++k;
        x->needles.push_back(t.units.substr(t.units.size() - k));
        x->wideCopies.push_back(t.wide);
        x->wideNeedles.push_back(t.wide.substr(t.wide.size() - k));
    }
    all.emplace_back(&in, std::move(x));
    return *all.back().second;
}

size_t Index(const Input &in, const Text &t) { return static_cast<size_t>(&t - in.texts.data()); }

void AddUniFunctions(Builder &b) {
    const Input &in = b.in();
    const Input *pin = &in;
    const UniExtras *x = &Extras(in);
    size_t n = in.totalUnits * 2;
    // No unit of the prose is U+FFFF: the searches for it scan the whole text.
    const uint16_t absent = 0xFFFF;

    b.Add("unilen", "unilen", true, n, [](const Text &t, Buffers &, bool check) -> const char * {
        uint32_t r = unilen(U(t.units));
        g_sink = r;
        return check && r != t.units.size() ? "wrong length" : nullptr;
    });
    b.Add("unicmp", "unicmp", true, n, [pin, x](const Text &t, Buffers &, bool check) -> const char * {
        int32_t r = unicmp(U(t.units), U(x->copies[Index(*pin, t)]));
        g_sink = static_cast<uintptr_t>(r);
        return check && r != 0 ? "wrong comparison" : nullptr;
    });
    b.Add("unichr", "unichr", true, n, [absent](const Text &t, Buffers &, bool check) -> const char * {
        const uint16_t *r = unichr(U(t.units), absent);
        g_sink = reinterpret_cast<uintptr_t>(r);
        return check && r != nullptr ? "found an absent unit" : nullptr;
    });
    b.Add("unistr", "unistr", true, n, [pin, x](const Text &t, Buffers &, bool check) -> const char * {
        const std::u16string &needle = x->needles[Index(*pin, t)];
        const uint16_t *r = unistr(U(t.units), U(needle));
        g_sink = reinterpret_cast<uintptr_t>(r);
        return check && r != U(t.units) + t.units.size() - needle.size() ? "wrong match" : nullptr;
    });
    b.Add("uniicmp", "kxusuniicmp", true, n, [](const Text &t, Buffers &, bool check) -> const char * {
        int32_t r = kxusuniicmp(U(t.units), U(t.upper));
        g_sink = static_cast<uintptr_t>(r);
        return check && r != 0 ? "wrong comparison" : nullptr;
    });
#ifdef QUEMBA_BENCH_ICU
    b.Add("unilen", "u_strlen", false, n, [](const Text &t, Buffers &, bool check) -> const char * {
        int32_t r = u_strlen(t.units.c_str());
        g_sink = static_cast<uintptr_t>(r);
        return check && static_cast<size_t>(r) != t.units.size() ? "wrong length" : nullptr;
    });
    b.Add("unicmp", "u_strcmp", false, n, [pin, x](const Text &t, Buffers &, bool check) -> const char * {
        int32_t r = u_strcmp(t.units.c_str(), x->copies[Index(*pin, t)].c_str());
        g_sink = static_cast<uintptr_t>(r);
        return check && r != 0 ? "wrong comparison" : nullptr;
    });
    b.Add("unichr", "u_strchr", false, n, [absent](const Text &t, Buffers &, bool check) -> const char * {
        const UChar *r = u_strchr(t.units.c_str(), absent);
        g_sink = reinterpret_cast<uintptr_t>(r);
        return check && r != nullptr ? "found an absent unit" : nullptr;
    });
    b.Add("unistr", "u_strstr", false, n, [pin, x](const Text &t, Buffers &, bool check) -> const char * {
        const std::u16string &needle = x->needles[Index(*pin, t)];
        const UChar *r = u_strstr(t.units.c_str(), needle.c_str());
        g_sink = reinterpret_cast<uintptr_t>(r);
        return check && r != t.units.c_str() + t.units.size() - needle.size() ? "wrong match" : nullptr;
    });
    b.Add("uniicmp", "u_strcasecmp", false, n, [](const Text &t, Buffers &, bool check) -> const char * {
        int32_t r = u_strcasecmp(t.units.c_str(), t.upper.c_str(), U_FOLD_CASE_DEFAULT);
        g_sink = static_cast<uintptr_t>(r);
        return check && r != 0 ? "wrong comparison" : nullptr;
    });
#endif
    b.Add("unilen", "wcslen", false, n, [](const Text &t, Buffers &, bool check) -> const char * {
        size_t r = wcslen(t.wide.c_str());
        g_sink = r;
        return check && r != t.units.size() ? "wrong length" : nullptr;
    });
    b.Add("unicmp", "wcscmp", false, n, [pin, x](const Text &t, Buffers &, bool check) -> const char * {
        int r = wcscmp(t.wide.c_str(), x->wideCopies[Index(*pin, t)].c_str());
        g_sink = static_cast<uintptr_t>(r);
        return check && r != 0 ? "wrong comparison" : nullptr;
    });
    b.Add("unichr", "wcschr", false, n, [absent](const Text &t, Buffers &, bool check) -> const char * {
        const wchar_t *r = wcschr(t.wide.c_str(), absent);
        g_sink = reinterpret_cast<uintptr_t>(r);
        return check && r != nullptr ? "found an absent unit" : nullptr;
    });
    b.Add("unistr", "wcsstr", false, n, [pin, x](const Text &t, Buffers &, bool check) -> const char * {
        const std::wstring &needle = x->wideNeedles[Index(*pin, t)];
        const wchar_t *r = wcsstr(t.wide.c_str(), needle.c_str());
        g_sink = reinterpret_cast<uintptr_t>(r);
        return check && r != t.wide.c_str() + t.wide.size() - needle.size() ? "wrong match" : nullptr;
    });
    b.Add("uniicmp", "wcscasecmp", false, n, [](const Text &t, Buffers &, bool check) -> const char * {
        int r = wcscasecmp(t.wide.c_str(), t.upperWide.c_str());
        g_sink = static_cast<uintptr_t>(r);
        return check && r != 0 ? "wrong comparison" : nullptr;
    });
}

}  // namespace

std::vector<Case> MakeCases(const std::vector<Input> &inputs) {
    int32_t rc = KXUXLoadByteUnicodeConverter(0, &g_handle);
    if (rc != 0) Die("KXUXLoadByteUnicodeConverter", rc);
    rc = KXUSStandardUnicodeInit();
    if (rc != 0) Die("KXUSStandardUnicodeInit", rc);
    std::vector<Case> cases;
    for (const Input &in : inputs) {
        Builder b(in, cases);
        AddBytesToUnicode(b);
        AddUnicodeToBytes(b);
        // The UTF-16 functions do not depend on the byte encoding: once per language.
        if (in.utf8) AddUniFunctions(b);
    }
    return cases;
}

bool EnterLocale(const Case &c) { return std::setlocale(LC_ALL, c.locale.c_str()) != nullptr; }

}  // namespace qbench
