// Benchmark cases: our functions and their peers over the same inputs.
// Both drivers (Google Benchmark and the plain harness) run this list.
#pragma once

#include "inputs.h"

#include <functional>
#include <string>
#include <vector>

namespace qbench {

struct Case {
    std::string op;      // b2u, u2b, unilen, unicmp, unichr, unistr, uniicmp
    std::string input;   // e.g. de_latin1
    std::string size;    // 1M or 40B
    std::string impl;    // function or peer name
    bool ours = false;
    std::string locale;
    size_t bytes = 0;    // input bytes one run processes
    // One pass over the input. With check set, compares the output with the
    // expected one and returns a message on a difference, else null.
    std::function<const char *(bool check)> run;

    std::string Name() const { return op + "/" + input + "/" + size + "/" + impl; }
};

// Sets up handles and converters for every input; the inputs must outlive
// the cases. Exits with a message if our library cannot be initialised.
std::vector<Case> MakeCases(const std::vector<Input> &inputs);

// Selects the case's locale; false if it is missing.
bool EnterLocale(const Case &c);

}  // namespace qbench
