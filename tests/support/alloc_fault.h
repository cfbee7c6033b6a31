// Include in one source file of a test program: malloc, free and
// strdup of the whole process then pass through here. While armed,
// the allocations that the library itself makes (or, with countAll, that
// anyone makes) are numbered from 0, the one numbered `failAt` returns null,
// and the library's blocks still live are tracked.
// The real allocator stays in charge (libc's, or the sanitizer's, whose
// leak checker therefore still sees every block).
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstring>

extern "C" {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
void *__interceptor_malloc(size_t);
void __interceptor_free(void *);
#define QTEST_REAL_MALLOC __interceptor_malloc
#define QTEST_REAL_FREE __interceptor_free
#else
void *__libc_malloc(size_t);
void __libc_free(void *);
#define QTEST_REAL_MALLOC __libc_malloc
#define QTEST_REAL_FREE __libc_free
#endif
}

// These run before the sanitizer runtime has set itself up (the dynamic
// loader allocates that early), so they must not be instrumented.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QTEST_UNINSTRUMENTED __attribute__((no_sanitize("address", "thread")))
#else
#define QTEST_UNINSTRUMENTED
#endif

namespace qtest::fault {

inline bool armed = false;
inline bool countAll = false;  // count libc's allocations on the library's behalf too
inline int failAt = -1;  // number of the allocation to refuse; -1: none
inline int seen = 0;     // library allocations while armed
inline int failed = 0;   // allocations refused
constexpr int kMaxLive = 64;
inline void *live[kMaxLive];
inline int liveCount = 0;
inline const void *libraryBase = nullptr;

// Valgrind replaces malloc in the program itself, so nothing passes here.
inline bool UnderValgrind() {
    const char *preload = getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

QTEST_UNINSTRUMENTED inline bool FromLibrary(const void *caller) {
    Dl_info info;
    return dladdr(caller, &info) != 0 && info.dli_fbase == libraryBase;
}

QTEST_UNINSTRUMENTED inline void *Allocate(size_t n, const void *caller) {
    if (!armed) return QTEST_REAL_MALLOC(n);
    armed = false;  // dladdr and the bookkeeping must not count
    if (!countAll && !FromLibrary(caller)) {
        armed = true;
        return QTEST_REAL_MALLOC(n);
    }
    const int number = seen++;
    void *p = number == failAt ? nullptr : QTEST_REAL_MALLOC(n);
    if (p == nullptr) ++failed;
    if (p != nullptr && liveCount < kMaxLive) live[liveCount++] = p;
    armed = true;
    return p;
}

QTEST_UNINSTRUMENTED inline void Release(void *p) {
    for (int i = 0; i < liveCount; ++i) {
        if (live[i] == p) {
            live[i] = live[--liveCount];
            break;
        }
    }
    QTEST_REAL_FREE(p);
}

// Runs call() with the failAt-th library allocation refused. Returns the
// number of library allocations the call attempted.
template <typename Call>
int Run(const void *anyLibraryFunction, int refuse, Call call) {
    Dl_info info;
    if (dladdr(anyLibraryFunction, &info) != 0) libraryBase = info.dli_fbase;
    seen = failed = liveCount = 0;
    failAt = refuse;
    armed = true;
    call();
    armed = false;
    failAt = -1;
    return seen;
}

}  // namespace qtest::fault

extern "C" QTEST_UNINSTRUMENTED void *malloc(size_t n) { return qtest::fault::Allocate(n, __builtin_return_address(0)); }
extern "C" QTEST_UNINSTRUMENTED void free(void *p) {
    if (p != nullptr) qtest::fault::Release(p);
}
extern "C" QTEST_UNINSTRUMENTED char *strdup(const char *s) noexcept {
    const size_t n = std::strlen(s) + 1;
    void *copy = qtest::fault::Allocate(n, __builtin_return_address(0));
    return copy != nullptr ? static_cast<char *>(std::memcpy(copy, s, n)) : nullptr;
}
