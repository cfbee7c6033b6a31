/* A plain C99 program, built against the installed headers, that uses the
 * library as an old client would. */
#include <quemba/converter.h>

#include <locale.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

/* The record layout is part of the interface. */
#define CHECK(name, cond) typedef char name[(cond) ? 1 : -1]
#if defined(__i386__)
CHECK(converter_size, sizeof(Converter) == 92);
CHECK(off_engine_data, offsetof(Converter, engineData) == 88);
#elif defined(__x86_64__)
CHECK(converter_size, sizeof(Converter) == 136);
CHECK(off_engine_data, offsetof(Converter, engineData) == 128);
#endif

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

    printf("%s\n", failures == 0 ? "C consumer: all checks passed" : "C consumer: failures");
    return failures == 0 ? 0 : 1;
}
