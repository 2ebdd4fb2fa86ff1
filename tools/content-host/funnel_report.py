#!/usr/bin/env python3
"""Funnel report of the content host's event store: what happened to each package.

Reads `events.sqlite3` (table `events`, written by content_host.py), prints a plain
text table to standard output and writes one self-contained HTML page with the same
numbers and a bar chart (inline SVG, no scripts, no external assets).

Only events whose signature was good count; the others are left out and the report
says how many.

How the wizard reports, and so how the counts are read:

- A run is the record's "1" (machine identifier) with "2" (run timestamp).
- "10" says whose event it is: 1 the main product, 2 an offer. An offer is named by
  its code "5" and comes from the feed "18". The main product is one row: its "5" is
  the product title, which changes during a run (the package is refreshed once the
  configuration has arrived), so the row is labelled with the last title reported.
- "6" is the kind:
    1  the main product was created (first Next of the run); offers have no such event
    2  an offer was rejected by a check, the reason in "13"
    3  the package's download, or its installer or program, ended well
    4  the user declined the offer on its page
    5  the user closed the wizard: sent by every offer whose page was shown, then by
       the main product, and ignored by a package that has already reported its end
   -1  the package's download or run failed, the text in "12"

Each column counts runs (a run counts once per package, however many of its events
arrived):

  created    the run reported the package at all
  presented  offers: its page was shown (kinds 3, -1, 4 or 5 are only sent after that)
  accepted   offers: the user accepted it (kinds 3 or -1: only accepted offers are
             downloaded); an offer accepted and then left by closing during the
             download reports only kind 5 and counts as presented and abandoned
  declined   kind 4
  done       kind 3 without a failure text ("downloaded or installed")
  failed     kind -1, or kind 3 carrying a failure text in "12" (a main product whose
             failure is configured to be reported as done: the download still failed)
  abandoned  kind 5 without any other end
  rejected   kind 2
  open       none of the ends above (the run is going on, or its end was lost)

The last six are the run's end, exactly one per run and package, so for every row
created = declined + done + failed + abandoned + rejected + open. When more than one
end arrived (a post the wizard took for failed may still have been stored), the first
of failed, done, rejected, declined, abandoned wins. A rejection reason counts each
offer of each run that gave it once.
"""

import argparse
import html
import json
import os
import pathlib
import sqlite3
import sys
import time

COLUMNS = ["created", "presented", "accepted", "declined", "done", "failed", "abandoned", "rejected", "open"]
OFFER_ONLY = {"presented", "accepted", "declined", "rejected"}
ENDS = ["failed", "done", "rejected", "declined", "abandoned"]
KNOWN_KINDS = {1, 2, 3, 4, 5, -1}

# The chart: one solid colour per column, whole pixels everywhere, so the bars can be
# measured on a screenshot.
COLOURS = {
    "created": "#3366cc", "presented": "#7744bb", "accepted": "#11998e", "declined": "#ccaa00",
    "done": "#339933", "failed": "#cc3322", "abandoned": "#888888", "rejected": "#ee7711",
    "open": "#66aadd",
}
BAR_AREA = 240
BAR_WIDTH = 16
BAR_GAP = 4
GROUP_GAP = 28
CHART_LEFT = 44
CHART_TOP = 24
LABEL_SPACE = 48
HTML_NAME = "funnel-report.html"


class StoreError(Exception):
    pass


class Row:
    """One package: its label, feeds and the count of runs per column."""

    def __init__(self, is_main, code):
        self.is_main = is_main
        self.code = code
        self.title = ""
        self.first_title = ""
        self.feeds = []
        self.counts = dict.fromkeys(COLUMNS, 0)

    @property
    def label(self):
        if self.is_main:
            return "main: " + (self.title or self.first_title or "(no title)")
        return self.code or "(no code)"

    def value(self, column):
        """The count, or None where the column does not apply to the main product."""
        if self.is_main and column in OFFER_ONLY:
            return None
        return self.counts[column]


class Report:
    def __init__(self):
        self.rows = []
        self.reasons = []
        self.total = 0
        self.counted = 0
        self.bad_signature = 0
        self.unreadable = 0
        self.unknown_kind = 0

    def left_out(self):
        parts = [(self.bad_signature, "with a bad signature"), (self.unreadable, "unreadable or not a package event"),
                 (self.unknown_kind, "of an unknown kind")]
        return ", ".join("%d %s" % (n, text) for n, text in parts if n)

    def largest(self):
        return max([r.counts[c] for r in self.rows for c in COLUMNS] + [1])

    def scale(self):
        """Pixels per run: whole pixels while they fit, so the tallest bar is at most BAR_AREA high."""
        top = self.largest()
        return BAR_AREA // top if top <= BAR_AREA else BAR_AREA / top


def store_path(location):
    path = os.path.join(location, "events.sqlite3") if os.path.isdir(location) else location
    if not os.path.isfile(path):
        raise StoreError("no event store at %s" % path)
    return path


def read_events(path):
    """(id, record text, signature_ok) of every stored event, oldest first."""
    # Read-only: a wrong path must not leave an empty database behind.
    uri = pathlib.Path(path).as_uri() + "?mode=ro"
    try:
        db = sqlite3.connect(uri, uri=True)
        try:
            return db.execute("SELECT id, record, signature_ok FROM events ORDER BY id").fetchall()
        finally:
            db.close()
    except sqlite3.Error as error:
        raise StoreError("cannot read the events of %s: %s" % (path, error))


def plain(value):
    """A stored text fit for one table cell: control characters would break the layout."""
    text = value if isinstance(value, str) else json.dumps(value)
    return "".join(c if c.isprintable() else " " for c in text).strip()


def parse_event(text):
    """(run, is_main, code, feed, kind, record) of a package event, or None."""
    try:
        record = json.loads(text)
    except (ValueError, TypeError):
        return None
    if not isinstance(record, dict) or "1" not in record or "2" not in record:
        return None
    marker = str(record.get("10"))
    if marker not in ("1", "2"):
        return None
    try:
        kind = int(str(record.get("6")))
    except ValueError:
        kind = None
    run = (plain(record["1"]), plain(record["2"]))
    code = plain(record.get("5", ""))
    return run, marker == "1", code, plain(record.get("18", "")), kind, record


def run_end(kinds, failure_text):
    """The one end of a run for a package, by the precedence the docstring gives."""
    present = {
        "failed": -1 in kinds or (3 in kinds and failure_text),
        "done": 3 in kinds and not failure_text,
        "rejected": 2 in kinds,
        "declined": 4 in kinds,
        "abandoned": 5 in kinds,
    }
    return next((end for end in ENDS if present[end]), "open")


def tally(events):
    report = Report()
    rows = {}
    runs = {}  # (package key, run) -> kinds, failure text seen, reasons
    for _, text, signature_ok in events:
        report.total += 1
        if not signature_ok:
            report.bad_signature += 1
            continue
        parsed = parse_event(text)
        if parsed is None:
            report.unreadable += 1
            continue
        run, is_main, code, feed, kind, record = parsed
        if kind not in KNOWN_KINDS:
            report.unknown_kind += 1
            continue
        report.counted += 1
        key = ("main",) if is_main else ("offer", code)
        row = rows.get(key)
        if row is None:
            row = rows[key] = Row(is_main, code)
        # Kind 1 is sent before the configuration has named the product.
        if is_main and code:
            if kind == 1:
                row.first_title = code
            else:
                row.title = code
        if not is_main and feed and feed not in row.feeds:
            row.feeds.append(feed)
        state = runs.setdefault((key, run), {"kinds": set(), "failure": False, "reasons": set()})
        state["kinds"].add(kind)
        if kind == 3 and plain(record.get("12", "")):
            state["failure"] = True
        if kind == 2:
            state["reasons"].add(plain(record.get("13", "")) or "(no reason given)")

    reasons = {}
    for (key, _), state in runs.items():
        row, kinds = rows[key], state["kinds"]
        row.counts["created"] += 1
        if not row.is_main:
            row.counts["presented"] += bool(kinds & {3, -1, 4, 5})
            row.counts["accepted"] += bool(kinds & {3, -1})
        row.counts[run_end(kinds, state["failure"])] += 1
        for reason in state["reasons"]:
            reasons[reason] = reasons.get(reason, 0) + 1

    order = list(rows)  # first appearance, so offers come in the order the runs met them
    order.sort(key=lambda k: k[0] != "main")
    report.rows = [rows[k] for k in order]
    report.reasons = sorted(reasons.items(), key=lambda item: (-item[1], item[0]))
    return report


def signature_note(report):
    note = "Counted %d of %d events: only events with a good signature count." % (report.counted, report.total)
    left_out = report.left_out()
    return note + (" Left out: %s." % left_out if left_out else "")


def cell(value):
    return "-" if value is None else str(value)


def text_table(header, rows, numeric_from):
    """Aligned columns: texts to the left, numbers to the right."""
    widths = [max(len(line[i]) for line in [header] + rows) for i in range(len(header))]
    lines = []
    for line in [header] + rows:
        cells = [c.rjust(w) if i >= numeric_from else c.ljust(w) for i, (c, w) in enumerate(zip(line, widths))]
        lines.append("  ".join(cells).rstrip())
    return lines


def format_text(report, path):
    lines = ["Funnel report of %s" % path, signature_note(report), ""]
    if report.rows:
        rows = [[r.label, ",".join(r.feeds) or "-"] + [cell(r.value(c)) for c in COLUMNS] for r in report.rows]
        lines += text_table(["package", "feed"] + COLUMNS, rows, 2)
    else:
        lines.append("No package events.")
    lines.append("")
    if report.reasons:
        lines += text_table(["rejection reason", "runs"], [[r, str(n)] for r, n in report.reasons], 1)
    else:
        lines.append("No rejections.")
    return "\n".join(lines)


def svg_chart(report):
    scale = report.scale()
    group = len(COLUMNS) * (BAR_WIDTH + BAR_GAP) - BAR_GAP + GROUP_GAP
    width = CHART_LEFT + max(1, len(report.rows)) * group
    base = CHART_TOP + BAR_AREA
    height = base + LABEL_SPACE
    top = report.largest()
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" shape-rendering="crispEdges" '
             'role="img" aria-label="Runs per package and column">' % (width, height),
             '<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="#444" stroke-width="1"/>'
             % (CHART_LEFT - 6, base + 1, width, base + 1),
             '<text x="%d" y="%d" text-anchor="end" class="axis">0</text>' % (CHART_LEFT - 10, base + 4),
             '<text x="%d" y="%d" text-anchor="end" class="axis">%d</text>'
             % (CHART_LEFT - 10, base - round(top * scale) + 4, top)]
    for index, row in enumerate(report.rows):
        left = CHART_LEFT + index * group
        for slot, column in enumerate(COLUMNS):
            value = row.value(column)
            if not value:
                continue
            x, bar = left + slot * (BAR_WIDTH + BAR_GAP), max(1, round(value * scale))
            parts.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s"><title>%s, %s: %d</title></rect>'
                         % (x, base - bar, BAR_WIDTH, bar, COLOURS[column], html.escape(row.label), column, value))
            parts.append('<text x="%d" y="%d" text-anchor="middle" class="value">%d</text>'
                         % (x + BAR_WIDTH // 2, base - bar - 4, value))
        label = row.label if len(row.label) <= 30 else row.label[:29] + "\u2026"
        parts.append('<text x="%d" y="%d" text-anchor="middle" class="package">%s</text>'
                     % (left + (group - GROUP_GAP) // 2, base + 22, html.escape(label)))
    parts.append("</svg>")
    return "\n".join(parts)


def html_table(header, rows, numeric_from):
    out = ["<table>", "<tr>" + "".join("<th>%s</th>" % html.escape(h) for h in header) + "</tr>"]
    for row in rows:
        out.append("<tr>" + "".join('<td%s>%s</td>' % (' class="n"' if i >= numeric_from else "", html.escape(c))
                                    for i, c in enumerate(row)) + "</tr>")
    out.append("</table>")
    return "\n".join(out)


PAGE_STYLE = """
body { font: 14px/1.4 sans-serif; color: #222; background: #fff; margin: 16px 24px; }
h1 { font-size: 20px; margin: 0 0 8px; } h2 { font-size: 16px; margin: 20px 0 6px; }
p { margin: 4px 0; }
.legend { margin: 10px 0 4px; padding: 0; list-style: none; }
.legend li { display: inline-block; margin-right: 14px; }
.legend span { display: inline-block; width: 12px; height: 12px; margin-right: 4px; vertical-align: -1px; }
svg text { font: 11px sans-serif; fill: #222; } svg text.package { font-size: 12px; }
table { border-collapse: collapse; } th, td { padding: 2px 10px; border-bottom: 1px solid #ddd; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
dt { font-weight: bold; float: left; width: 90px; } dd { margin: 0 0 2px 96px; }
"""

MEANINGS = [
    ("created", "the run reported the package at all"),
    ("presented", "the offer's page was shown"),
    ("accepted", "the offer was accepted and its download started"),
    ("declined", "the user declined the offer"),
    ("done", "downloaded or installed"),
    ("failed", "its download or run failed"),
    ("abandoned", "the user closed the wizard before the package's end"),
    ("rejected", "a check rejected the offer"),
    ("open", "no end reported (yet)"),
]


def render_html(report, path):
    legend = "".join('<li><span style="background:%s"></span>%s</li>' % (COLOURS[c], c) for c in COLUMNS)
    rows = [[r.label, ",".join(r.feeds) or "-"] + [cell(r.value(c)) for c in COLUMNS] for r in report.rows]
    reasons = (html_table(["rejection reason", "runs"], [[r, str(n)] for r, n in report.reasons], 1)
               if report.reasons else "<p>No rejections.</p>")
    meanings = "".join("<dt>%s</dt><dd>%s</dd>" % (c, html.escape(m)) for c, m in MEANINGS)
    return "\n".join([
        "<!DOCTYPE html>",
        '<html lang="en"><head><meta charset="utf-8"><title>Funnel report</title>',
        "<style>%s</style></head><body>" % PAGE_STYLE,
        "<h1>Funnel report</h1>",
        "<p>Store: %s, read %s.</p>" % (html.escape(path), time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime())),
        "<p>%s</p>" % html.escape(signature_note(report)),
        '<ul class="legend">%s</ul>' % legend,
        "<p>Bar height: %g px per run.</p>" % report.scale(),
        svg_chart(report),
        "<h2>Runs per package</h2>",
        html_table(["package", "feed"] + COLUMNS, rows, 2) if rows else "<p>No package events.</p>",
        "<h2>Rejection reasons</h2>",
        reasons,
        "<h2>Columns</h2>",
        "<dl>%s</dl>" % meanings,
        "</body></html>",
        "",
    ])


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Funnel report of the content host's event store.")
    parser.add_argument("store", nargs="?", help="events.sqlite3, or the folder holding it")
    parser.add_argument("--data-dir", help="the content host's data folder (holding events.sqlite3)")
    parser.add_argument("--html", help="where to write the HTML page (default: %s next to the store)" % HTML_NAME)
    args = parser.parse_args(argv)
    if bool(args.store) == bool(args.data_dir):
        parser.error("give either --data-dir DIR or the path of events.sqlite3")
    return args


def main(argv):
    args = parse_arguments(argv)
    try:
        path = os.path.abspath(store_path(args.data_dir or args.store))
        report = tally(read_events(path))
    except StoreError as error:
        print("funnel_report: %s" % error, file=sys.stderr)
        return 2
    page = os.path.abspath(args.html or os.path.join(os.path.dirname(path), HTML_NAME))
    try:
        with open(page, "w", encoding="utf-8") as f:
            f.write(render_html(report, path))
    except OSError as error:
        print("funnel_report: cannot write %s: %s" % (page, error), file=sys.stderr)
        return 2
    print(format_text(report, path))
    print("")
    print("HTML page: %s" % page)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
