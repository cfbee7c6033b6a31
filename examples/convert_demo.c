/* convert_demo: one text through a byte/Unicode converter, both ways, in two
 * locales. Characters the locale cannot encode travel as "[XXXX]" escapes in
 * the bytes and come back unchanged. */
#include <quemba/converter.h>

#include <locale.h>
#include <stdio.h>

static void print_units(const char *label, const uint16_t *u, uint32_t n) {
    uint32_t i;
    printf("  %-22s", label);
    for (i = 0; i < n; ++i) printf(" %04X", u[i]);
    printf("\n");
}

static void print_bytes(const char *label, const char *b, uint32_t n) {
    uint32_t i;
    printf("  %-22s", label);
    for (i = 0; i < n; ++i) printf(" %02X", (unsigned char)b[i]);
    printf("   \"");
    for (i = 0; i < n; ++i) {
        unsigned char c = (unsigned char)b[i];
        putchar(c >= 0x20 && c < 0x7F ? c : '.');
    }
    printf("\"\n");
}

static int demo(const char *locale_name) {
    /* "Grüße aus 東京 – 5 €" */
    static const uint16_t text[] = {'G', 'r', 0x00FC, 0x00DF, 'e', ' ', 'a', 'u', 's', ' ',
                                    0x6771, 0x4EAC, ' ', 0x2013, ' ', '5', ' ', 0x20AC, 0};
    ConverterHandle h = NULL;
    char bytes[128];
    uint16_t back[64];
    uint32_t nbytes = 0, nunits = 0, i;
    int32_t rc;

    if (setlocale(LC_ALL, locale_name) == NULL) {
        fprintf(stderr, "locale %s is not available (set LOCPATH)\n", locale_name);
        return 1;
    }
    printf("%s\n", locale_name);
    rc = KXUXLoadByteUnicodeConverter(0, &h);
    if (rc != CVT_OK) {
        fprintf(stderr, "load failed: %d\n", (int)rc);
        return 1;
    }
    for (i = 0; text[i] != 0; ++i) {}
    print_units("UTF-16 in:", text, i);
    rc = KXUXUnicodeToByte(h, bytes, sizeof bytes, text, &nbytes);
    if (rc != CVT_OK) fprintf(stderr, "to bytes: %d\n", (int)rc);
    print_bytes("bytes:", bytes, nbytes);
    rc = KXUXByteToUnicode(h, back, sizeof back / sizeof back[0], bytes, &nunits);
    if (rc != CVT_OK) fprintf(stderr, "to UTF-16: %d\n", (int)rc);
    print_units("UTF-16 back:", back, nunits);
    for (i = 0; text[i] != 0 && i < nunits && back[i] == text[i]; ++i) {}
    printf("  round trip: %s\n\n", (text[i] == 0 && i == nunits) ? "identical" : "DIFFERENT");
    KXUXUnloadConverter(h);
    return (rc == CVT_OK && text[i] == 0 && i == nunits) ? 0 : 1;
}

int main(void) {
    int failures = 0;
    failures += demo("de_DE.ISO-8859-1");
    failures += demo("ja_JP.EUC-JP");
    return failures == 0 ? 0 : 1;
}
