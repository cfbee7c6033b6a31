// The families of shared checks, by name: the sweep runs each over its
// inputs, each fuzz target is one of them.
#include <cstring>

#include "check.h"

namespace qcheck {

// checks_converter.cpp
void EngineBytes(const std::string &bytes, uint32_t variant);
void EngineUnits(const std::u16string &units, uint32_t variant);
void ByteToUnicode(const std::string &bytes, uint32_t variant);
void UnicodeToByte(const std::u16string &units, uint32_t variant);
void Escapes(const std::u16string &units, uint32_t variant);
void CaseConvert(const std::u16string &units, uint32_t variant);
// checks_legacy.cpp
void TableHandleBytes(const std::string &bytes, uint32_t variant);
void TableHandleUnits(const std::u16string &units, uint32_t variant);
void Utf8Bytes(const std::string &bytes, uint32_t variant);
void Utf8Units(const std::u16string &units, uint32_t variant);
void Unistr(const std::u16string &units, uint32_t variant);
// checks_locale.cpp
void Multibyte(const std::string &bytes, uint32_t variant);
void LocaleServices(const std::string &bytes, uint32_t variant);

const std::vector<Family> &Families() {
    static const std::vector<Family> families = {
        {"engine", EngineBytes, EngineUnits},
        {"byte_to_unicode", ByteToUnicode, nullptr},
        {"unicode_to_byte", nullptr, UnicodeToByte},
        {"escapes", nullptr, Escapes},
        {"case_convert", nullptr, CaseConvert},
        {"table_handle", TableHandleBytes, TableHandleUnits},
        {"utf8", Utf8Bytes, Utf8Units},
        {"unistr", nullptr, Unistr},
        {"multibyte", Multibyte, nullptr},
        {"locale", LocaleServices, nullptr},
    };
    return families;
}

const Family &FamilyNamed(const char *name) {
    for (const Family &f : Families()) {
        if (std::strcmp(f.name, name) == 0) return f;
    }
    std::fprintf(stderr, "no check family %s\n", name);
    std::abort();
}

}  // namespace qcheck
