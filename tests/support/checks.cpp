// The families of shared checks, by name: the sweep runs each over its
// inputs, each fuzz target is one of them.
#include <cstring>

#include "check.h"

namespace qcheck {

// checks_converter.cpp
[[gnu::weak]] void EngineBytes(const std::string &bytes, uint32_t variant);
[[gnu::weak]] void EngineUnits(const std::u16string &units, uint32_t variant);
[[gnu::weak]] void ByteToUnicode(const std::string &bytes, uint32_t variant);
[[gnu::weak]] void UnicodeToByte(const std::u16string &units, uint32_t variant);
[[gnu::weak]] void Escapes(const std::u16string &units, uint32_t variant);
[[gnu::weak]] void CaseConvert(const std::u16string &units, uint32_t variant);
// checks_legacy.cpp
[[gnu::weak]] void TableHandleBytes(const std::string &bytes, uint32_t variant);
[[gnu::weak]] void TableHandleUnits(const std::u16string &units, uint32_t variant);
[[gnu::weak]] void Utf8Bytes(const std::string &bytes, uint32_t variant);
[[gnu::weak]] void Utf8Units(const std::u16string &units, uint32_t variant);
[[gnu::weak]] void Unistr(const std::u16string &units, uint32_t variant);
// checks_locale.cpp
[[gnu::weak]] void Multibyte(const std::string &bytes, uint32_t variant);
[[gnu::weak]] void LocaleServices(const std::string &bytes, uint32_t variant);

const std::vector<Family> &Families() {
    static const std::vector<Family> all = {
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
    // Until every family is written, those missing are left out.
    static const std::vector<Family> families = [] {
        std::vector<Family> present;
        for (const Family &f : all) {
            if (f.bytes != nullptr || f.units != nullptr) present.push_back(f);
        }
        return present;
    }();
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
