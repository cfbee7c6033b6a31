#!/usr/bin/env python3
"""quemba convert against glibc iconv on system text, for every direction
between a locale's encoding and UTF-8/UTF-16LE. Runs alternate between the
two tools; the table gives the median of quemba's wall time divided by
iconv's, and each tool's largest peak RSS.

usage: tool_vs_iconv.py --quemba BIN --locpath DIR --out OUT.md [--mb N] [--runs N]
"""
import argparse
import glob
import gzip
import os
import statistics
import subprocess
import tempfile
import time

# locale, iconv's name for its encoding, man page languages to take text from
LOCALES = [
    ("ja_JP.EUC-JP", "EUC-JP", ["ja"]),
    ("de_DE.ISO-8859-1", "ISO-8859-1", ["de", "fr"]),
    ("ru_RU.CP1251", "CP1251", ["ru"]),
    ("en_US.UTF-8", "UTF-8", ["ja", "ru", "de"]),
]


def system_text(languages):
    """Real UTF-8 text: man pages of these languages and the licences."""
    parts = []
    for lang in languages:
        for path in sorted(glob.glob(f"/usr/share/man/{lang}/man*/*.gz")):
            with gzip.open(path) as f:
                parts.append(f.read())
    for path in sorted(glob.glob("/usr/share/common-licenses/*")):
        if os.path.isfile(path):
            with open(path, "rb") as f:
                parts.append(f.read())
    return b"".join(parts)


def iconv(data, source, target):
    # -c drops what the target cannot hold; its exit status says so.
    return subprocess.run(["iconv", "-c", "-f", source, "-t", target], input=data,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def repeat_to(data, size):
    return (data * (size // max(len(data), 1) + 1))[:size]


def run(cmd, env):
    """Wall seconds and peak RSS in KiB of one run, output discarded. GNU
    time gives the RSS (a child forked from Python starts with Python's);
    its own clock counts only hundredths."""
    with open(os.devnull, "wb") as null:
        start = time.monotonic()
        done = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=null,
                              stderr=subprocess.PIPE, env=env, text=True)
        elapsed = time.monotonic() - start
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(cmd)} failed: {done.stderr}")
    return elapsed, int(done.stderr.split("\n")[-2])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--quemba", required=True)
    ap.add_argument("--locpath", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--mb", type=int, default=32)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--note", action="append", default=[])
    args = ap.parse_args()
    env = dict(os.environ, LOCPATH=args.locpath)
    size = args.mb << 20
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        cases = []
        for locale, charset, languages in LOCALES:
            text = system_text(languages)
            native = repeat_to(iconv(text, "UTF-8", charset), size)
            # The cut may split a character: let iconv drop the rest of it.
            native = iconv(native, charset, charset)
            files = {}
            for name, data in (("native", native), ("utf8", iconv(native, charset, "UTF-8")),
                               ("utf16", iconv(native, charset, "UTF-16LE"))):
                files[name] = os.path.join(tmp, f"{charset}.{name}")
                with open(files[name], "wb") as f:
                    f.write(data)
            q = [args.quemba, "convert", "--locale", locale]
            cases.append((f"{charset} → UTF-8", q + [files["native"]], [charset, "UTF-8", files["native"]]))
            if charset != "UTF-8":
                cases.append((f"UTF-8 → {charset}", q + ["--from", "utf-8", "--to", "locale", files["utf8"]],
                              ["UTF-8", charset, files["utf8"]]))
            cases.append((f"{charset} → UTF-16LE", q + ["--to", "utf-16le", files["native"]],
                          [charset, "UTF-16LE", files["native"]]))
            cases.append((f"UTF-16LE → {charset}", q + ["--from", "utf-16le", "--to", "locale", files["utf16"]],
                          ["UTF-16LE", charset, files["utf16"]]))
        times = {name: ([], [], [], []) for name, _, _ in cases}
        for _ in range(args.runs):
            for name, qcmd, (source, target, path) in cases:
                qt, qm = run(qcmd, env)
                it, im = run(["iconv", "-f", source, "-t", target, path], env)
                t = times[name]
                t[0].append(qt / it)
                t[1].append(qm)
                t[2].append(im)
                t[3].append(qt)
        for name, _, _ in cases:
            ratios, qm, im, qt = times[name]
            rows.append(f"| {name} | {statistics.median(ratios):.2f} | {statistics.median(qt):.3f} | "
                        f"{max(qm) / 1024:.1f} | {max(im) / 1024:.1f} |")
    lines = ["# quemba convert against iconv", "",
             f"{args.mb} MiB of system text per input, {args.runs} alternating runs each, output to /dev/null;"
             " times include starting the command.",
             "Ratio: median of quemba's wall time ÷ iconv's (below 1: quemba is faster).", ""]
    lines += [f"- {note}" for note in args.note]
    lines += ["", "| Direction | quemba ÷ iconv | quemba s | quemba peak RSS MiB | iconv peak RSS MiB |",
              "|---|---:|---:|---:|---:|"] + rows
    with open(args.out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(rows))


if __name__ == "__main__":
    main()
