// Helpers for tests that depend on the locale the environment names and on
// the program's own category settings.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

namespace qtest {

// Locales whose texts overflow the country-information fields (qz_QZ) or
// whose telephone prefix is not a three-digit country code (qz_QZ: 1234,
// qy_QY: -7). Kept apart from AllLocales().
inline const std::vector<std::string> &CountryInfoLocales() {
    static const std::vector<std::string> names = {"C", "en_US.UTF-8", "de_DE.UTF-8",
                                                   "fi_FI.UTF-8", "qz_QZ.UTF-8", "qy_QY.UTF-8"};
    return names;
}

// Sets one environment variable (LANG, LC_ALL, ...) for the lifetime of the
// object and puts back what was there.
class EnvScope {
public:
    EnvScope(const char *name, const std::string &value) : name_(name) {
        const char *old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvScope() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    EnvScope(const EnvScope &) = delete;
    EnvScope &operator=(const EnvScope &) = delete;

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

inline std::string CategoryName(int category) {
    const char *name = setlocale(category, nullptr);
    return name != nullptr ? name : "(null)";
}

// Every category back to "C" when the test ends.
class CLocaleAfter {
public:
    CLocaleAfter() = default;
    ~CLocaleAfter() { setlocale(LC_ALL, "C"); }
    CLocaleAfter(const CLocaleAfter &) = delete;
    CLocaleAfter &operator=(const CLocaleAfter &) = delete;
};

}  // namespace qtest
