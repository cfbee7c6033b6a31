// Helpers for the GoogleTest programs: locale and environment scopes, UTF-16
// literals. The guarded buffers and the shared checks are in check.h.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "check.h"

namespace qtest {

using qcheck::Guarded;
using qcheck::kUnset;
inline constexpr const char *kC = "C", *kLatin1 = "de_DE.ISO-8859-1", *kCp1251 = "ru_RU.CP1251",
                            *kUtf8 = "en_US.UTF-8", *kEucJp = "ja_JP.EUC-JP";

// Switches LC_ALL for the lifetime of the object and restores "C" after.
class LocaleScope {
public:
    explicit LocaleScope(const std::string &name) { qcheck::UseLocale(name); }
    ~LocaleScope() { setlocale(LC_ALL, "C"); }
};

// Sets an environment variable (LANG, LC_ALL) for the object's lifetime.
class EnvScope {
public:
    EnvScope(const char *name, const char *value) : name_(name), had_(getenv(name) != nullptr), old_(had_ ? getenv(name) : "") { setenv(name, value, 1); }
    ~EnvScope() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char *name_;
    bool had_;
    std::string old_;
};

inline std::string Category(int category) { return setlocale(category, nullptr); }
inline const uint16_t *U(const char16_t *s) { return reinterpret_cast<const uint16_t *>(s); }
using qcheck::U;
using qcheck::S16;
// Each byte as the unit of the same value, for tables written in bytes.
inline std::u16string Widen(const std::string &s) {
    std::u16string w;
    for (const char c : s) w += char16_t(static_cast<unsigned char>(c));
    return w;
}
// A name GoogleTest accepts for a locale.
inline std::string LocaleTestName(const testing::TestParamInfo<std::string> &info) {
    std::string name = info.param;
    for (char &c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

}  // namespace qtest
