// The locale's codeset, as the runs of the engine steps see it: which
// path of its own a call may take, and whether libc's bulk calls are exact.
#pragma once

#include <langinfo.h>

#include <cstdint>
#include <cstring>

namespace quemba::detail {

// What a run converted: input units taken, output units written.
struct RunResult {
    uint32_t consumed;
    uint32_t produced;
};

enum class Codeset { Utf8, Latin1, AsciiSuperset, Other };

// What a call may do in the locale's codeset: its own path (kind), and
// whether libc's bulk calls may be used. glibc's mbsnrtowcs and wcsnrtombs
// lose or misplace characters that a charset keeps in the conversion state
// (base letters waiting for an accent, one sequence giving two characters),
// and some assert; so bulk calls are made only in codesets whose every byte
// pair and unit the exhaustive tests found equal to one call per character.
struct CodesetTraits {
    Codeset kind;
    bool bulk;
};

// Compares with a literal byte by byte, stopping at the first difference,
// so nothing past the end of `name` is read.
template <size_t N>
inline bool NameIs(const char *name, const char (&literal)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (name[i] != literal[i]) return false;
    }
    return true;
}

// Codesets checked to map bytes 0x01-0x7F to ASCII, in which a byte below
// 0x80 at a character boundary is that ASCII character and keeps nothing
// back; the ISO-8859 parts are all ASCII in their lower half.
inline bool AsciiCodeset(const char *name) {
    if (std::strncmp(name, "ISO-8859-", 9) == 0) return true;
    // Not CP1258: its ASCII letters wait for a following tone mark.
    if (std::strncmp(name, "CP125", 5) == 0) return name[5] >= '0' && name[5] <= '7' && name[6] == 0;
    return NameIs(name, "ANSI_X3.4-1968") || NameIs(name, "EUC-JP") || NameIs(name, "EUC-KR") ||
           NameIs(name, "KOI8-R") || NameIs(name, "KOI8-U");
}

// Codesets in which bulk calls were found exact.
inline bool BulkCodeset(const char *name) {
    if (std::strncmp(name, "ISO-8859-", 9) == 0) return true;
    // CP1255 keeps Hebrew letters back for their points.
    if (std::strncmp(name, "CP125", 5) == 0) return name[5] >= '0' && name[5] <= '7' && name[5] != '5' && name[6] == 0;
    static constexpr const char *kExact[] = {
        "ANSI_X3.4-1968", "ARMSCII-8", "BIG5",   "CP949",       "EUC-JP",      "EUC-KR",  "EUC-TW",
        "GB18030",        "GB2312",    "GBK",    "GEORGIAN-PS", "JOHAB",       "KOI8-R",  "KOI8-T",
        "KOI8-U",         "PT154",     "RK1048", "SHIFT_JIS",   "TIS-620",     "WINDOWS-31J"};
    for (const char *exact : kExact) {
        if (std::strcmp(name, exact) == 0) return true;
    }
    return false;
}

inline CodesetTraits CodesetNamed(const char *name) {
    if (NameIs(name, "UTF-8")) return CodesetTraits{Codeset::Utf8, false};
    if (NameIs(name, "ISO-8859-1")) return CodesetTraits{Codeset::Latin1, false};
    return CodesetTraits{AsciiCodeset(name) ? Codeset::AsciiSuperset : Codeset::Other, BulkCodeset(name)};
}

// The locale's codeset, asked once per call rather than once per step. Its
// name is kept: glibc picks mbrtowc's and wcrtomb's converter by that name,
// so answers learned under one name hold until the name changes.
class CodesetMemo {
public:
    void Forget() { known_ = false; }
    CodesetTraits Get() {
        if (!known_) Refresh();
        return codeset_;
    }
    // True once after each change of name.
    bool Renamed() {
        if (!known_) Refresh();
        const bool renamed = renamed_;
        renamed_ = false;
        return renamed;
    }

private:
    // Under an unchanged name the traits are kept, as the memos' answers
    // are: only the name is compared on each call.
    void Refresh() {
        const char *name = nl_langinfo(CODESET);
        if (!Kept(name)) {
            renamed_ = true;
            const size_t length = strnlen(name, sizeof name_);
            // A name too long to keep never matches, so nothing learned under it is reused.
            if (length == sizeof name_) name_[0] = 0;
            else std::memcpy(name_, name, length + 1);
            codeset_ = CodesetNamed(name);
        }
        known_ = true;
    }

    // Stops at the first difference or the terminator, so nothing past
    // the end of `name` is read.
    bool Kept(const char *name) const {
        if (name_[0] == 0) return false;
        for (size_t i = 0; i < sizeof name_; ++i) {
            if (name[i] != name_[i]) return false;
            if (name[i] == 0) return true;
        }
        return false;
    }

    bool known_ = false;
    bool renamed_ = false;
    char name_[48] = {};
    CodesetTraits codeset_{};
};

}  // namespace quemba::detail
