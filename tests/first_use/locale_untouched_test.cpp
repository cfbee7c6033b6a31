// The first use of the standard set, each entry to it in a process of its
// own, must leave the process locale alone: another thread may be reading
// it.
#include <quemba/standard.h>

#include <dlfcn.h>

#include <clocale>
#include <cstdlib>

#include "qtest.h"

namespace {

int changes = 0;

}  // namespace

// Interposed on libc's: the library's calls come here first. A call with a
// locale name may change a category; one with null only asks.
extern "C" char *setlocale(int category, const char *locale) noexcept {
    using Real = char *(*)(int, const char *);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "setlocale"));
    if (locale != nullptr) ++changes;
    return real(category, locale);
}

namespace {

TEST(FirstUse, ChangesNoLocaleCategory) {
    struct Case { const char *entry; void (*use)(); int changes; };
    const Case cases[] = {
        {"KXUSStandardUnicodeInit", [] { KXUSStandardUnicodeInit(); }, 0},
        {"_unilower", [] { _unilower('A'); }, 0},
        {"kxusuniicmp", [] { kxusuniicmp(qtest::U(u"A"), qtest::U(u"a")); }, 0},
        {"kxusuninicmp", [] { kxusuninicmp(qtest::U(u"A"), qtest::U(u"a"), 1); }, 0},
        // The country code needs the fill: LC_TELEPHONE and LC_TIME switched
        // and restored. Shows that the library's calls are seen at all.
        {"KXUSGetCodePage", [] { uint32_t country = 0; KXUSGetCodePage(nullptr, &country); }, 4},
    };
    for (const Case &c : cases) {
        // A forked child: the parent never loads the set, so each use is a first.
        EXPECT_EXIT(
            {
                changes = 0;
                c.use();
                std::_Exit(changes);
            },
            ::testing::ExitedWithCode(c.changes), "")
            << c.entry << ": setlocale calls that name a locale";
    }
}

}  // namespace
