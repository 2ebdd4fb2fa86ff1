"""Prints the table of scripts/bench.sh from its rows.

Each row (tab-separated): part, figure, value, reference, goal, kind. A value or
reference of several numbers (one per round) stands for their median. kind is
UNIT:CHECK, the check one of none, ratio (value / reference shown, no goal),
ratio-max-X, ratio-min-X (the ratio against X) or max-X (the value itself against X;
several values separated by "/" are each checked).
"""
import statistics
import sys


def number(text):
    values = [float(v) for v in text.split()]
    return statistics.median(values) if values else None


def show(value, unit):
    if value is None:
        return "-"
    if unit == "KiB":
        return f"{value / 1024:.1f} MiB"
    if unit == "bytes":
        return f"{value / 1048576:.2f} MiB"
    if unit == "count":
        return f"{value:g}"
    if unit == "ms":
        return f"{value:.0f} ms" if value >= 10 else f"{value:.1f} ms"
    if unit == "s":
        return f"{value * 1000:.0f} ms" if value < 1 else f"{value:.1f} s"
    return f"{value:.1f} {unit}"


def main():
    rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1]) if line.strip()]
    table = [("part", "figure", "value", "reference", "ratio", "goal", "met")]
    for part, figure, value, reference, goal, kind in rows:
        unit, _, check = kind.partition(":")
        ratio = verdict = "-"
        if unit == "count" and "/" in value:
            shown = value
            if check.startswith("max-"):
                verdict = "yes" if all(float(v) <= float(check[4:]) for v in value.split("/")) else "NO"
            table.append((part, figure, shown, "-", "-", goal, verdict))
            continue
        v = number(value) if value not in ("-", "") else None
        r = number(reference) if reference not in ("-", "") else None
        if v is not None and r:
            ratio = f"{v / r:.2f}"
        if v is not None:
            if check.startswith("ratio-max-") and r:
                verdict = "yes" if v / r <= float(check[10:]) else "NO"
            elif check.startswith("ratio-min-") and r:
                verdict = "yes" if v / r >= float(check[10:]) else "NO"
            elif check.startswith("max-"):
                verdict = "yes" if v <= float(check[4:]) else "NO"
        if check == "none" and r is None:
            ratio = "-"
        table.append((part, figure, show(v, unit), show(r, unit), ratio, goal, verdict))
    widths = [max(len(row[i]) for row in table) for i in range(len(table[0]))]
    for row in table:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())


main()
