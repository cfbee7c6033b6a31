// Benchmark inputs: deterministic prose in several languages and encodings,
// as one large text and as a set of short strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qbench {

// One string in every form a case may need, each NUL-terminated.
struct Text {
    std::string bytes;        // in the input's encoding
    std::u16string units;     // UTF-16
    std::wstring wide;        // wchar_t, for the wcs* peers
    std::string utf8;         // UTF-8 form of the same text
    std::u16string upper;     // units with ASCII and Latin-1 letters upper-cased
    std::wstring upperWide;   // the same as wchar_t
};

struct Input {
    std::string name;         // e.g. "de_latin1"
    std::string size;         // "1M" or "40B"
    std::string locale;       // test locale the input belongs to
    std::string codeset;      // iconv and ICU name of its encoding
    bool utf8 = false;        // encoding is UTF-8
    std::vector<Text> texts;  // one text for "1M", many for "40B"
    size_t totalBytes = 0;    // sum of texts[i].bytes.size()
    size_t totalUnits = 0;    // sum of texts[i].units.size()
    double nonAsciiShare = 0; // share of non-ASCII characters
};

constexpr size_t kLargeBytes = 1 << 20;
constexpr size_t kShortBytes = 40;
constexpr size_t kShortCount = 1024;

// All inputs: every language/encoding pair, large and short. Aborts with a
// message when a locale is missing or the text cannot be encoded.
std::vector<Input> MakeInputs();

}  // namespace qbench
