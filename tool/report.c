/* quemba tool: error messages, kept apart so that every file can report
 * without depending on the command line. */
#include "tool.h"

#include <stdarg.h>
#include <stdio.h>

void tool_error(const char *format, ...) {
    va_list args;
    fputs("quemba: ", stderr);
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}
