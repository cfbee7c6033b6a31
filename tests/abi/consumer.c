/* A plain C99 program, built against the installed headers, that uses the
 * library as an old client would. */
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/table_handle.h>
#include <quemba/unistr.h>
#include <quemba/utf8.h>

#include <locale.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

/* The record layout is part of the interface. */
#define CHECK(name, cond) typedef char name[(cond) ? 1 : -1]
#if defined(__i386__)
CHECK(converter_size, sizeof(Converter) == 92);
CHECK(off_signature, offsetof(Converter, signature) == 0);
CHECK(off_loadTag, offsetof(Converter, loadTag) == 4);
CHECK(off_refCount, offsetof(Converter, refCount) == 8);
CHECK(off_engineTag, offsetof(Converter, engineTag) == 12);
CHECK(off_kind, offsetof(Converter, kind) == 16);
CHECK(off_toUnicodeStep, offsetof(Converter, toUnicodeStep) == 20);
CHECK(off_toByteStep, offsetof(Converter, toByteStep) == 24);
CHECK(off_auxFunction, offsetof(Converter, auxFunction) == 28);
CHECK(off_defaultSubUni, offsetof(Converter, defaultSubUni) == 32);
CHECK(off_defaultSubByte, offsetof(Converter, defaultSubByte) == 34);
CHECK(off_subUni, offsetof(Converter, subUni) == 36);
CHECK(off_subByte, offsetof(Converter, subByte) == 38);
CHECK(off_byteNoMapAction, offsetof(Converter, byteNoMapAction) == 40);
CHECK(off_uniNoMapAction, offsetof(Converter, uniNoMapAction) == 44);
CHECK(off_byteScanAction, offsetof(Converter, byteScanAction) == 48);
CHECK(off_uniScanAction, offsetof(Converter, uniScanAction) == 52);
CHECK(off_byteNoMapFixer, offsetof(Converter, byteNoMapFixer) == 56);
CHECK(off_uniNoMapFixer, offsetof(Converter, uniNoMapFixer) == 60);
CHECK(off_byteScanner, offsetof(Converter, byteScanner) == 64);
CHECK(off_uniScanner, offsetof(Converter, uniScanner) == 68);
CHECK(off_byteParser, offsetof(Converter, byteParser) == 72);
CHECK(off_uniParser, offsetof(Converter, uniParser) == 76);
CHECK(off_codePage, offsetof(Converter, codePage) == 80);
CHECK(off_subKind, offsetof(Converter, subKind) == 84);
CHECK(off_engineData, offsetof(Converter, engineData) == 88);
#elif defined(__x86_64__)
CHECK(converter_size, sizeof(Converter) == 136);
CHECK(off_signature, offsetof(Converter, signature) == 0);
CHECK(off_loadTag, offsetof(Converter, loadTag) == 4);
CHECK(off_refCount, offsetof(Converter, refCount) == 8);
CHECK(off_engineTag, offsetof(Converter, engineTag) == 12);
CHECK(off_kind, offsetof(Converter, kind) == 16);
CHECK(off_toUnicodeStep, offsetof(Converter, toUnicodeStep) == 24);
CHECK(off_toByteStep, offsetof(Converter, toByteStep) == 32);
CHECK(off_auxFunction, offsetof(Converter, auxFunction) == 40);
CHECK(off_defaultSubUni, offsetof(Converter, defaultSubUni) == 48);
CHECK(off_defaultSubByte, offsetof(Converter, defaultSubByte) == 50);
CHECK(off_subUni, offsetof(Converter, subUni) == 52);
CHECK(off_subByte, offsetof(Converter, subByte) == 54);
CHECK(off_byteNoMapAction, offsetof(Converter, byteNoMapAction) == 56);
CHECK(off_uniNoMapAction, offsetof(Converter, uniNoMapAction) == 60);
CHECK(off_byteScanAction, offsetof(Converter, byteScanAction) == 64);
CHECK(off_uniScanAction, offsetof(Converter, uniScanAction) == 68);
CHECK(off_byteNoMapFixer, offsetof(Converter, byteNoMapFixer) == 72);
CHECK(off_uniNoMapFixer, offsetof(Converter, uniNoMapFixer) == 80);
CHECK(off_byteScanner, offsetof(Converter, byteScanner) == 88);
CHECK(off_uniScanner, offsetof(Converter, uniScanner) == 96);
CHECK(off_byteParser, offsetof(Converter, byteParser) == 104);
CHECK(off_uniParser, offsetof(Converter, uniParser) == 112);
CHECK(off_codePage, offsetof(Converter, codePage) == 120);
CHECK(off_subKind, offsetof(Converter, subKind) == 124);
CHECK(off_engineData, offsetof(Converter, engineData) == 128);
#else
#error "unsupported target"
#endif
/* Country information: the same 192 bytes on every target. */
CHECK(country_size, sizeof(CountryInfo) == 192);
CHECK(off_decimal_point, offsetof(CountryInfo, decimal_point) == 0);
CHECK(off_thousands_sep, offsetof(CountryInfo, thousands_sep) == 4);
CHECK(off_grouping, offsetof(CountryInfo, grouping) == 8);
CHECK(off_int_curr_symbol, offsetof(CountryInfo, int_curr_symbol) == 12);
CHECK(off_currency_symbol, offsetof(CountryInfo, currency_symbol) == 20);
CHECK(off_mon_decimal_point, offsetof(CountryInfo, mon_decimal_point) == 24);
CHECK(off_mon_thousands_sep, offsetof(CountryInfo, mon_thousands_sep) == 28);
CHECK(off_mon_grouping, offsetof(CountryInfo, mon_grouping) == 32);
CHECK(off_positive_sign, offsetof(CountryInfo, positive_sign) == 40);
CHECK(off_negative_sign, offsetof(CountryInfo, negative_sign) == 44);
CHECK(off_int_frac_digits, offsetof(CountryInfo, int_frac_digits) == 48);
CHECK(off_frac_digits, offsetof(CountryInfo, frac_digits) == 49);
CHECK(off_p_cs_precedes, offsetof(CountryInfo, p_cs_precedes) == 50);
CHECK(off_p_sep_by_space, offsetof(CountryInfo, p_sep_by_space) == 51);
CHECK(off_n_cs_precedes, offsetof(CountryInfo, n_cs_precedes) == 52);
CHECK(off_n_sep_by_space, offsetof(CountryInfo, n_sep_by_space) == 53);
CHECK(off_p_sign_posn, offsetof(CountryInfo, p_sign_posn) == 54);
CHECK(off_n_sign_posn, offsetof(CountryInfo, n_sign_posn) == 55);
CHECK(off_code_page, offsetof(CountryInfo, code_page) == 56);
CHECK(off_country_code, offsetof(CountryInfo, country_code) == 60);
CHECK(off_sep_1, offsetof(CountryInfo, sep_1) == 64);
CHECK(off_sep_2, offsetof(CountryInfo, sep_2) == 66);
CHECK(off_sep_3, offsetof(CountryInfo, sep_3) == 68);
CHECK(off_sep_4, offsetof(CountryInfo, sep_4) == 70);
CHECK(off_reserved, offsetof(CountryInfo, reserved) == 72);
CHECK(off_am_string, offsetof(CountryInfo, am_string) == 76);
CHECK(off_pm_string, offsetof(CountryInfo, pm_string) == 109);
CHECK(off_reserved_tail, offsetof(CountryInfo, reserved_tail) == 142);

static int failures;

static void expect(int cond, const char *what) {
    if (!cond) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

int main(void) {
    ConverterHandle h = NULL;
    uint16_t units[16];
    char bytes[16];
    uint32_t consumed = 0, produced = 0, nomap = 0;
    const uint16_t e_acute[] = {0x00E9, 0};

    expect(setlocale(LC_ALL, "C") != NULL, "C locale");
    expect(KXUXLoadByteUnicodeConverter(0, &h) == CVT_OK && h != NULL, "load byte/Unicode converter");
    expect(KXZCheckHandle(h, CONVERTER_BYTE_UNI) == CVT_OK, "check handle");
    expect(KXUToUnicode(0, "ab", units, -1, 16, &consumed, &produced, &nomap) == CVT_OK, "engine step to UTF-16");
    expect(consumed == 2 && produced == 2 && units[0] == 'a' && units[1] == 'b', "engine step counts");
    expect(KXZNoMapUniFixer(h, bytes, 6, &produced, e_acute, 1) == CVT_OK, "unit escape");
    expect(produced == 6 && memcmp(bytes, "[00E9]", 6) == 0, "unit escape text");
    expect(KXZByteScanner(h, "x[00E9]", -1) != NULL, "escape recognised");
    expect(KXUXResetConverter(h) == CVT_OK, "reset");
    expect(KXUXUnloadConverter(h) == CVT_OK, "unload");
    expect(KXZCheckHandle(KXZStandardByteUni(), 0) == CVT_E_BAD_HANDLE, "standard record starts unloaded");
    {
        /* A record in the program's own storage, loaded in place. */
        static Converter own;
        ConverterHandle p = &own;
        expect(KXZLoadByteUnicodeConverter(850, 0, &p) == CVT_OK && p == &own, "load in place");
        expect(own.signature == CONVERTER_SIGNATURE && own.codePage == 850 && own.subUni == 0xFFFD,
               "in-place record fields");
        expect(KXUXUnloadConverter(p) == CVT_OK && own.signature == 0, "unload in-place record");
    }

    {
        /* Table-handle data objects and the uni and UTF-8 families. */
        const uint16_t abc[] = {'a', 'b', 'c', 0};
        const uint16_t euro[] = {0x20AC, 0};
        char utf8[8];
        uint32_t size = 0, handle = 0;
        int i;
        for (i = 0; i < 4; ++i) {
            expect(_aUnicodeInfo[i].handle != NULL && *_aUnicodeInfo[i].handle == 0, "table slot handle word");
            expect(_aUnicodeInfo[i].name != NULL && _aUnicodeInfo[i].name[0] == 0, "table slot name");
        }
        expect(_pprocUnicodeToMonocase == NULL && strUnicodeSearchPath == NULL, "data objects start empty");
        expect(_iCodePage == 0 && _iCountryCode == 0, "integer data objects");
        expect(KXGetMonocaseHandle(&handle) == 0 && handle == 0xFFFFFFFFu, "table handle");
        expect(unilen(abc) == 3 && unichr(abc, 'c') == abc + 2, "uni functions");
        expect(KXLUnicodeToUTF8(euro, sizeof utf8, utf8, &size) == 0 && size == 4, "to UTF-8");
        expect(memcmp(utf8, "\xE2\x82\xAC", 4) == 0, "UTF-8 bytes");
    }

    {
        CountryInfo info;
        unsigned char major = 0, minor = 9, revision = 0, build = 9;
        const char *id = KXLsetlocale(4, "C");
        memset(&info, 0xA5, sizeof info);
        expect(KXLlocaleconv(&info) == &info && info.decimal_point[0] == '.', "country information");
        expect((unsigned char)info.reserved_tail[0] == 0xA5, "reserved tail untouched");
        expect(id != NULL && strlen(id) == 3, "three-digit country ID");
        KXGetKXLOCALEVersion(&major, &minor, &revision, &build);
        expect(major == 6 && minor == 0 && revision == 2 && build == 0, "version 6.0.2.0");
    }

    {
        const uint16_t upper[] = {'A', 'B', 0}, lower[] = {'a', 'b', 0};
        uint32_t codePage = 1;
        expect(KXUSUnicodeToLowerCase(NULL, 0, upper, NULL) == CVT_E_NOT_INITIALISED, "shortcut before init");
        expect(kxusuniicmp(upper, lower) == 0 && semStandard == 0, "case-blind comparison");
        expect(KXUSGetCodePage(&codePage, NULL) == 0 && codePage == 0, "standard code page");
        KXUSStandardUnicodeRelease();
    }

    printf("%s\n", failures == 0 ? "C consumer: all checks passed" : "C consumer: failures");
    return failures == 0 ? 0 : 1;
}
