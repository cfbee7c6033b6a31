/* quemba tool: the info command, the locale's country information. */
#define _POSIX_C_SOURCE 200809L
#include "tool.h"

#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/utf8.h>

#include <langinfo.h>
#include <limits.h>
#include <stddef.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

struct facts {
    CountryInfo info;
    const char *locale, *codeset, *country_id;
    uint32_t code_page;
    char version[16];
    char date[64], time[64];
};

static const char *cs_precedes_text(char v) {
    if (v == 1) return "symbol before the amount";
    if (v == 0) return "symbol after the amount";
    return "unspecified";
}

static const char *sep_by_space_text(char v) {
    switch (v) {
    case 0: return "no space";
    case 1: return "space between symbol and amount";
    case 2: return "space between symbol and sign";
    default: return "unspecified";
    }
}

static const char *sign_posn_text(char v) {
    switch (v) {
    case 0: return "parentheses around amount and symbol";
    case 1: return "sign before amount and symbol";
    case 2: return "sign after amount and symbol";
    case 3: return "sign just before the symbol";
    case 4: return "sign just after the symbol";
    default: return "unspecified";
    }
}

/* The record's fields in the order both printers show them. */
enum field_kind { FIELD_TEXT, FIELD_GROUPING, FIELD_NUMBER, FIELD_CS_PRECEDES, FIELD_SEP_BY_SPACE, FIELD_SIGN_POSN };

struct field {
    const char *name;
    enum field_kind kind;
    size_t offset, width;
};

#define FIELD(member, kind) {#member, kind, offsetof(CountryInfo, member), sizeof(((CountryInfo *)0)->member)}

static const struct field fields[] = {
    FIELD(decimal_point, FIELD_TEXT),      FIELD(thousands_sep, FIELD_TEXT),
    FIELD(grouping, FIELD_GROUPING),       FIELD(int_curr_symbol, FIELD_TEXT),
    FIELD(currency_symbol, FIELD_TEXT),    FIELD(mon_decimal_point, FIELD_TEXT),
    FIELD(mon_thousands_sep, FIELD_TEXT),  FIELD(mon_grouping, FIELD_GROUPING),
    FIELD(positive_sign, FIELD_TEXT),      FIELD(negative_sign, FIELD_TEXT),
    FIELD(int_frac_digits, FIELD_NUMBER),  FIELD(frac_digits, FIELD_NUMBER),
    FIELD(p_cs_precedes, FIELD_CS_PRECEDES), FIELD(p_sep_by_space, FIELD_SEP_BY_SPACE),
    FIELD(n_cs_precedes, FIELD_CS_PRECEDES), FIELD(n_sep_by_space, FIELD_SEP_BY_SPACE),
    FIELD(p_sign_posn, FIELD_SIGN_POSN),   FIELD(n_sign_posn, FIELD_SIGN_POSN),
    /* Fixed by the record's layout, the same in every locale. */
    FIELD(sep_1, FIELD_TEXT),              FIELD(sep_2, FIELD_TEXT),
    FIELD(sep_3, FIELD_TEXT),              FIELD(sep_4, FIELD_TEXT),
    FIELD(am_string, FIELD_TEXT),          FIELD(pm_string, FIELD_TEXT),
};

static const char *field_at(const CountryInfo *c, const struct field *d) { return (const char *)c + d->offset; }

static const char *meaning(enum field_kind kind, char v) {
    switch (kind) {
    case FIELD_CS_PRECEDES: return cs_precedes_text(v);
    case FIELD_SEP_BY_SPACE: return sep_by_space_text(v);
    case FIELD_SIGN_POSN: return sign_posn_text(v);
    default: return NULL;
    }
}

/* Group sizes from a grouping field: the first as its digit, the rest as
 * bytes; 0 or CHAR_MAX end it. Returns how many. */
static int group_sizes(const char *field, size_t width, int *sizes) {
    int n = 0;
    size_t i;
    for (i = 0; i < width; ++i) {
        int size = i == 0 ? field[0] - '0' : (unsigned char)field[i];
        if (size <= 0 || size >= CHAR_MAX) break;
        sizes[n++] = size;
    }
    return n;
}

static int gather(struct facts *f) {
    uint8_t major = 0, minor = 0, revision = 0, build = 0;
    uint32_t country = 0;
    struct tm sample;
    memset(f, 0, sizeof *f);
    /* Saturday, 3 February 2001, 13:04:05: no two fields alike. */
    memset(&sample, 0, sizeof sample);
    sample.tm_year = 101;
    sample.tm_mon = 1;
    sample.tm_mday = 3;
    sample.tm_hour = 13;
    sample.tm_min = 4;
    sample.tm_sec = 5;
    sample.tm_wday = 6;
    sample.tm_yday = 33;
    if (_KXGetCountryInfo(&f->info) != 0) {
        tool_error("cannot read the locale's country information");
        return EXIT_STOPPED;
    }
    /* A null name only asks: the category stays as it is. */
    f->country_id = KXLsetlocale(2, NULL);
    if (f->country_id == NULL) f->country_id = "";
    if (KXUSStandardUnicodeInit() == CVT_OK) {
        KXUSGetCodePage(&f->code_page, &country);
        KXUSStandardUnicodeRelease();
    }
    KXGetKXLOCALEVersion(&major, &minor, &revision, &build);
    sprintf(f->version, "%u.%u.%u.%u", major, minor, revision, build);
    f->locale = setlocale(LC_ALL, NULL);
    f->codeset = nl_langinfo(CODESET);
    if (KXLstrftime(f->date, sizeof f->date, "%x", &sample) == 0) f->date[0] = '\0';
    if (KXLstrftime(f->time, sizeof f->time, "%X", &sample) == 0) f->time[0] = '\0';
    return 0;
}

/* ---- Plain text, in the locale's own encoding ---- */

static void text_field(const char *name, const char *value) { printf("%-20s \"%s\"\n", name, value); }

static void grouping_line(const char *name, const char *field, size_t width) {
    int sizes[8], n = group_sizes(field, width, sizes), i;
    printf("%-20s ", name);
    if (n == 0) fputs("none", stdout);
    for (i = 0; i < n; ++i) printf(i ? ";%d" : "%d", sizes[i]);
    putchar('\n');
}

static void number_line(const char *name, char value, const char *meaning) {
    if (value == CHAR_MAX) printf("%-20s unspecified\n", name);
    else if (meaning) printf("%-20s %d (%s)\n", name, value, meaning);
    else printf("%-20s %d\n", name, value);
}

static void print_text(const struct facts *f) {
    const CountryInfo *c = &f->info;
    printf("%-20s %s\n", "locale", f->locale);
    printf("%-20s %s\n", "encoding", f->codeset);
    printf("%-20s %s\n", "country_id", f->country_id);
    printf("%-20s %d\n", "country_code", (int)c->country_code);
    printf("%-20s %u\n", "code_page", (unsigned)f->code_page);
    size_t i;
    for (i = 0; i < sizeof fields / sizeof fields[0]; ++i) {
        const struct field *d = &fields[i];
        const char *value = field_at(c, d);
        if (d->kind == FIELD_TEXT) text_field(d->name, value);
        else if (d->kind == FIELD_GROUPING) grouping_line(d->name, value, d->width);
        else number_line(d->name, *value, meaning(d->kind, *value));
    }
    text_field("date_example", f->date);
    text_field("time_example", f->time);
    printf("%-20s %s\n", "library_version", f->version);
}

/* ---- JSON, in UTF-8 ---- */

/* A locale string as a JSON string: decoded through a converter, written
 * as UTF-8 with the characters JSON reserves escaped. */
static void json_string(ConverterHandle h, const char *text) {
    uint16_t units[256];
    uint32_t count = 0, i;
    if (h == NULL || KXUXByteToUnicode(h, units, 256, text, &count) != CVT_OK) count = 0;
    putchar('"');
    for (i = 0; i < count; ++i) {
        uint16_t u = units[i];
        if (u == '"' || u == '\\') {
            printf("\\%c", u);
        } else if (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF)) {
            printf("\\u%04x", u);
        } else if (u < 0x80) {
            putchar(u);
        } else {
            uint16_t one[2];
            char utf8[4];
            uint32_t size = 0;
            one[0] = u;
            one[1] = 0;
            if (KXLUnicodeToUTF8(one, sizeof utf8, utf8, &size) == 0) fputs(utf8, stdout);
        }
    }
    putchar('"');
}

static void json_text(ConverterHandle h, const char *name, const char *value, int last) {
    printf("  \"%s\": ", name);
    json_string(h, value);
    fputs(last ? "\n" : ",\n", stdout);
}

static void json_grouping(const char *name, const char *field, size_t width) {
    int sizes[8], n = group_sizes(field, width, sizes), i;
    printf("  \"%s\": [", name);
    for (i = 0; i < n; ++i) printf(i ? ", %d" : "%d", sizes[i]);
    fputs("],\n", stdout);
}

static void json_number(const char *name, char value) {
    if (value == CHAR_MAX) printf("  \"%s\": null,\n", name);
    else printf("  \"%s\": %d,\n", name, value);
}

static void print_json(const struct facts *f) {
    const CountryInfo *c = &f->info;
    ConverterHandle h = NULL;
    size_t i;
    if (KXUXLoadByteUnicodeConverter(0, &h) != CVT_OK) h = NULL;
    if (h != NULL) KXUXSetScanAction(h, SCAN_NONE, SCAN_NONE);
    fputs("{\n", stdout);
    json_text(h, "locale", f->locale, 0);
    json_text(h, "encoding", f->codeset, 0);
    json_text(h, "country_id", f->country_id, 0);
    printf("  \"country_code\": %d,\n", (int)c->country_code);
    printf("  \"code_page\": %u,\n", (unsigned)f->code_page);
    for (i = 0; i < sizeof fields / sizeof fields[0]; ++i) {
        const struct field *d = &fields[i];
        const char *value = field_at(c, d);
        if (d->kind == FIELD_TEXT) json_text(h, d->name, value, 0);
        else if (d->kind == FIELD_GROUPING) json_grouping(d->name, value, d->width);
        else json_number(d->name, *value);
    }
    json_text(h, "date_example", f->date, 0);
    json_text(h, "time_example", f->time, 0);
    json_text(h, "library_version", f->version, 1);
    fputs("}\n", stdout);
    if (h != NULL) KXUXUnloadConverter(h);
}

int run_info(int json) {
    static struct facts f;
    int status = gather(&f);
    if (status != 0) return status;
    if (json) print_json(&f);
    else print_text(&f);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        tool_error("cannot write the output");
        return EXIT_IO;
    }
    return 0;
}
