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

/* The record layouts are part of the interface: the converter record on
 * both targets, the country information the same 192 bytes everywhere. */
#define CHECK(name, cond) typedef char check_##name[(cond) ? 1 : -1]
#if defined(__i386__)
#define AT(field, i386, x86_64) CHECK(field, offsetof(Converter, field) == (i386))
CHECK(converter_size, sizeof(Converter) == 92);
#elif defined(__x86_64__)
#define AT(field, i386, x86_64) CHECK(field, offsetof(Converter, field) == (x86_64))
CHECK(converter_size, sizeof(Converter) == 136);
#else
#error "unsupported target"
#endif
AT(signature, 0, 0); AT(loadTag, 4, 4); AT(refCount, 8, 8); AT(engineTag, 12, 12); AT(kind, 16, 16);
AT(toUnicodeStep, 20, 24); AT(toByteStep, 24, 32); AT(auxFunction, 28, 40); AT(defaultSubUni, 32, 48);
AT(defaultSubByte, 34, 50); AT(subUni, 36, 52); AT(subByte, 38, 54); AT(byteNoMapAction, 40, 56);
AT(uniNoMapAction, 44, 60); AT(byteScanAction, 48, 64); AT(uniScanAction, 52, 68); AT(byteNoMapFixer, 56, 72);
AT(uniNoMapFixer, 60, 80); AT(byteScanner, 64, 88); AT(uniScanner, 68, 96); AT(byteParser, 72, 104);
AT(uniParser, 76, 112); AT(codePage, 80, 120); AT(subKind, 84, 124); AT(engineData, 88, 128);
#define IN(field, offset) CHECK(field, offsetof(CountryInfo, field) == (offset))
CHECK(country_size, sizeof(CountryInfo) == 192);
IN(decimal_point, 0); IN(thousands_sep, 4); IN(grouping, 8); IN(int_curr_symbol, 12); IN(currency_symbol, 20);
IN(mon_decimal_point, 24); IN(mon_thousands_sep, 28); IN(mon_grouping, 32); IN(positive_sign, 40);
IN(negative_sign, 44); IN(int_frac_digits, 48); IN(frac_digits, 49); IN(p_cs_precedes, 50);
IN(p_sep_by_space, 51); IN(n_cs_precedes, 52); IN(n_sep_by_space, 53); IN(p_sign_posn, 54);
IN(n_sign_posn, 55); IN(code_page, 56); IN(country_code, 60); IN(sep_1, 64); IN(sep_2, 66); IN(sep_3, 68);
IN(sep_4, 70); IN(reserved, 72); IN(am_string, 76); IN(pm_string, 109); IN(reserved_tail, 142);

static int failures;
#define EXPECT(cond) ((cond) ? (void)0 : (void)(printf("FAILED: %s\n", #cond), ++failures))

int main(void) {
    ConverterHandle h = NULL, p;
    static Converter own; /* a record in the program's own storage, loaded in place */
    uint16_t units[16];
    const uint16_t e_acute[] = {0x00E9, 0}, euro[] = {0x20AC, 0}, upper[] = {'A', 'B', 0}, lower[] = {'a', 'b', 0};
    char bytes[16];
    uint32_t consumed = 0, produced = 0, nomap = 0, handle = 0;
    CountryInfo info;

    EXPECT(setlocale(LC_ALL, "C") != NULL && KXUXLoadByteUnicodeConverter(0, &h) == CVT_OK);
    EXPECT(KXUToUnicode(0, "ab", units, -1, 16, &consumed, &produced, &nomap) == CVT_OK && produced == 2 && units[1] == 'b');
    EXPECT(KXZNoMapUniFixer(h, bytes, 6, &produced, e_acute, 1) == CVT_OK && memcmp(bytes, "[00E9]", 6) == 0);
    EXPECT(KXUXUnloadConverter(h) == CVT_OK && KXZCheckHandle(KXZStandardByteUni(), 0) == CVT_E_BAD_HANDLE);
    p = &own;
    EXPECT(KXZLoadByteUnicodeConverter(850, 0, &p) == CVT_OK && p == &own && own.codePage == 850 && own.subUni == 0xFFFD);
    EXPECT(KXUXUnloadConverter(p) == CVT_OK && own.signature == 0);
    /* The data objects of the table-handle API, and the uni and UTF-8 families. */
    EXPECT(*_aUnicodeInfo[3].handle == 0 && _pprocUnicodeToMonocase == NULL && strUnicodeSearchPath == NULL && _iCodePage == 0);
    EXPECT(KXGetMonocaseHandle(&handle) == 0 && handle == 0xFFFFFFFFu && unilen(lower) == 2);
    EXPECT(KXLUnicodeToUTF8(euro, sizeof bytes, bytes, &produced) == 0 && produced == 4 && memcmp(bytes, "\xE2\x82\xAC", 4) == 0);
    memset(&info, 0xA5, sizeof info);
    EXPECT(strlen(KXLsetlocale(4, "C")) == 3 && KXLlocaleconv(&info) == &info && info.decimal_point[0] == '.');
    EXPECT(KXUSUnicodeToLowerCase(NULL, 0, upper, NULL) == CVT_E_NOT_INITIALISED);
    EXPECT((unsigned char)info.reserved_tail[0] == 0xA5 && kxusuniicmp(upper, lower) == 0 && semStandard == 0);
    KXUSStandardUnicodeRelease();
    printf("C consumer: %d failures\n", failures);
    return failures != 0;
}
