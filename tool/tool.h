/* quemba tool: declarations shared by its source files. */
#ifndef QUEMBA_TOOL_H
#define QUEMBA_TOOL_H

#include <stddef.h>
#include <stdint.h>

#define EXIT_STOPPED 1
#define EXIT_USAGE 2
#define EXIT_IO 3
#define EXIT_NO_LOCALE 4

enum encoding { ENC_LOCALE, ENC_UTF8, ENC_UTF16LE, ENC_UTF16BE };
enum unmappable { UNMAP_STOP, UNMAP_SUBSTITUTE, UNMAP_ESCAPE };

struct convert_options {
    enum encoding from, to;
    enum unmappable unmappable;
    int bom, unescape, path;
    const char *substitute; /* null: the default */
    const char *file;       /* null or "-": standard input */
};

/* ---- report.c ---- */

/* Prints "quemba: " and the message to standard error. */
void tool_error(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

int run_convert(const struct convert_options *options);
int run_info(int json);

/* ---- stream.c: bounded input and checked output ---- */

/* Bytes read at a time; the decoded text of one chunk stays within a few
 * times this, whatever the size of the stream. Small enough that a chunk's
 * units are still in the cache when they are encoded; the library keeps
 * its memos of libc's answers from call to call, so more calls cost
 * little. */
#define INPUT_CAPACITY (1u << 17)
/* Room after the data: a terminator, and the most bytes libc may look at
 * past a character start. */
#define INPUT_PADDING 32u

struct input {
    int fd;
    const char *name;
    int eof;
    size_t length;        /* bytes held */
    uint64_t offset;      /* stream offset of data[0] */
    char data[INPUT_CAPACITY + INPUT_PADDING];
};

int input_open(struct input *in, const char *path);
/* Reads until the buffer is full or the stream ends. */
int input_fill(struct input *in);
/* Drops the first n bytes, keeping the rest for the next chunk. */
void input_consume(struct input *in, size_t n);
void input_close(struct input *in);

int output_write(const void *bytes, size_t n);

/* Where a chunk may end: the longest prefix of data[0..length) holding only
 * whole characters (and, with escapes, no escape cut in two). */
size_t locale_cut(const char *data, size_t length, int unescape);
/* The same, found by looking back for a newline where the locale's
 * encoding never puts one inside a character; else locale_cut. */
size_t locale_cut_fast(const char *data, size_t length, int unescape);
size_t utf8_cut(const char *data, size_t length);
size_t utf16_cut(const char *data, size_t length, int big_endian);

#endif
