/* The floor of a conversion call: KXUXByteToUnicode on an empty and on a
 * one-byte string, against iconv on one byte and the locale's codeset name
 * read and compared, as every call of ours must. ns per call, best of 3.
 *   LOCPATH=<build>/locales quemba_call_floor LOCALE */
#include <quemba/converter.h>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

enum { kCalls = 5000000 };

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

int main(int argc, char **argv) {
    ConverterHandle h = NULL;
    if (argc != 2 || !setlocale(LC_ALL, argv[1]) || KXUXLoadByteUnicodeConverter(0, &h) != CVT_OK) {
        fprintf(stderr, "usage: quemba_call_floor LOCALE (with LOCPATH set)\n");
        return 2;
    }
    setlocale(LC_NUMERIC, "C");  /* figures with a decimal point */
    iconv_t cd = iconv_open("UTF-16LE", nl_langinfo(CODESET));
    uint16_t out[64];
    uint32_t count;
    volatile int names = 0;
    double best[4] = {1e30, 1e30, 1e30, 1e30};
    for (int rep = 0; rep < 3; ++rep) {
        double t[5];
        t[0] = Now();
        for (int i = 0; i < kCalls; ++i) names += strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
        t[1] = Now();
        for (int i = 0; i < kCalls; ++i) KXUXByteToUnicode(h, out, 64, "", &count);
        t[2] = Now();
        for (int i = 0; i < kCalls; ++i) KXUXByteToUnicode(h, out, 64, "a", &count);
        t[3] = Now();
        for (int i = 0; i < kCalls; ++i) {
            char in[] = "a", *ip = in, *op = (char *)out;
            size_t il = 1, ol = sizeof out;
            iconv(cd, &ip, &il, &op, &ol);
        }
        t[4] = Now();
        for (int k = 0; k < 4; ++k)
            if ((t[k + 1] - t[k]) / kCalls < best[k]) best[k] = (t[k + 1] - t[k]) / kCalls;
    }
    printf("%s: codeset name read and compared %.1f ns; KXUXByteToUnicode \"\" %.1f ns, \"a\" %.1f ns; iconv \"a\" %.1f ns\n",
           argv[1], best[0], best[1], best[2], best[3]);
    iconv_close(cd);
    KXUXUnloadConverter(h);
    return 0;
}
