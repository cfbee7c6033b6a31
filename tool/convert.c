/* quemba tool: the convert command. Each chunk of input is decoded into
 * UTF-16, then encoded into the target; both directions of locale text go
 * through one converter handle. */
#define _POSIX_C_SOURCE 200809L
#include "tool.h"

#include <quemba/converter.h>
#include <quemba/locale_services.h>

#include <langinfo.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

/* Decoding can turn one byte into four units (a "[XX]" escape). */
#define UNIT_CAPACITY (4u * INPUT_CAPACITY + 8u)
/* Output is gathered into blocks this large, one write each. */
#define OUTPUT_CAPACITY (1u << 20)
#define LONGEST_SUBSTITUTE 16u

static uint16_t units[UNIT_CAPACITY + 1];
static char output[OUTPUT_CAPACITY];

/* Where a conversion under --unmappable stop ended. The fixers below record
 * it: the library hands them the unmappable text. */
static struct {
    const char *bytes; /* source side: where reading failed */
    const uint16_t *unit; /* target side: the unit that could not be written */
} stopped;

static char substitute_bytes[LONGEST_SUBSTITUTE];
static uint32_t substitute_length;

static int32_t stop_at_bytes(ConverterHandle handle, uint16_t *out, uint32_t space,
                             uint32_t *produced, const char *bytes, uint32_t count) {
    (void)handle, (void)out, (void)space, (void)count;
    *produced = 0;
    stopped.bytes = bytes;
    return CVT_E_NO_MAP;
}

static int32_t stop_at_unit(ConverterHandle handle, char *out, uint32_t space,
                            uint32_t *produced, const uint16_t *unit, uint32_t count) {
    (void)handle, (void)out, (void)space, (void)count;
    *produced = 0;
    stopped.unit = unit;
    return CVT_E_NO_MAP;
}

/* A substitute of several bytes, which the byte-sized substitution setting
 * cannot hold. */
static int32_t write_substitute(ConverterHandle handle, char *out, uint32_t space,
                                uint32_t *produced, const uint16_t *unit, uint32_t count) {
    uint32_t i;
    (void)handle, (void)unit;
    *produced = 0;
    if (space < count * substitute_length) return CVT_E_BUFFER_FULL;
    for (i = 0; i < count; ++i) memcpy(out + i * substitute_length, substitute_bytes, substitute_length);
    *produced = count * substitute_length;
    return CVT_OK;
}

struct session {
    const struct convert_options *options;
    ConverterHandle handle;
    uint16_t substitute; /* the substitute as a unit, for Unicode targets */
    size_t count;        /* units decoded from the current chunk */
    /* A high surrogate at the end of a chunk waits for its partner in the
     * next one: UTF-8 output writes the pair as one character, and neither
     * output may take it for a lone one. */
    int held;
    uint16_t held_units[5];
    uint64_t held_offset; /* its input offset, for a stop */
    int lead;             /* units at the start of the chunk that came so */
    uint64_t lead_offset;
    const char *bad;     /* source side: first byte that could not be read */
    size_t bad_length;   /* and its length, for UTF-8 and UTF-16 input */
    int unchanged;       /* UTF-8 in and out: valid chunks go out as they came */
};

static const char *encoding_name(enum encoding e) {
    switch (e) {
    case ENC_UTF8: return "UTF-8";
    case ENC_UTF16LE: return "UTF-16LE";
    case ENC_UTF16BE: return "UTF-16BE";
    default: return "this locale";
    }
}

static int library_failure(const char *what, int32_t rc) {
    tool_error("%s failed (library result %d)", what, (int)rc);
    return EXIT_STOPPED;
}

/* ---- Setting up the converter ---- */

static int decode_substitute(struct session *s, const char *text) {
    uint16_t decoded[4];
    uint32_t count = 0;
    int32_t rc = KXUXLenByteToUnicode(s->handle, decoded, 4, text, -1, &count);
    if (rc != CVT_OK || count != 1 || (decoded[0] >= 0xD800 && decoded[0] <= 0xDFFF)) {
        tool_error("--substitute takes one character of the locale's encoding");
        return EXIT_USAGE;
    }
    s->substitute = decoded[0];
    return 0;
}

/* The substitute in the locale's encoding: U+FFFD where the locale has it,
 * else "?". */
static void encode_substitute(struct session *s) {
    uint16_t text[2];
    uint32_t count = 0;
    text[0] = s->substitute;
    text[1] = 0;
    if (KXUXUnicodeToByte(s->handle, substitute_bytes, sizeof substitute_bytes, text, &count) != CVT_OK
        || count == 0) {
        substitute_bytes[0] = '?';
        count = 1;
        s->substitute = '?';
    }
    substitute_length = count;
}

static int set_up_converter(struct session *s) {
    const struct convert_options *o = s->options;
    int32_t byte_action = NOMAP_SUBSTITUTE, uni_action = NOMAP_SUBSTITUTE;
    ByteNoMapFixer byte_fixer = NULL;
    UniNoMapFixer uni_fixer = NULL;
    int32_t rc = KXUXLoadByteUnicodeConverter(0, &s->handle);
    if (rc != CVT_OK) return library_failure("loading the converter", rc);
    /* Stop on everything while the substitute is read and encoded. */
    if ((rc = KXUXSetNoMapAction(s->handle, NOMAP_STOP, NOMAP_STOP)) != CVT_OK
        || (rc = KXUXSetScanAction(s->handle, SCAN_NONE, SCAN_NONE)) != CVT_OK)
        return library_failure("setting up the converter", rc);
    s->substitute = 0xFFFD;
    if (o->substitute != NULL) {
        int status = decode_substitute(s, o->substitute);
        if (status != 0) return status;
    }
    if (o->to == ENC_LOCALE) encode_substitute(s);

    switch (o->unmappable) {
    case UNMAP_STOP:
        byte_action = uni_action = NOMAP_FIXER;
        byte_fixer = stop_at_bytes;
        uni_fixer = stop_at_unit;
        break;
    case UNMAP_ESCAPE:
        byte_action = uni_action = NOMAP_FIXER;
        break;
    case UNMAP_SUBSTITUTE:
        if ((rc = KXUXSetSubUni(s->handle, s->substitute)) != CVT_OK)
            return library_failure("setting the substitute", rc);
        if (o->to == ENC_LOCALE && substitute_length > 1) {
            uni_action = NOMAP_FIXER;
            uni_fixer = write_substitute;
        } else if (o->to == ENC_LOCALE
                   && (rc = KXUXSetSubByte(s->handle, (uint8_t)substitute_bytes[0])) != CVT_OK) {
            return library_failure("setting the substitute", rc);
        }
        break;
    }
    if ((rc = KXUXSetNoMapAction(s->handle, byte_action, uni_action)) != CVT_OK
        || (rc = KXUXSetByteFunctions(s->handle, byte_fixer, NULL, NULL)) != CVT_OK
        || (rc = KXUXSetUniFunctions(s->handle, uni_fixer, NULL, NULL)) != CVT_OK
        || (rc = KXUXSetScanAction(s->handle, o->unescape ? SCAN_ESCAPES : SCAN_NONE, SCAN_NONE))
               != CVT_OK)
        return library_failure("setting up the converter", rc);
    return 0;
}

/* ---- Decoding a chunk into units ---- */

static const char hex_digits[] = "0123456789ABCDEF";

/* Malformed bytes of UTF-8 or UTF-16 input, by the --unmappable policy;
 * locale input gets the same treatment from the library. */
static int take_malformed(struct session *s, const char *bytes, size_t n) {
    size_t i;
    switch (s->options->unmappable) {
    case UNMAP_STOP:
        s->bad = bytes;
        s->bad_length = n;
        return EXIT_STOPPED;
    case UNMAP_SUBSTITUTE:
        units[s->count++] = s->substitute;
        return 0;
    case UNMAP_ESCAPE:
        for (i = 0; i < n; ++i) {
            unsigned char b = (unsigned char)bytes[i];
            units[s->count++] = '[';
            units[s->count++] = (uint16_t)hex_digits[b >> 4];
            units[s->count++] = (uint16_t)hex_digits[b & 15];
            units[s->count++] = ']';
        }
        return 0;
    }
    return 0;
}

/* data[length] is 0: each run up to a NUL byte converts as a terminated
 * string, so a character cut short by the end of input is reported rather
 * than left over. */
static int decode_locale(struct session *s, const char *data, size_t length) {
    const char *p = data, *end = data + length;
    while (p < end) {
        size_t run = strlen(p);
        if (run > 0) {
            uint32_t count = 0;
            int32_t rc = KXUXLenByteToUnicode(s->handle, units + s->count,
                                              (uint32_t)(UNIT_CAPACITY - s->count), p, -1, &count);
            s->count += count;
            if (rc == CVT_E_NO_MAP && stopped.bytes != NULL) {
                s->bad = stopped.bytes;
                return EXIT_STOPPED;
            }
            if (rc != CVT_OK) return library_failure("reading locale text", rc);
        }
        p += run;
        if (p < end) {
            units[s->count++] = 0;
            ++p;
        }
    }
    return 0;
}

/* The sequence at p: its length and whether it is a character. A bad one
 * is its maximal subpart, the longest prefix that some character starts
 * with, or one byte; each gets one substitute, as ICU and Python give.
 * Encoded surrogates are bad: the library reads them back from its own
 * output, but text from elsewhere that holds them is malformed. */
static size_t utf8_sequence(const unsigned char *p, const unsigned char *end, int *valid) {
    unsigned char lead = *p, low = 0x80, high = 0xBF;
    size_t want, n = 1;
    *valid = 0;
    if (lead < 0x80) {
        *valid = 1;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) want = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) want = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) want = 4;
    else return 1;
    if (lead == 0xE0) low = 0xA0;
    else if (lead == 0xED) high = 0x9F;
    else if (lead == 0xF0) low = 0x90;
    else if (lead == 0xF4) high = 0x8F;
    if (p + 1 < end && p[1] >= low && p[1] <= high) {
        n = 2;
        while (n < want && p + n < end && (p[n] & 0xC0) == 0x80) ++n;
    }
    *valid = n == want;
    return n;
}

/* A four-byte character, which the library's UTF-8 functions leave out,
 * becomes a surrogate pair here. */
static void utf8_take_supplementary(struct session *s, const unsigned char *p) {
    uint32_t c = ((uint32_t)(p[0] & 7) << 18) | ((uint32_t)(p[1] & 0x3F) << 12)
                 | ((uint32_t)(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    c -= 0x10000;
    units[s->count++] = (uint16_t)(0xD800 + (c >> 10));
    units[s->count++] = (uint16_t)(0xDC00 + (c & 0x3FF));
}

#if defined(__SSE2__)
/* Blocks of 16 bytes of ASCII and two-byte characters (Cyrillic or Greek
 * words between spaces and markup): every byte is decoded as though it
 * led a character, and the units of continuation bytes are then dropped,
 * without a branch per character. A block whose last byte leads a
 * character takes the byte after it too. Stops before any other block. */
static uint16_t *utf8_blocks(const unsigned char **at, const unsigned char *end, uint16_t *u) {
    const unsigned char *p = *at;
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 17) {
        __m128i v = _mm_loadu_si128((const __m128i *)p);
        __m128i next, lead, lo, hi, lead_lo, lead_hi;
        unsigned high = (unsigned)_mm_movemask_epi8(v), leads, conts, keep;
        uint16_t all[16];
        size_t j, k;
        if (high == 0) {
            _mm_storeu_si128((__m128i *)u, _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128((__m128i *)(u + 8), _mm_unpackhi_epi8(v, zero));
            u += 16;
            p += 16;
            continue;
        }
        next = _mm_loadu_si128((const __m128i *)(p + 1));
        /* Leads C2-DF, as signed bytes. */
        lead = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8((char)0xC1)), _mm_cmplt_epi8(v, _mm_set1_epi8((char)0xE0)));
        leads = (unsigned)_mm_movemask_epi8(lead);
        conts = (unsigned)_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8((char)0xC0)), _mm_set1_epi8((char)0x80)));
        /* Each continuation byte right after a lead, nothing else above
         * ASCII; a lead in the last place needs a continuation next. */
        if (conts != ((leads << 1) & 0xFFFF) || high != (leads | conts)) break;
        if ((leads & 0x8000) && (p[16] & 0xC0) != 0x80) break;
        lead_lo = _mm_unpacklo_epi8(lead, lead);
        lead_hi = _mm_unpackhi_epi8(lead, lead);
        lo = _mm_unpacklo_epi8(v, zero);
        hi = _mm_unpackhi_epi8(v, zero);
        {
            __m128i mask6 = _mm_set1_epi16(0x3F), mask5 = _mm_set1_epi16(0x1F);
            __m128i two_lo = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(lo, mask5), 6),
                                          _mm_and_si128(_mm_unpacklo_epi8(next, zero), mask6));
            __m128i two_hi = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(hi, mask5), 6),
                                          _mm_and_si128(_mm_unpackhi_epi8(next, zero), mask6));
            lo = _mm_or_si128(_mm_and_si128(lead_lo, two_lo), _mm_andnot_si128(lead_lo, lo));
            hi = _mm_or_si128(_mm_and_si128(lead_hi, two_hi), _mm_andnot_si128(lead_hi, hi));
        }
        _mm_storeu_si128((__m128i *)all, lo);
        _mm_storeu_si128((__m128i *)(all + 8), hi);
        keep = ~conts;
        /* Unrolled: the step is all that links one unit to the next. */
        for (j = 0, k = 0; k < 16; k += 4) {
            u[j] = all[k], j += (keep >> k) & 1;
            u[j] = all[k + 1], j += (keep >> (k + 1)) & 1;
            u[j] = all[k + 2], j += (keep >> (k + 2)) & 1;
            u[j] = all[k + 3], j += (keep >> (k + 3)) & 1;
        }
        u += j;
        p += 16 + (leads >> 15);
    }
    *at = p;
    return u;
}
#endif

/* Units of ASCII, two- and three-byte characters, read here in one pass;
 * NULs are ASCII too. Anything else goes to utf8_sequence. */
static int decode_utf8(struct session *s, char *data, size_t length) {
    const unsigned char *p = (const unsigned char *)data, *end = p + length;
    uint16_t *u = units + s->count;
    while (p < end) {
        unsigned char c = *p;
        size_t n;
        int valid, status;
#if defined(__SSE2__)
        if (c < 0xE0) {
            u = utf8_blocks(&p, end, u);
            if (p == end) break;
            c = *p;
        }
#endif
        if (c < 0x80) {
            while (end - p >= 8) {
                uint64_t w;
                memcpy(&w, p, 8);
                if (w & 0x8080808080808080ull) break;
                u[0] = p[0], u[1] = p[1], u[2] = p[2], u[3] = p[3];
                u[4] = p[4], u[5] = p[5], u[6] = p[6], u[7] = p[7];
                u += 8;
                p += 8;
            }
            while (p < end && *p < 0x80) *u++ = *p++;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            /* Runs of two-byte characters in one loop. */
            while (end - p >= 2 && (c = *p) >= 0xC2 && c <= 0xDF && (p[1] & 0xC0) == 0x80) {
                *u++ = (uint16_t)((c & 0x1F) << 6 | (p[1] & 0x3F));
                p += 2;
            }
            continue;
        }
        if (c >= 0xE0 && c <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80
            && (c != 0xE0 || p[1] >= 0xA0) && (c != 0xED || p[1] <= 0x9F)) {
            *u++ = (uint16_t)((c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
            p += 3;
            continue;
        }
        s->count = (size_t)(u - units);
        n = utf8_sequence(p, end, &valid);
        if (valid) {
            utf8_take_supplementary(s, p);
        } else if ((status = take_malformed(s, (const char *)p, n)) != 0) {
            return status;
        }
        p += n;
        u = units + s->count;
    }
    s->count = (size_t)(u - units);
    return 0;
}

/* Whether a chunk of UTF-8 would come out of the units exactly as it went
 * in: whole, valid characters, four-byte ones only where both sides take
 * them, and a "[" only where nothing reads or writes escapes. */
static int utf8_unchanged(const unsigned char *p, size_t length, int four, int brackets) {
    const unsigned char *end = p + length;
    while (p < end) {
        int valid;
        size_t n;
#if defined(__SSE2__)
        while (end - p >= 16) {
            __m128i v = _mm_loadu_si128((const __m128i *)p);
            int stop = _mm_movemask_epi8(v);
            if (!brackets) stop |= _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('[')));
            if (stop != 0) {
                p += __builtin_ctz((unsigned)stop);
                break;
            }
            p += 16;
        }
        if (p == end) break;
#endif
        if (*p < 0x80) {
            if (*p++ == '[' && !brackets) return 0;
            continue;
        }
        n = utf8_sequence(p, end, &valid);
        if (!valid || (n == 4 && !four)) return 0;
        p += n;
    }
    return 1;
}

static int decode_utf16(struct session *s, const char *data, size_t length, int big_endian) {
    const unsigned char *p = (const unsigned char *)data;
    size_t i, pairs = length / 2;
    for (i = 0; i < pairs; ++i, p += 2)
        units[s->count++] = big_endian ? (uint16_t)(p[0] << 8 | p[1]) : (uint16_t)(p[1] << 8 | p[0]);
    return length % 2 ? take_malformed(s, (const char *)p, 1) : 0;
}

static int decode(struct session *s, char *data, size_t length) {
    s->count = 0;
    s->lead = s->held;
    s->lead_offset = s->held_offset;
    s->held = 0;
    while (s->count < (size_t)s->lead) {
        units[s->count] = s->held_units[s->count];
        ++s->count;
    }
    s->bad = NULL;
    stopped.bytes = NULL;
    switch (s->options->from) {
    case ENC_LOCALE: return decode_locale(s, data, length);
    case ENC_UTF8: return decode_utf8(s, data, length);
    case ENC_UTF16LE: return decode_utf16(s, data, length, 0);
    case ENC_UTF16BE: return decode_utf16(s, data, length, 1);
    }
    return 0;
}

/* ---- Encoding units into the target ---- */

static int is_surrogate(uint16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

/* Units of units[from..to) without a NUL, as locale text; *stop gets the
 * index of a unit that could not be written. */
static int encode_locale_run(struct session *s, size_t from, size_t to, size_t *stop) {
    uint32_t count = 0;
    uint16_t kept = units[to];
    int32_t rc;
    units[to] = 0;
    stopped.unit = NULL;
    rc = s->options->path
             ? KXUXUnicodeToBytePath(s->handle, output, OUTPUT_CAPACITY, units + from, &count)
             : KXUXUnicodeToByte(s->handle, output, OUTPUT_CAPACITY, units + from, &count);
    units[to] = kept;
    if (output_write(output, count) != 0) return EXIT_IO;
    if (rc == CVT_E_NO_MAP && stopped.unit != NULL) {
        *stop = (size_t)(stopped.unit - units);
        return EXIT_STOPPED;
    }
    return rc == CVT_OK ? 0 : library_failure("writing locale text", rc);
}

static int is_escape_digit(uint16_t u) { return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F'); }

/* Whether units[i..] is the "[XXXX]" that --unescape would read as an
 * escape: its "[" is then written escaped, so the text comes back as it
 * was. */
static int is_escape_shape(const struct session *s, size_t i) {
    size_t j;
    if (i + 6 > s->count || units[i] != '[' || units[i + 5] != ']') return 0;
    for (j = i + 1; j < i + 5; ++j)
        if (!is_escape_digit(units[j])) return 0;
    return 1;
}

/* The start of an escape shape at the end of a chunk waits for the rest
 * of it in the next one. */
static void hold_escape_start(struct session *s) {
    size_t i, j;
    for (i = s->count > 5 ? s->count - 5 : 0; i < s->count; ++i) {
        if (units[i] != '[') continue;
        for (j = i + 1; j < s->count && is_escape_digit(units[j]); ++j) {}
        if (j == s->count) break;
    }
    if (i == s->count) return;
    s->held = (int)(s->count - i);
    memcpy(s->held_units, units + i, (s->count - i) * sizeof units[0]);
    s->count = i;
}

/* The first NUL unit of units[from..limit), or limit. */
static size_t find_nul(size_t from, size_t limit) {
#if defined(__SSE2__)
    while (limit - from >= 8) {
        __m128i v = _mm_loadu_si128((const __m128i *)(units + from));
        int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, _mm_setzero_si128()));
        if (mask != 0) return from + (size_t)__builtin_ctz((unsigned)mask) / 2;
        from += 8;
    }
#endif
    while (from < limit && units[from] != 0) ++from;
    return from;
}

static int encode_locale(struct session *s, size_t *stop) {
    /* The most bytes one unit can become: a character, an escape or the
     * substitute. */
    size_t widest = MB_CUR_MAX > 6 ? MB_CUR_MAX : 6;
    size_t piece = (OUTPUT_CAPACITY - 1) / (widest > substitute_length ? widest : substitute_length);
    size_t i = 0;
    while (i < s->count) {
        size_t end = i;
        int escaping = s->options->unmappable == UNMAP_ESCAPE;
        if (!escaping) {
            end = find_nul(i, s->count - i < piece ? s->count : i + piece);
        } else {
            while (end < s->count && end - i < piece && units[end] != 0 && !is_escape_shape(s, end)) ++end;
        }
        if (end > i) {
            int status = encode_locale_run(s, i, end, stop);
            if (status != 0) return status;
        }
        i = end;
        if (i < s->count && escaping && is_escape_shape(s, i)) {
            if (output_write("[005B]", 6) != 0) return EXIT_IO;
            ++i;
        }
        if (i < s->count && units[i] == 0) {
            if (output_write("", 1) != 0) return EXIT_IO;
            ++i;
        }
    }
    return 0;
}

#if defined(__SSE2__)
/* Blocks of eight units without surrogates (words of Cyrillic, Greek or
 * CJK between spaces and markup): each lane becomes its one to three
 * bytes, and the lanes are laid end to end without a branch per unit.
 * Four bytes are stored for every unit, the rest overwritten by the next. */
static size_t utf8_out_blocks(const uint16_t *u, size_t *at, size_t end, unsigned char *o, size_t n) {
    size_t i = *at;
    const __m128i zero = _mm_setzero_si128();
    while (end - i >= 8) {
        __m128i v = _mm_loadu_si128((const __m128i *)(u + i));
        __m128i top = _mm_and_si128(v, _mm_set1_epi16((short)0xF800));
        __m128i one = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16((short)0xFF80)), zero);
        __m128i upto2 = _mm_cmpeq_epi16(top, zero);
        __m128i lengths;
        uint32_t words[8];
        uint16_t length[8];
        int h;
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(top, _mm_set1_epi16((short)0xD800))) != 0) break;
        if (_mm_movemask_epi8(one) == 0xFFFF) {
            /* ASCII (markup, licences): sixteen units while they last. */
            __m128i w;
            while (end - i >= 16
                   && _mm_movemask_epi8(_mm_cmpeq_epi16(
                          _mm_and_si128(_mm_or_si128(v, w = _mm_loadu_si128((const __m128i *)(u + i + 8))),
                                        _mm_set1_epi16((short)0xFF80)),
                          zero)) == 0xFFFF) {
                _mm_storeu_si128((__m128i *)(o + n), _mm_packus_epi16(v, w));
                n += 16;
                i += 16;
                if (end - i < 8) break;
                v = _mm_loadu_si128((const __m128i *)(u + i));
            }
            if (end - i < 8 || _mm_movemask_epi8(_mm_cmpeq_epi16(
                                   _mm_and_si128(v, _mm_set1_epi16((short)0xFF80)), zero)) != 0xFFFF)
                continue;
            _mm_storel_epi64((__m128i *)(o + n), _mm_packus_epi16(v, v));
            n += 8;
            i += 8;
            continue;
        }
        for (h = 0; h < 2; ++h) {
            __m128i x = h ? _mm_unpackhi_epi16(v, zero) : _mm_unpacklo_epi16(v, zero);
            __m128i m1 = h ? _mm_unpackhi_epi16(one, one) : _mm_unpacklo_epi16(one, one);
            __m128i m2 = h ? _mm_unpackhi_epi16(upto2, upto2) : _mm_unpacklo_epi16(upto2, upto2);
            __m128i low6 = _mm_and_si128(x, _mm_set1_epi32(0x3F));
            __m128i w2 = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(x, 6), _mm_slli_epi32(low6, 8)),
                                      _mm_set1_epi32(0x80C0));
            __m128i w3 = _mm_or_si128(
                _mm_or_si128(_mm_srli_epi32(x, 12),
                             _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(x, 6), _mm_set1_epi32(0x3F)), 8)),
                _mm_or_si128(_mm_slli_epi32(low6, 16), _mm_set1_epi32(0x8080E0)));
            __m128i w = _mm_or_si128(_mm_and_si128(m2, w2), _mm_andnot_si128(m2, w3));
            w = _mm_or_si128(_mm_and_si128(m1, x), _mm_andnot_si128(m1, w));
            _mm_storeu_si128((__m128i *)(words + 4 * h), w);
        }
        /* 3, less one for two bytes or fewer, less one more for ASCII. */
        lengths = _mm_add_epi16(_mm_add_epi16(_mm_set1_epi16(3), one), upto2);
        _mm_storeu_si128((__m128i *)length, lengths);
        /* Unrolled: the step is all that links one unit to the next. */
        memcpy(o + n, words, 4), n += length[0];
        memcpy(o + n, words + 1, 4), n += length[1];
        memcpy(o + n, words + 2, 4), n += length[2];
        memcpy(o + n, words + 3, 4), n += length[3];
        memcpy(o + n, words + 4, 4), n += length[4];
        memcpy(o + n, words + 5, 4), n += length[5];
        memcpy(o + n, words + 6, 4), n += length[6];
        memcpy(o + n, words + 7, 4), n += length[7];
        i += 8;
    }
    *at = i;
    return n;
}
#endif

/* Units become UTF-8 in one pass over the chunk, into blocks of output;
 * only surrogates leave the loop. */
static int encode_utf8(struct session *s, size_t *stop) {
    const uint16_t *u = units;
    unsigned char *o = (unsigned char *)output;
    size_t i = 0, n = 0, count = s->count;
    while (i < count) {
        /* Room for every unit of the pass at three bytes, and then for
         * the widest surrogate answer (an escape). */
        size_t room;
        size_t end;
        uint16_t c;
        if (OUTPUT_CAPACITY - n < 16) {
            if (output_write(output, n) != 0) return EXIT_IO;
            n = 0;
        }
        room = (OUTPUT_CAPACITY - 8 - n) / 3;
        end = count - i < room ? count : i + room;
        while (i < end) {
            c = u[i];
#if defined(__SSE2__)
            if (!is_surrogate(c)) {
                n = utf8_out_blocks(u, &i, end, o, n);
                if (i == end) break;
                c = u[i];
            }
#endif
            if (c < 0x80) {
                /* With SSE2 the blocks above took all but a surrogate's
                 * neighbours and the last few units. */
                while (end - i >= 4) {
                    uint64_t w;
                    memcpy(&w, u + i, 8);
                    if (w & 0xFF80FF80FF80FF80ull) break;
                    o[n] = (unsigned char)u[i], o[n + 1] = (unsigned char)u[i + 1];
                    o[n + 2] = (unsigned char)u[i + 2], o[n + 3] = (unsigned char)u[i + 3];
                    n += 4;
                    i += 4;
                }
                while (i < end && u[i] < 0x80) o[n++] = (unsigned char)u[i++];
                continue;
            }
            if (c < 0x800) {
                /* Two-byte characters (Cyrillic, Greek, Hebrew) and the
                 * ASCII between them in one loop, two bytes stored for
                 * each unit and the second overwritten after ASCII. */
                while (i < end && (c = u[i]) < 0x800) {
                    unsigned two = c >= 0x80;
                    o[n] = (unsigned char)(two ? 0xC0 | c >> 6 : c);
                    o[n + 1] = (unsigned char)(0x80 | (c & 0x3F));
                    n += 1 + two;
                    ++i;
                }
                continue;
            }
            if (is_surrogate(c)) break;
            /* Runs of three-byte characters (CJK), each stored as four
             * bytes whose last the next overwrites: the pass keeps room. */
            do {
                uint32_t w = (uint32_t)(0xE0 | c >> 12) | (uint32_t)(0x80 | ((c >> 6) & 0x3F)) << 8
                             | (uint32_t)(0x80 | (c & 0x3F)) << 16;
                unsigned char b[4];
                b[0] = (unsigned char)w, b[1] = (unsigned char)(w >> 8), b[2] = (unsigned char)(w >> 16), b[3] = 0;
                memcpy(o + n, b, 4);
                n += 3;
            } while (++i < end && (c = u[i]) >= 0x800 && !is_surrogate(c));
        }
        if (i == end) continue;
        c = u[i];
        if (c <= 0xDBFF && i + 1 < count && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            uint32_t w = 0x10000 + (((uint32_t)c - 0xD800) << 10) + (u[i + 1] - 0xDC00u);
            o[n] = (unsigned char)(0xF0 | w >> 18);
            o[n + 1] = (unsigned char)(0x80 | ((w >> 12) & 0x3F));
            o[n + 2] = (unsigned char)(0x80 | ((w >> 6) & 0x3F));
            o[n + 3] = (unsigned char)(0x80 | (w & 0x3F));
            n += 4;
            ++i;
        } else if (s->options->unmappable == UNMAP_STOP) {
            /* A lone surrogate has no UTF-8 form. */
            if (output_write(output, n) != 0) return EXIT_IO;
            *stop = i;
            return EXIT_STOPPED;
        } else if (s->options->unmappable == UNMAP_ESCAPE) {
            o[n] = '[';
            o[n + 1] = (unsigned char)hex_digits[c >> 12];
            o[n + 2] = (unsigned char)hex_digits[(c >> 8) & 15];
            o[n + 3] = (unsigned char)hex_digits[(c >> 4) & 15];
            o[n + 4] = (unsigned char)hex_digits[c & 15];
            o[n + 5] = ']';
            n += 6;
        } else {
            /* The substitute is never a surrogate. */
            c = s->substitute;
            if (c < 0x80) {
                o[n++] = (unsigned char)c;
            } else if (c < 0x800) {
                o[n++] = (unsigned char)(0xC0 | c >> 6);
                o[n++] = (unsigned char)(0x80 | (c & 0x3F));
            } else {
                o[n++] = (unsigned char)(0xE0 | c >> 12);
                o[n++] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
                o[n++] = (unsigned char)(0x80 | (c & 0x3F));
            }
        }
        ++i;
    }
    return output_write(output, n) != 0 ? EXIT_IO : 0;
}

/* A surrogate without its partner, which UTF-16 output must not hold. */
static int is_lone_surrogate(const struct session *s, size_t i) {
    uint16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF)
        return !(i + 1 < s->count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF);
    if (u >= 0xDC00 && u <= 0xDFFF)
        return !(i > 0 && units[i - 1] >= 0xD800 && units[i - 1] <= 0xDBFF);
    return 0;
}

static int encode_utf16(struct session *s, int big_endian, size_t *stop) {
    size_t i = 0, j, n = 0;
    int high = big_endian ? 0 : 1;
    while (i < s->count) {
        /* Room for the pass at two bytes a unit, then for an escape. */
        size_t room;
        size_t end;
        uint16_t text[6];
        size_t length = 1;
        if (OUTPUT_CAPACITY - n < 16) {
            if (output_write(output, n) != 0) return EXIT_IO;
            n = 0;
        }
        room = (OUTPUT_CAPACITY - 12 - n) / 2;
        end = s->count - i < room ? s->count : i + room;
#if defined(__SSE2__)
        /* x86: units are little-endian in memory. */
        while (end - i >= 8) {
            __m128i v = _mm_loadu_si128((const __m128i *)(units + i));
            __m128i top = _mm_and_si128(v, _mm_set1_epi16((short)0xF800));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(top, _mm_set1_epi16((short)0xD800))) != 0) break;
            if (big_endian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
            _mm_storeu_si128((__m128i *)(output + n), v);
            i += 8;
            n += 16;
        }
#endif
        for (; i < end && !is_surrogate(units[i]); ++i, n += 2) {
            output[n + high] = (char)(units[i] >> 8);
            output[n + 1 - high] = (char)(units[i] & 0xFF);
        }
        if (i == end) continue;
        text[0] = units[i];
        if (is_lone_surrogate(s, i)) {
            if (s->options->unmappable == UNMAP_STOP) {
                if (output_write(output, n) != 0) return EXIT_IO;
                *stop = i;
                return EXIT_STOPPED;
            }
            if (s->options->unmappable == UNMAP_ESCAPE) {
                text[0] = '[';
                for (j = 1; j < 5; ++j) text[j] = (uint16_t)hex_digits[(units[i] >> (4 * (4 - j))) & 15];
                text[5] = ']';
                length = 6;
            } else {
                text[0] = s->substitute;
            }
        }
        for (j = 0; j < length; ++j, n += 2) {
            output[n + high] = (char)(text[j] >> 8);
            output[n + 1 - high] = (char)(text[j] & 0xFF);
        }
        ++i;
    }
    return output_write(output, n) != 0 ? EXIT_IO : 0;
}

static int encode(struct session *s, size_t *stop) {
    switch (s->options->to) {
    case ENC_LOCALE: return encode_locale(s, stop);
    case ENC_UTF8: return encode_utf8(s, stop);
    case ENC_UTF16LE: return encode_utf16(s, 0, stop);
    case ENC_UTF16BE: return encode_utf16(s, 1, stop);
    }
    return 0;
}

/* ---- Reporting a stop ---- */

/* Input bytes before unit k of the chunk. Under --unmappable stop every
 * character before it was read without fault, so each took one unit (an
 * escape, a NUL and every locale character alike) or, in UTF-8, two for a
 * four-byte sequence. */
static size_t offset_of_unit(struct session *s, const char *data, size_t length, size_t k) {
    size_t p = 0, seen = 0;
    switch (s->options->from) {
    case ENC_UTF16LE:
    case ENC_UTF16BE: return 2 * k;
    case ENC_UTF8:
        while (seen < k && p < length) {
            unsigned char lead = (unsigned char)data[p];
            size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            seen += n == 4 ? 2 : 1;
            p += n;
        }
        return p;
    case ENC_LOCALE:
        while (seen < k && p < length) {
            int32_t n = 1;
            if (data[p] == '\0') {
                n = 1;
            } else if (s->options->unescape && length - p >= 6
                       && KXZByteScanner(s->handle, data + p, 6) == data + p) {
                n = 6;
            } else {
                n = KXLmblen(data + p, (uint32_t)(length - p));
                if (n <= 0) n = 1;
            }
            p += (size_t)n;
            ++seen;
        }
        return p;
    }
    return p;
}

/* Bytes of the bad sequence worth showing: those libc still took for the
 * start of a character, or the first. */
static size_t bad_sequence_length(const char *p, size_t available) {
    size_t n;
    for (n = 1; n <= available; ++n) {
        mbstate_t state;
        size_t r;
        memset(&state, 0, sizeof state);
        r = mbrlen(p, n, &state);
        if (r == (size_t)-1) return n > 1 ? n - 1 : 1;
        if (r != (size_t)-2) break;
    }
    return n > available ? available : n;
}

static uint64_t unit_offset(struct session *s, const struct input *in, size_t cut, size_t k) {
    if (k < (size_t)s->lead) return s->lead_offset;
    return in->offset + offset_of_unit(s, in->data, cut, k - (size_t)s->lead);
}

static void report_bad_bytes(struct session *s, uint64_t offset, const char *bytes, size_t n) {
    char shown[3 * 16 + 1];
    size_t i, len = 0;
    if (n > 16) n = 16;
    for (i = 0; i < n; ++i)
        len += (size_t)sprintf(shown + len, i ? " %02X" : "%02X", (unsigned char)bytes[i]);
    tool_error("stopped at byte %llu: byte%s %s cannot be read %s%s", (unsigned long long)offset,
               n > 1 ? "s" : "", shown, s->options->from == ENC_LOCALE ? "in " : "as ",
               encoding_name(s->options->from));
}

static void report_unit(struct session *s, uint64_t offset, size_t k) {
    uint32_t c = units[k];
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < s->count && units[k + 1] >= 0xDC00
        && units[k + 1] <= 0xDFFF)
        c = 0x10000 + ((c - 0xD800) << 10) + (units[k + 1] - 0xDC00u);
    tool_error("stopped at byte %llu: U+%04lX cannot be written %s%s", (unsigned long long)offset,
               (unsigned long)c, s->options->to == ENC_LOCALE ? "in " : "as ",
               encoding_name(s->options->to));
}

/* ---- The stream ---- */

static const char *const byte_order_marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

static size_t chunk_cut(const struct convert_options *o, const struct input *in) {
    if (in->eof) return in->length;
    switch (o->from) {
    case ENC_LOCALE: return locale_cut_fast(in->data, in->length, o->unescape);
    case ENC_UTF8: return utf8_cut(in->data, in->length);
    case ENC_UTF16LE: return utf16_cut(in->data, in->length, 0);
    case ENC_UTF16BE: return utf16_cut(in->data, in->length, 1);
    }
    return in->length;
}

static int convert_stream(struct session *s, struct input *in) {
    const struct convert_options *o = s->options;
    int first = 1;
    if (o->bom && o->to != ENC_LOCALE) {
        const char *mark = byte_order_marks[o->to];
        if (output_write(mark, strlen(mark)) != 0) return EXIT_IO;
    }
    for (;;) {
        size_t cut, stop = 0;
        int decoded, encoded;
        char kept;
        if (input_fill(in) != 0) return EXIT_IO;
        if (first && o->from != ENC_LOCALE) {
            const char *mark = byte_order_marks[o->from];
            size_t n = strlen(mark);
            if (in->length >= n && memcmp(in->data, mark, n) == 0) input_consume(in, n);
        }
        first = 0;
        if (in->length == 0) return 0;
        cut = chunk_cut(o, in);
        if (s->unchanged && s->held == 0
            && utf8_unchanged((const unsigned char *)in->data, cut, o->from == ENC_UTF8 && o->to == ENC_UTF8,
                              !(o->from == ENC_LOCALE && o->unescape)
                                  && !(o->to == ENC_LOCALE && o->unmappable == UNMAP_ESCAPE))) {
            if (output_write(in->data, cut) != 0) return EXIT_IO;
            input_consume(in, cut);
            continue;
        }
        kept = in->data[cut];
        in->data[cut] = '\0';
        decoded = decode(s, in->data, cut);
        in->data[cut] = kept;
        if (decoded != 0 && decoded != EXIT_STOPPED) return decoded;
        if (decoded == 0 && o->to != ENC_LOCALE && !in->eof && s->count > 0
            && units[s->count - 1] >= 0xD800 && units[s->count - 1] <= 0xDBFF) {
            uint16_t high = units[--s->count];
            if (o->unmappable == UNMAP_STOP) s->held_offset = unit_offset(s, in, cut, s->count);
            s->held_units[0] = high;
            s->held = 1;
        }
        if (decoded == 0 && o->to == ENC_LOCALE && o->unmappable == UNMAP_ESCAPE && !in->eof)
            hold_escape_start(s);
        encoded = encode(s, &stop);
        if (encoded == EXIT_STOPPED) {
            report_unit(s, unit_offset(s, in, cut, stop), stop);
            return EXIT_STOPPED;
        }
        if (encoded != 0) return encoded;
        if (decoded == EXIT_STOPPED) {
            size_t at = (size_t)(s->bad - in->data);
            size_t n = o->from == ENC_LOCALE ? bad_sequence_length(s->bad, cut - at) : s->bad_length;
            report_bad_bytes(s, in->offset + at, s->bad, n);
            return EXIT_STOPPED;
        }
        input_consume(in, cut);
    }
}

int run_convert(const struct convert_options *options) {
    static struct input in;
    struct session s;
    int status;
    memset(&s, 0, sizeof s);
    s.options = options;
    if ((status = set_up_converter(&s)) != 0) {
        if (s.handle != NULL) KXUXUnloadConverter(s.handle);
        return status;
    }
    {
        int utf8 = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
        s.unchanged = (options->from == ENC_UTF8 || (options->from == ENC_LOCALE && utf8))
                      && (options->to == ENC_UTF8 || (options->to == ENC_LOCALE && utf8 && !options->path));
    }
    status = input_open(&in, options->file);
    if (status == 0) {
        status = convert_stream(&s, &in);
        input_close(&in);
    }
    KXUXUnloadConverter(s.handle);
    return status;
}
