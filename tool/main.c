/* quemba tool: the command line, the locale, help and version. */
#define _POSIX_C_SOURCE 200809L
#include "tool.h"

#include <ctype.h>
#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef QUEMBA_TOOL_VERSION
#error "QUEMBA_TOOL_VERSION is set by the build"
#endif

static const char general_usage[] =
    "Usage: quemba COMMAND [OPTIONS]\n"
    "Locale-aware text conversion through libquemba.\n"
    "\n"
    "Commands:\n"
    "  convert [OPTIONS] [FILE]   convert text between the locale's encoding,\n"
    "                             UTF-8 and UTF-16\n"
    "  info [--locale NAME] [--json]\n"
    "                             show the locale's country information\n"
    "  help [COMMAND]             show this help or a command's\n"
    "\n"
    "  -h, --help                 show this help\n"
    "  --version                  show the version\n"
    "\n"
    "Examples:\n"
    "  quemba convert --locale de_DE.ISO-8859-1 --to locale greeting.txt\n"
    "  quemba info --locale ja_JP.EUC-JP --json\n"
    "\n"
    "Exit status: 0 done, 1 stopped at a character, 2 usage error,\n"
    "3 input or output error, 4 no such locale.\n";

static const char convert_usage[] =
    "Usage: quemba convert [OPTIONS] [FILE]\n"
    "Convert FILE (standard input if absent or \"-\") to standard output.\n"
    "\n"
    "  --from ENC           source encoding (default: locale)\n"
    "  --to ENC             target encoding (default: utf-8)\n"
    "                       ENC: locale or the locale's codeset, utf-8,\n"
    "                       utf-16le, utf-16be; case, - and _ do not count\n"
    "  --bom                write a byte-order mark on UTF-8 or UTF-16 output\n"
    "                       (a leading one on UTF-8 or UTF-16 input is dropped)\n"
    "  --unmappable ACTION  stop, substitute (default) or escape, for characters\n"
    "                       the target cannot hold and malformed input\n"
    "  --substitute CHAR    the substitute, one character in the locale's encoding\n"
    "                       (default: U+FFFD, or \"?\" where the locale lacks it)\n"
    "  --unescape           turn \"[20AC]\" escapes in locale input back into\n"
    "                       their characters\n"
    "  --path               write locale text as a path: \\ and the yen and won\n"
    "                       signs become the byte 0x5C\n"
    "  --locale NAME        use this locale instead of the environment's\n"
    "  -h, --help           show this help\n"
    "\n"
    "Examples:\n"
    "  quemba convert --locale de_DE.ISO-8859-1 --to locale --unmappable escape in.txt\n"
    "  quemba convert --locale de_DE.ISO-8859-1 --unescape latin1.txt > utf8.txt\n"
    "  quemba convert --from utf-16le --bom < windows.txt\n";

static const char info_usage[] =
    "Usage: quemba info [--locale NAME] [--json]\n"
    "Show the country information of the locale: number and currency formats,\n"
    "separators, AM/PM strings, the country ID and code page, and the library\n"
    "version.\n"
    "\n"
    "  --locale NAME        use this locale instead of the environment's\n"
    "  --json               print one JSON object\n"
    "  -h, --help           show this help\n"
    "\n"
    "Examples:\n"
    "  quemba info --locale de_DE.UTF-8\n"
    "  quemba info --json\n";

static int usage_error(const char *command) {
    tool_error("try 'quemba %s%s--help'", command ? command : "", command ? " " : "");
    return EXIT_USAGE;
}

static int finish_output(void) {
    if (fflush(stdout) == 0 && !ferror(stdout)) return 0;
    tool_error("cannot write the output");
    return EXIT_IO;
}

static int show(const char *text) {
    fputs(text, stdout);
    return finish_output();
}

/* --locale names the locale for every category, country information
 * included: the library reads some of that from the environment. */
static int select_locale(const char *name) {
    if (name != NULL) {
        if (*name == '\0' || setenv("LC_ALL", name, 1) != 0 || setlocale(LC_ALL, "") == NULL) {
            tool_error("locale '%s' is not available", name);
            return EXIT_NO_LOCALE;
        }
    } else if (setlocale(LC_ALL, "") == NULL) {
        tool_error("the environment's locale is not available; using C");
        setlocale(LC_ALL, "C");
    }
    return 0;
}

/* Whether two encoding names are the same to iconv: case, hyphens and
 * underscores do not count. */
static int same_encoding(const char *a, const char *b) {
    for (;;) {
        while (*a == '-' || *a == '_') ++a;
        while (*b == '-' || *b == '_') ++b;
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return 0;
        if (*a == '\0') return 1;
        ++a, ++b;
    }
}

/* Runs after the locale is set: its codeset names the locale encoding. */
static int parse_encoding(const char *text, enum encoding *e) {
    static const struct { const char *name; enum encoding value; } names[] = {
        {"locale", ENC_LOCALE}, {"utf-8", ENC_UTF8}, {"utf-16le", ENC_UTF16LE},
        {"utf-16be", ENC_UTF16BE}};
    const char *name = setlocale(LC_CTYPE, NULL);
    size_t i, territory;
    for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
        if (same_encoding(text, names[i].name)) {
            *e = names[i].value;
            return 0;
        }
    }
    if (same_encoding(text, nl_langinfo(CODESET))) {
        *e = ENC_LOCALE;
        return 0;
    }
    /* The example keeps the language and territory of the current locale. */
    if (name == NULL || strchr(name, '_') == NULL) name = "xx_YY";
    territory = strcspn(name, ".@");
    tool_error("unknown encoding '%s' (locale, utf-8, utf-16le, utf-16be or %s)", text,
               nl_langinfo(CODESET));
    tool_error("for %s, run under a locale whose encoding is %s, for example with --locale %.*s.%s",
               text, text, (int)territory, name, text);
    return EXIT_USAGE;
}

static int parse_unmappable(const char *text, enum unmappable *u) {
    if (strcmp(text, "stop") == 0) *u = UNMAP_STOP;
    else if (strcmp(text, "substitute") == 0) *u = UNMAP_SUBSTITUTE;
    else if (strcmp(text, "escape") == 0) *u = UNMAP_ESCAPE;
    else {
        tool_error("unknown action '%s' for --unmappable (stop, substitute or escape)", text);
        return EXIT_USAGE;
    }
    return 0;
}

/* One option of argv[*i]: its value comes from "--name=value" or the next
 * argument. Returns the value or null after reporting it missing. */
static const char *option_value(int argc, char **argv, int *i, const char *arg) {
    const char *equals = strchr(arg, '=');
    if (equals != NULL) return equals + 1;
    if (*i + 1 >= argc) {
        tool_error("option %s needs a value", arg);
        return NULL;
    }
    return argv[++*i];
}

static int option_is(const char *arg, const char *name) {
    size_t n = strlen(name);
    return strncmp(arg, name, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

static int command_convert(int argc, char **argv) {
    struct convert_options o;
    const char *locale = NULL, *from = "locale", *to = "utf-8";
    int i, files = 0, options_done = 0, status = 0;
    memset(&o, 0, sizeof o);
    o.from = ENC_LOCALE;
    o.to = ENC_UTF8;
    o.unmappable = UNMAP_SUBSTITUTE;
    for (i = 0; i < argc && status == 0; ++i) {
        const char *arg = argv[i], *value = NULL;
        if (options_done || arg[0] != '-' || strcmp(arg, "-") == 0) {
            if (files++ > 0) {
                tool_error("convert takes one file at most");
                return usage_error("convert");
            }
            o.file = arg;
        } else if (strcmp(arg, "--") == 0) {
            options_done = 1;
        } else if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
            return show(convert_usage);
        } else if (strcmp(arg, "--bom") == 0) {
            o.bom = 1;
        } else if (strcmp(arg, "--unescape") == 0) {
            o.unescape = 1;
        } else if (strcmp(arg, "--path") == 0) {
            o.path = 1;
        } else if (option_is(arg, "--from") || option_is(arg, "--to") || option_is(arg, "--unmappable")
                   || option_is(arg, "--substitute") || option_is(arg, "--locale")) {
            if ((value = option_value(argc, argv, &i, arg)) == NULL) return usage_error("convert");
            if (option_is(arg, "--from")) from = value;
            else if (option_is(arg, "--to")) to = value;
            else if (option_is(arg, "--unmappable")) status = parse_unmappable(value, &o.unmappable);
            else if (option_is(arg, "--substitute")) o.substitute = value;
            else locale = value;
        } else {
            tool_error("unknown option '%s'", arg);
            status = EXIT_USAGE;
        }
    }
    if (status != 0) return usage_error("convert");
    if ((status = select_locale(locale)) != 0) return status;
    if (parse_encoding(from, &o.from) != 0 || parse_encoding(to, &o.to) != 0)
        return usage_error("convert");
    return run_convert(&o);
}

static int command_info(int argc, char **argv) {
    const char *locale = NULL;
    int i, json = 0;
    for (i = 0; i < argc; ++i) {
        const char *arg = argv[i];
        if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) return show(info_usage);
        if (strcmp(arg, "--json") == 0) {
            json = 1;
        } else if (option_is(arg, "--locale")) {
            if ((locale = option_value(argc, argv, &i, arg)) == NULL) return usage_error("info");
        } else {
            tool_error(arg[0] == '-' ? "unknown option '%s'" : "unexpected argument '%s'", arg);
            return usage_error("info");
        }
    }
    i = select_locale(locale);
    return i != 0 ? i : run_info(json);
}

static int command_help(int argc, char **argv) {
    if (argc == 0) return show(general_usage);
    if (argc == 1 && strcmp(argv[0], "convert") == 0) return show(convert_usage);
    if (argc == 1 && strcmp(argv[0], "info") == 0) return show(info_usage);
    if (argc == 1 && strcmp(argv[0], "help") == 0) return show(general_usage);
    tool_error("no help for '%s'", argv[0]);
    return usage_error(NULL);
}

int main(int argc, char **argv) {
    const char *command = argc > 1 ? argv[1] : NULL;
    if (command == NULL) {
        fputs(general_usage, stderr);
        return EXIT_USAGE;
    }
    if (strcmp(command, "--version") == 0) {
        if (argc > 2) {
            tool_error("--version takes no arguments");
            return EXIT_USAGE;
        }
        printf("quemba %s\n", QUEMBA_TOOL_VERSION);
        return finish_output();
    }
    if (strcmp(command, "-h") == 0 || strcmp(command, "--help") == 0) return show(general_usage);
    if (strcmp(command, "help") == 0) return command_help(argc - 2, argv + 2);
    if (strcmp(command, "convert") == 0) return command_convert(argc - 2, argv + 2);
    if (strcmp(command, "info") == 0) return command_info(argc - 2, argv + 2);
    tool_error(command[0] == '-' ? "unknown option '%s'" : "unknown command '%s'", command);
    return usage_error(NULL);
}
