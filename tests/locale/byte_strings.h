// Helpers for tests on byte strings in the locale's encoding.
#pragma once

#include "quemba_test.h"

#include <cstdio>
#include <string>

namespace qtest {

// Printable form of a byte string for failure messages.
inline std::string Escaped(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

// A guarded copy of s with its terminator.
inline Guarded<char> GuardedCopy(const std::string &s) {
    Guarded<char> buf(s.size() + 1);
    std::memcpy(buf.data(), s.c_str(), s.size() + 1);
    return buf;
}

}  // namespace qtest
