#!/usr/bin/env python3
"""Turn benchmark JSON (Google Benchmark or our harness) into results.md and chart.png.

usage: report.py --md OUT.md [--png OUT.png] ARCH=FILE.json ...
"""
import argparse
import json
import os
import shutil
import subprocess
import tempfile

# Peers per operation, in column order.
PEERS = {
    "b2u": ["iconv", "ucnv_toUChars", "u_strFromUTF8", "mbsrtowcs", "naive mbrtowc"],
    "u2b": ["iconv", "ucnv_fromUChars", "u_strToUTF8", "wcsrtombs", "naive wcrtomb"],
    "unilen": ["u_strlen", "wcslen"],
    "unicmp": ["u_strcmp", "wcscmp"],
    "unichr": ["u_strchr", "wcschr"],
    "unistr": ["u_strstr", "wcsstr"],
    "uniicmp": ["u_strcasecmp", "wcscasecmp"],
}
TITLES = {
    "b2u": "Bytes to UTF-16",
    "u2b": "UTF-16 to bytes",
    "unilen": "UTF-16 length",
    "unicmp": "UTF-16 compare (equal strings)",
    "unichr": "UTF-16 unit search (absent unit)",
    "unistr": "UTF-16 substring search (needle only at the end)",
    "uniicmp": "UTF-16 case-blind compare (strings differing in case)",
}
# Our conversion families, each with its ICU equivalent: the handle
# conversions (with their path forms and length-only modes), the standard
# shortcuts, the table-handle pair and the UTF-8 pair.
FAMILIES = {
    "b2u": {"KXUXByteToUnicode": "ucnv_toUChars", "KXUXLenByteToUnicode": "ucnv_toUChars",
            "KXUXByteToUnicodePath": "ucnv_toUChars", "KXUSByteToUnicode": "ucnv_toUChars",
            "KXLocalToUnicode": "ucnv_toUChars", "KXLUTF8ToUnicode": "u_strFromUTF8"},
    "u2b": {"KXUXUnicodeToByte": "ucnv_fromUChars", "KXUXUnicodeToBytePath": "ucnv_fromUChars",
            "KXUSUnicodeToByte": "ucnv_fromUChars", "KXUnicodeToLocal": "ucnv_fromUChars",
            "KXLUnicodeToUTF8": "u_strToUTF8"},
}
HANDLE = {
    "b2u": ["KXUXByteToUnicode", "KXUXLenByteToUnicode"],
    "u2b": ["KXUXUnicodeToByte", "KXUXUnicodeToBytePath"],
}
ICU_PEER = {"b2u": "ucnv_toUChars", "u2b": "ucnv_fromUChars"}
NAIVE_PEER = {"b2u": "naive mbrtowc", "u2b": "naive wcrtomb"}


def load(path):
    """{(op, input, size, impl): MB/s or error text}, context."""
    with open(path) as f:
        data = json.load(f)
    rows = {}
    for b in data.get("benchmarks", []):
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name") or b["name"]
        parts = name.split("/", 3)
        if len(parts) != 4:
            continue
        key = tuple(parts)
        if b.get("error_occurred"):
            rows[key] = "error: " + b.get("error_message", "?")
        elif "bytes_per_second" in b:
            rows[key] = b["bytes_per_second"] / 1e6
    return rows, data.get("context", {})


def fmt(v):
    if isinstance(v, str):
        return v
    return f"{v:,.0f}" if v >= 100 else f"{v:.1f}"


def ratio(a, b):
    if isinstance(a, float) and isinstance(b, float) and b > 0:
        return a / b
    return None


def fmt_ratio(r):
    return "" if r is None else f"{r:.2f}"


def order(rows, idx):
    seen = []
    for k in rows:
        if k[idx] not in seen:
            seen.append(k[idx])
    return seen


def arch_section(arch, rows, context):
    out = [f"## {arch}", ""]
    inputs = [(k, v) for k, v in context.items() if k.startswith("input ")]
    if inputs:
        out += ["| input | what |", "|---|---|"]
        out += [f"| {k[6:]} | {v} |" for k, v in inputs]
        out.append("")
    for op in order(rows, 0):
        peers = [p for p in PEERS.get(op, []) if any(k[0] == op and k[3] == p for k in rows)]
        out += [f"### {TITLES.get(op, op)}", ""]
        out.append("| input | function | MB/s | " + " | ".join(f"× {p}" for p in peers) + " |")
        out.append("|---|---|---:|" + "---:|" * len(peers))
        for inp in order(rows, 1):
            for size in order(rows, 2):
                impls = [k[3] for k in rows if k[0] == op and k[1] == inp and k[2] == size]
                for impl in impls:
                    v = rows[(op, inp, size, impl)]
                    cells = []
                    for p in peers:
                        r = None if impl in PEERS.get(op, []) else ratio(v, rows.get((op, inp, size, p)))
                        cells.append(fmt_ratio(r))
                    out.append(f"| {inp}/{size} | {impl} | {fmt(v)} | " + " | ".join(cells) + " |")
        out.append("")
    return out


def worst(rows, pairs, need):
    """Lowest ratio over (numerator key, denominator key) pairs, with where,
    and how many pairs reach `need`."""
    best, held, total = None, 0, 0
    for a, b in pairs:
        r = ratio(rows.get(a), rows.get(b))
        if r is None:
            continue
        total += 1
        held += r >= need
        if best is None or r < best[0]:
            best = (r, f"{a[3]} on {a[1]}/{a[2]}")
    return best, held, total


def targets(arch, rows):
    lines = []

    def family(k):
        return FAMILIES.get(k[0], {}).get(k[3].split(":")[0])

    keys = [k for k in rows if family(k)]

    def check(label, pairs, need):
        w, held, total = worst(rows, pairs, need)
        if w is None:
            lines.append(f"| {arch} | {label} | not measured | |")
        else:
            lines.append(f"| {arch} | {label} | {w[0]:.2f} ({w[1]}) | {held} of {total} hold |")

    icu = any(k[3] in ("ucnv_toUChars", "ucnv_fromUChars") for k in rows)
    if icu:
        check("every family ≥ 1× its ICU equivalent", [(k, (k[0], k[1], k[2], family(k))) for k in keys], 1.0)
    check("every family ≥ 3× iconv", [(k, (k[0], k[1], k[2], "iconv")) for k in keys], 3.0)
    naive = [k for k in rows if k[0] in HANDLE and k[3].split(":")[0] in HANDLE[k[0]]]
    check("handle conversions and length-only modes ≥ 10× naive loop",
          [(k, (k[0], k[1], k[2], NAIVE_PEER[k[0]])) for k in naive], 10.0)
    check("length-only mode ≥ 1× its conversion",
          [(k, (k[0], k[1], k[2], k[3].split(":")[0])) for k in rows if k[3].endswith(":length")], 1.0)
    for inputs, need in ((("en_ascii", "de_utf8"), 3.0), (("ja_utf8",), 2.0)) if icu else ():
        check(f"UTF-8 to UTF-16 (1M) ≥ {need:.0f}× u_strFromUTF8 on {', '.join(inputs)}",
              [(("b2u", i, "1M", "KXLUTF8ToUnicode"), ("b2u", i, "1M", "u_strFromUTF8")) for i in inputs], need)
    if icu:
        check("Latin-1 (1M) ≥ 2× ICU both ways",
              [(k, (k[0], k[1], k[2], ICU_PEER[k[0]])) for k in rows
               if k[0] in HANDLE and k[1:3] == ("de_latin1", "1M") and k[3] in HANDLE[k[0]]], 2.0)
    ascii = [v for k, v in rows.items() if k[:3] == ("b2u", "en_ascii", "1M") and k[3] in HANDLE["b2u"]]
    nums = [v for v in ascii if isinstance(v, float)]
    if nums and "qemu" not in arch:
        lines.append(f"| {arch} | ASCII bytes to UTF-16 (1M) > 10,000 MB/s | {min(nums):,.0f} MB/s | "
                     f"{'holds' if min(nums) > 10000 else 'missed'} |")
    return lines


def per_call(context, op, inp, size):
    """Input bytes one call converts (UTF-16 input at 2 bytes a unit)."""
    what = context.get(f"input {inp}/{size}", "")
    try:
        texts = int(what.split(" text(s), ")[0])
        n = int(what.split(" bytes, ")[0].split(", ")[-1]) if op == "b2u" else \
            2 * int(what.split(" UTF-16 units")[0].split(", ")[-1])
    except (ValueError, IndexError):
        return None
    return n / texts if texts else None


def misses(arch, rows, context):
    """Each case below a family target, with the time its target leaves. For
    40-byte calls: a call's time, and its fixed part (the call less the
    time the same function takes for those bytes within the 1 MiB text),
    against the fixed part the target would allow."""
    def family(k):
        return FAMILIES.get(k[0], {}).get(k[3].split(":")[0])
    out = [f"## {arch}: cases below a family target", "",
           "ns per call for 40B (per KiB for 1M). Fixed: a call less the time the same function takes for its bytes "
           "within the 1 MiB text. Allowed: the fixed part that would meet the missed targets with the same "
           "time per byte; none where the time per byte alone misses them.", "",
           "| case | × ICU | × iconv | ours ns | target ns | fixed ns | allowed ns |", "|---|---:|---:|---:|---:|---:|---:|"]
    for k in sorted(rows):
        icu, v = family(k), rows[k]
        if not icu or not isinstance(v, float):
            continue
        ri, rc = ratio(v, rows.get((k[0], k[1], k[2], icu))), ratio(v, rows.get((k[0], k[1], k[2], "iconv")))
        needs = [need for r, need in ((ri, 1.0), (rc, 3.0)) if r is not None and r < need]
        if not needs:
            continue
        bytes_ = per_call(context, k[0], k[1], k[2]) if k[2] == "40B" else 1024
        if bytes_ is None:
            continue
        ns = bytes_ * 1e3 / v
        target = ns * min(r / need for r, need in ((ri, 1.0), (rc, 3.0)) if r is not None and r < need)
        cells = [fmt_ratio(ri), fmt_ratio(rc), f"{ns:.1f}", f"{target:.1f}"]
        big = rows.get((k[0], k[1], "1M", k[3]))
        if k[2] == "40B" and isinstance(big, float):
            part = bytes_ * 1e3 / big
            allowed = target - part
            cells += [f"{ns - part:.1f}", f"{allowed:.1f}" if allowed > 0 else "none"]
        else:
            cells += ["", ""]
        out.append(f"| {k[3]} on {k[1]}/{k[2]} | " + " | ".join(cells) + " |")
    return out + [""]


def chart(path, arch_rows):
    gnuplot = shutil.which("gnuplot")
    if not gnuplot:
        print("gnuplot not found: no chart")
        return
    arch, rows = arch_rows
    tmp = tempfile.mkdtemp()
    plots = []
    for op in ("b2u", "u2b"):
        ours = HANDLE[op][0]
        data = os.path.join(tmp, f"{op}.dat")
        valid = [False] * 4
        with open(data, "w") as f:
            f.write("input ours iconv ICU naive\n")
            for inp in order(rows, 1):
                for size in order(rows, 2):
                    vals = [rows.get((op, inp, size, ours)), rows.get((op, inp, size, "iconv")),
                            rows.get((op, inp, size, ICU_PEER[op])), rows.get((op, inp, size, NAIVE_PEER[op]))]
                    valid = [ok or isinstance(v, float) for ok, v in zip(valid, vals)]
                    vals = [v if isinstance(v, float) else float("nan") for v in vals]
                    f.write(f"{inp}/{size} " + " ".join(f"{v:.3f}" for v in vals) + "\n")
        plots.append((op, ours, data, valid))
    script = [
        "set terminal png size 1400,900 noenhanced",
        f"set output '{path}'",
        "set multiplot layout 2,1",
        "set style data histograms",
        "set style histogram clustered gap 1",
        "set style fill solid 0.8 border -1",
        "set logscale y",
        "set ylabel 'MB/s of input'",
        "set grid ytics",
        "set key outside right top",
        "set xtics rotate by -30",
        "set xrange [-0.6:*]",
    ]
    for op, ours, data, valid in plots:
        titles = [ours, "iconv", ICU_PEER[op], NAIVE_PEER[op]]
        used = [f"'{data}' using {i + 2}:xtic(1) title '{t}'" for i, t in enumerate(titles) if valid[i]]
        if not used:
            continue
        script.append(f"set title '{arch}: {TITLES[op]} ({ours} vs peers)'")
        script.append("plot " + ", ".join(used))
    script.append("unset multiplot")
    if subprocess.run([gnuplot], input="\n".join(script), text=True).returncode != 0:
        print("gnuplot failed: no chart")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--md", required=True)
    ap.add_argument("--png")
    ap.add_argument("--note", action="append", default=[], help="a line for the introduction")
    ap.add_argument("--include", help="a markdown file put after the targets (what stands behind the misses)")
    ap.add_argument("runs", nargs="+", help="ARCH=FILE.json")
    args = ap.parse_args()
    runs = []
    for run in args.runs:
        arch, path = run.split("=", 1)
        if os.path.exists(path):
            runs.append((arch, *load(path)))
    md = ["# Benchmark results", "",
          "MB/s of input (10^6 bytes per second of process CPU time; UTF-16 input counts 2 bytes per "
          "unit), median of the repetitions. A ratio column gives our function's speed divided by that peer's on the same "
          "input, in the same run. 1M: one text of about 1 MiB; 40B: 1,024 strings of at most 40 bytes, "
          "one call each. The i386 figures run under qemu-i386 where the kernel cannot run 32-bit "
          "programs: compare their ratios, not their absolute values.", ""]
    md += [f"- {n}" for n in args.note] + ([""] if args.note else [])
    md += ["## Targets", "", "| arch | target | worst ratio (where) | cases |", "|---|---|---|---|"]
    for arch, rows, _ in runs:
        md += targets(arch, rows)
    md.append("")
    if args.include and os.path.exists(args.include):
        with open(args.include) as f:
            md += [f.read().rstrip("\n"), ""]
    for arch, rows, context in runs:
        if any(k[3] == "ucnv_toUChars" for k in rows):
            md += misses(arch, rows, context)
    for arch, rows, context in runs:
        md += arch_section(arch, rows, context)
    with open(args.md, "w") as f:
        f.write("\n".join(md) + "\n")
    if args.png and runs:
        chart(args.png, (runs[0][0], runs[0][1]))


if __name__ == "__main__":
    main()
