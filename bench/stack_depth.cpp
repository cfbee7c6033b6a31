// Peak stack of one call per entry point. Each call runs on a thread whose
// stack was painted first; the deepest byte changed, less that of a thread
// that calls nothing (glibc keeps the thread's TLS at the top of the
// stack it is given), is what the call used, libc's own frames included.
// Inputs: the benchmark texts at 1 MiB, with escapes and bytes or units
// that do not map, in every mode the entry point has.
//   quemba_stack_depth     (LOCPATH=<build>/locales)
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/table_handle.h>
#include <quemba/utf8.h>

#include <pthread.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "inputs.h"

namespace {

constexpr size_t kStack = 1 << 20;
constexpr unsigned char kPaint = 0xA5;

size_t Used(const std::function<void()> &call) {
    static auto *stack = static_cast<unsigned char *>(std::aligned_alloc(4096, kStack));
    std::memset(stack, kPaint, kStack);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack, kStack);
    pthread_t thread;
    auto body = [](void *f) -> void * { (*static_cast<const std::function<void()> *>(f))(); return nullptr; };
    if (pthread_create(&thread, &attr, body, const_cast<std::function<void()> *>(&call)) != 0) std::abort();
    pthread_join(thread, nullptr);
    size_t untouched = 0;
    while (untouched < kStack && stack[untouched] == kPaint) ++untouched;
    return kStack - untouched;
}

}  // namespace

int main() {
    const std::vector<qbench::Input> inputs = qbench::MakeInputs();
    const size_t base = Used([] {});
    std::map<std::string, size_t> peak;
    std::vector<uint16_t> units(4 << 20);
    std::vector<char> bytes(8 << 20);
    uint32_t n = 0;
    ConverterHandle h = nullptr;
    KXUSStandardUnicodeInit();
    for (const qbench::Input &in : inputs) {
        if (in.size != "1M") continue;
        std::setlocale(LC_ALL, in.locale.c_str());
        // The text with an escape, a byte no charset maps and a lone surrogate after it.
        const std::string b = in.texts[0].bytes + "[00E9]\xFF" + in.texts[0].bytes.substr(0, 4096);
        const std::u16string u = in.texts[0].units + u"[E9]\xDC00\\" + in.texts[0].units.substr(0, 4096);
        const auto *s16 = reinterpret_cast<const uint16_t *>(u.c_str());
        const char *s8 = b.c_str();
        uint16_t *o16 = units.data();
        char *o8 = bytes.data();
        const auto size16 = static_cast<uint32_t>(units.size()), size8 = static_cast<uint32_t>(bytes.size());
        const std::map<std::string, std::function<void()>> calls = {
            {"KXUXByteToUnicode", [&] { KXUXByteToUnicode(h, o16, size16, s8, &n); }},
            {"KXUXByteToUnicode (length only)", [&] { KXUXByteToUnicode(h, nullptr, 0, s8, &n); }},
            {"KXUXLenByteToUnicodePath", [&] { KXUXLenByteToUnicodePath(h, o16, size16, s8, -1, &n); }},
            {"KXZLSUnicodeLength", [&] { KXZLSUnicodeLength(h, s8, -1, &n); }},
            {"KXUXUnicodeToByte", [&] { KXUXUnicodeToByte(h, o8, size8, s16, &n); }},
            {"KXUXUnicodeToByte (length only)", [&] { KXUXUnicodeToByte(h, nullptr, 0, s16, &n); }},
            {"KXUXUnicodeToBytePath", [&] { KXUXUnicodeToBytePath(h, o8, size8, s16, &n); }},
            {"KXZBytePathLength", [&] { KXZBytePathLength(h, s16, &n); }},
            {"KXUXUnicodeToCase", [&] { KXUXUnicodeToCase(KXZStandardUpperCase(), o16, size16, s16, &n); }},
            {"KXZCaseLength", [&] { KXZCaseLength(KXZStandardLowerCase(), s16, &n); }},
            {"KXUToUnicode", [&] { uint32_t c, p, m; KXUToUnicode(0, s8, o16, -1, size16, &c, &p, &m); }},
            {"KXUToByte", [&] { uint32_t c, p, m; KXUToByte(0, s16, o8, -1, size8, &c, &p, &m); }},
            {"KXUSByteToUnicode", [&] { KXUSByteToUnicode(o16, size16, s8, &n); }},
            {"KXUSUnicodeToByte", [&] { KXUSUnicodeToByte(o8, size8, s16, &n); }},
            {"kxusuniicmp", [&] { kxusuniicmp(s16, s16); }},
            {"KXLocalToUnicode", [&] { KXLocalToUnicode(0, o16, size16, s8, u'?', &n); }},
            {"KXUnicodeToLocal", [&] { KXUnicodeToLocal(0, o8, size8, s16, '?', &n); }},
            {"KXUnicodeToCollation", [&] { KXUnicodeToCollation(0, o16, 4096, s16 + u.size() - 4096, 0, &n); }},
            {"KXLUTF8ToUnicode", [&] { KXLUTF8ToUnicode(in.texts[0].utf8.c_str(), size16 * 2, o16, &n, nullptr); }},
            {"KXLUnicodeToUTF8", [&] { KXLUnicodeToUTF8(s16, size8, o8, &n); }},
            {"KXLsetlocale", [&] { KXLsetlocale(0, in.locale.c_str()); }},
            {"_KXGetCountryInfo", [&] { CountryInfo info; _KXGetCountryInfo(&info); }},
            {"KXLstrcoll", [&] { KXLstrcoll(s8 + b.size() - 4096, s8 + b.size() - 4000); }},
        };
        for (const int32_t action : {NOMAP_STOP, NOMAP_SUBSTITUTE, NOMAP_FIXER}) {
            KXUXLoadByteUnicodeConverter(0, &h);
            KXUXSetNoMapAction(h, action, action);
            KXUXSetScanAction(h, SCAN_ESCAPES, SCAN_ESCAPES);
            for (const auto &[name, call] : calls) {
                const size_t used = Used(call) - base;
                if (used > peak[name]) peak[name] = used;
            }
            KXUXUnloadConverter(h);
        }
    }
    for (const auto &[name, used] : peak) std::printf("%-34s %7zu bytes\n", name.c_str(), used);
    return 0;
}
