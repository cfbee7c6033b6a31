// Helpers for tests of what the environment's locale decides.
#pragma once

#include <clocale>
#include <cstdlib>
#include <string>

namespace qtest {

// Sets an environment variable (LANG, LC_ALL) for the object's lifetime.
class EnvScope {
public:
    EnvScope(const char *name, const char *value)
        : name_(name), had_(getenv(name) != nullptr), old_(had_ ? getenv(name) : "") {
        setenv(name, value, 1);
    }
    ~EnvScope() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }
    EnvScope(const EnvScope &) = delete;
    EnvScope &operator=(const EnvScope &) = delete;

private:
    const char *name_;
    bool had_;
    std::string old_;
};

inline std::string Category(int category) { return setlocale(category, nullptr); }

}  // namespace qtest
