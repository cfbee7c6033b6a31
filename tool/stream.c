/* quemba tool: reading in bounded chunks, cutting them at character
 * boundaries, and checked writing. */
#define _POSIX_C_SOURCE 200809L
#include "tool.h"

#include <quemba/locale_services.h>

#include <errno.h>
#include <fcntl.h>
#include <langinfo.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <unistd.h>

int input_open(struct input *in, const char *path) {
    in->eof = 0;
    in->length = 0;
    in->offset = 0;
    memset(in->data + INPUT_CAPACITY, 0, INPUT_PADDING);
    if (path == NULL || strcmp(path, "-") == 0) {
        in->fd = STDIN_FILENO;
        in->name = "standard input";
        return 0;
    }
    in->name = path;
    in->fd = open(path, O_RDONLY);
    if (in->fd < 0) {
        tool_error("cannot open %s: %s", path, strerror(errno));
        return EXIT_IO;
    }
    return 0;
}

int input_fill(struct input *in) {
    while (!in->eof && in->length < INPUT_CAPACITY) {
        ssize_t got = read(in->fd, in->data + in->length, INPUT_CAPACITY - in->length);
        if (got < 0) {
            if (errno == EINTR) continue;
            tool_error("cannot read %s: %s", in->name, strerror(errno));
            return EXIT_IO;
        }
        if (got == 0) in->eof = 1;
        in->length += (size_t)got;
    }
    memset(in->data + in->length, 0, INPUT_PADDING);
    return 0;
}

void input_consume(struct input *in, size_t n) {
    memmove(in->data, in->data + n, in->length - n);
    in->length -= n;
    in->offset += n;
    memset(in->data + in->length, 0, INPUT_PADDING);
}

void input_close(struct input *in) {
    if (in->fd != STDIN_FILENO) close(in->fd);
}

int output_write(const void *bytes, size_t n) {
    const char *p = bytes;
    while (n > 0) {
        ssize_t put = write(STDOUT_FILENO, p, n);
        if (put < 0) {
            if (errno == EINTR) continue;
            tool_error("cannot write the output: %s", strerror(errno));
            return EXIT_IO;
        }
        p += put;
        n -= (size_t)put;
    }
    return 0;
}

static int is_escape_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

/* An escape "[XXXX]" whose bracket starts a character in the last five
 * bytes would be cut: the chunk then ends before its bracket. A "[" that is
 * the second byte of a character (Shift_JIS, Big5) starts no escape. */
static size_t keep_escape_whole(const char *data, size_t cut, size_t bracket) {
    size_t j;
    if (bracket >= cut || cut - bracket > 5) return cut;
    for (j = bracket + 1; j < cut && is_escape_digit(data[j]); ++j) {}
    return j == cut ? bracket : cut;
}

/* Some charsets keep a letter until they see whether an accent follows
 * (CP1258, TCVN5712-1): a chunk must not end after one, or the two would
 * be converted apart. */
static int keeps_character(const char *data, size_t length) {
    mbstate_t state;
    wchar_t wide;
    memset(&state, 0, sizeof state);
    return mbrtowc(&wide, data, length, &state) == length && !mbsinit(&state);
}

size_t locale_cut(const char *data, size_t length, int unescape) {
    size_t p = 0, last = length, bracket = length;
    size_t longest = MB_CUR_MAX;
    if (longest == 1) {
        p = length;
        last = length > 0 ? length - 1 : length;
        for (bracket = length; bracket > 0 && length - bracket < 6; --bracket) {
            if (data[bracket - 1] == '[') break;
        }
        bracket = bracket > 0 && data[bracket - 1] == '[' ? bracket - 1 : length;
    } else {
        while (p < length) {
            int32_t n;
            if (data[p] == '\0') {
                ++p;
                continue;
            }
            n = KXLmblen(data + p, (uint32_t)(length - p));
            if (n > 0) {
                if (data[p] == '[') bracket = p;
                last = p;
                p += (size_t)n;
                continue;
            }
            /* Too few bytes left to tell a bad sequence from one that the
             * next read completes: keep them for the next chunk. */
            if (length - p < longest) break;
            /* A bad byte is taken on its own; the next may start a
             * character. */
            ++p;
        }
    }
    if (last < p && keeps_character(data + last, p - last)) p = last;
    return unescape ? keep_escape_whole(data, p, bracket) : p;
}

/* Bytes a UTF-8 sequence takes, by its lead byte; 1 for a byte that cannot
 * lead one (the decoder reports it). */
static size_t utf8_sequence_length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

size_t utf8_cut(const char *data, size_t length) {
    size_t back;
    for (back = 1; back <= 3 && back <= length; ++back) {
        unsigned char c = (unsigned char)data[length - back];
        if ((c & 0xC0) == 0x80) continue;
        return utf8_sequence_length(c) > back ? length - back : length;
    }
    return length;
}

size_t utf16_cut(const char *data, size_t length, int big_endian) {
    size_t cut = length & ~(size_t)1;
    if (cut >= 2) {
        unsigned char high = (unsigned char)data[cut - (big_endian ? 2 : 1)];
        if (high >= 0xD8 && high <= 0xDB) cut -= 2;
    }
    return cut;
}

/* Whether a newline byte always stands alone in the locale's encoding: it
 * continues no byte sequence that libc leaves incomplete, and no byte
 * leaves libc in a kept state. A chunk may then end after any newline
 * without scanning the characters before it. Incomplete sequences are
 * followed byte by byte; an encoding with too many of them (GB18030's
 * four-byte forms) is not worth the start-up and keeps the scan. */
#define MOST_PREFIXES 4096u

static int try_prefix(const char *bytes, size_t n) {
    mbstate_t state;
    wchar_t wide;
    memset(&state, 0, sizeof state);
    return (int)mbrtowc(&wide, bytes, n, &state);
}

static int newline_stands_alone(void) {
    static char prefixes[MOST_PREFIXES][8];
    static unsigned char lengths[MOST_PREFIXES];
    size_t count = 0, next = 0, longest = MB_CUR_MAX;
    mbstate_t state;
    wchar_t wide = 0;
    int b;
    /* UTF-8 continuation bytes are never ASCII. */
    if (strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return 1;
    memset(&state, 0, sizeof state);
    if (mbrtowc(&wide, "\n", 1, &state) != 1 || wide != L'\n' || !mbsinit(&state)) return 0;
    if (longest > sizeof prefixes[0] - 1) return 0;
    for (b = 1; b < 256; ++b) {
        char c = (char)b;
        size_t r;
        memset(&state, 0, sizeof state);
        r = mbrtowc(&wide, &c, 1, &state);
        if (r == (size_t)-2) {
            if (count == MOST_PREFIXES) return 0;
            prefixes[count][0] = c;
            lengths[count++] = 1;
        } else if (r == 1 && !mbsinit(&state)) {
            return 0;
        }
    }
    while (next < count) {
        char *p = prefixes[next];
        size_t n = lengths[next++];
        p[n] = '\n';
        if (try_prefix(p, n + 1) != -1) return 0;
        if (n + 1 >= longest) continue;
        for (b = 1; b < 256; ++b) {
            p[n] = (char)b;
            if (try_prefix(p, n + 1) != -2) continue;
            if (count == MOST_PREFIXES) return 0;
            memcpy(prefixes[count], p, n + 1);
            lengths[count++] = (unsigned char)(n + 1);
        }
    }
    return 1;
}

size_t locale_cut_fast(const char *data, size_t length, int unescape) {
    /* -1: not yet known. The locale is set once, before any chunk. */
    static int alone = -1;
    size_t p;
    if (MB_CUR_MAX == 1) return locale_cut(data, length, unescape);
    if (alone < 0) alone = newline_stands_alone();
    /* A newline in the last quarter: the rest waits for the next chunk. */
    if (alone) {
        for (p = length; p > length - length / 4; --p)
            if (data[p - 1] == '\n') return p;
    }
    return locale_cut(data, length, unescape);
}
