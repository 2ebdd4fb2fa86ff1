#!/usr/bin/env python3
"""Checks of the funnel report on a hand-made event store with known counts: the text
table's numbers, and the HTML page's bar chart as headless Chromium draws it."""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import content_host  # noqa: E402
import funnel_report  # noqa: E402

MAIN = "Quill Editor"
DISK = "DISK SPACE CHECK FAILED 0"
REGISTRY = "REGISTRY KEY EXISTS"
MARKUP = "PDF <script>"  # an offer code holding markup

# (run, package, kind, extra data, signature good); package None is the main product.
EVENTS = [
    # r1: product done; A done, B declined, C rejected for disk space.
    ("r1", None, 1, {}, True), ("r1", "OFR-A", 3, {}, True), ("r1", "OFR-B", 4, {}, True),
    ("r1", MARKUP, 2, {"13": DISK}, True), ("r1", None, 3, {}, True),
    # A forged rejection with a reason of its own: must not count.
    ("r1", MARKUP, 2, {"13": "FORGED"}, False),
    # r2: product failed; A failed, B rejected by the registry, C rejected for disk space.
    ("r2", None, 1, {}, True), ("r2", "OFR-B", 2, {"13": REGISTRY}, True),
    ("r2", MARKUP, 2, {"13": DISK}, True),
    ("r2", "OFR-A", -1, {"12": "DOWNLOAD FAILED: 404"}, True),
    ("r2", None, -1, {"12": "DOWNLOAD FAILED: timeout"}, True),
    # r3: closed on B's page after A's page: product and A abandoned; B declined, and its
    # closing report (stored although the wizard took the decline for lost) changes nothing.
    ("r3", None, 1, {}, True), ("r3", MARKUP, 2, {"13": DISK}, True), ("r3", "OFR-B", 4, {}, True),
    ("r3", "OFR-A", 5, {}, True), ("r3", "OFR-B", 5, {}, True), ("r3", None, 5, {}, True),
    # r4: still going: the product only created; A rejected, B done.
    ("r4", None, 1, {}, True), ("r4", "OFR-A", 2, {"13": REGISTRY}, True), ("r4", "OFR-B", 3, {}, True),
    # r5: the product's failure reported as done, with its text; A done, B done twice.
    ("r5", None, 1, {}, True), ("r5", "OFR-A", 3, {}, True), ("r5", "OFR-B", 3, {}, True),
    ("r5", "OFR-B", 3, {}, True), ("r5", None, 3, {"12": "DOWNLOAD FAILED: reset"}, True),
    # r6: a whole forged run.
    ("r6", None, 1, {}, False), ("r6", "OFR-A", 3, {}, False), ("r6", None, 3, {}, False),
]
FEEDS = {"OFR-A": "feed-1", "OFR-B": "feed-2", MARKUP: "feed-1"}

# Columns: created presented accepted declined done failed abandoned rejected open
EXPECTED = {
    "main: " + MAIN: ["-", 5, None, None, None, 1, 2, 1, None, 1],
    "OFR-A": ["feed-1", 5, 4, 3, 0, 2, 1, 1, 1, 0],
    "OFR-B": ["feed-2", 5, 4, 2, 2, 2, 0, 0, 1, 0],
    MARKUP: ["feed-1", 3, 0, 0, 0, 0, 0, 0, 3, 0],
}
EXPECTED_REASONS = [(DISK, 3), (REGISTRY, 2)]
EXPECTED_SCALE = 240 // 5


def record(run, package, kind, extra):
    """An event record as the wizard builds it: the base record, the package's members, the kind."""
    body = {str(n): "" for n in range(23)}
    body.update({"1": "machine-" + run, "2": "2024010112000" + run[-1], "3": "Tarvinel", "4": "Tarvinel_DLM",
                 "7": "1.0.0.0", "15": 0, "22": MAIN, "31": "10.0.19045", "38": "1"})
    if package is None:
        # Kind 1 is sent before the configuration names the product.
        title = "" if kind == 1 else MAIN
        body.update({"5": title, "10": 1, "18": "", "22": title})
    else:
        body.update({"5": package, "10": 2, "16": "tag", "17": "1", "18": FEEDS[package]})
    body["6"] = str(kind)
    body.update(extra)
    return body


def make_store(folder):
    """The fixture written by the content host's own store, plus rows it would not make itself."""
    os.makedirs(folder)
    state = content_host.State(folder, os.path.join(HERE, "files"), os.path.join(HERE, "catalog", "sample.json"))
    for run, package, kind, extra, good in EVENTS:
        data = record(run, package, kind, extra)
        signature = content_host.expected_signature(data) if good else "Signature=" + "0" * 64
        state.store_event(str(kind), json.dumps(data), good, signature)
    state.store_event(None, "not json", True, "")
    state.store_event("1", json.dumps({"1": "m", "2": "t", "6": "1"}), True, "")  # no package marker
    state.store_event("7", json.dumps(record("r1", None, 7, {})), True, "")
    state.close()


def run_report(*args):
    return subprocess.run([sys.executable, os.path.join(HERE, "funnel_report.py")] + list(args),
                          capture_output=True, text=True, timeout=60)


def parse_table(lines, labels):
    """The cells after each package's label, numbers as int and '-' as None (feed kept as text)."""
    rows = {}
    for line in lines:
        for label in labels:
            if line.startswith(label + "  "):
                cells = line[len(label):].split()
                rows[label] = cells[:1] + [None if c == "-" else int(c) for c in cells[1:]]
    return rows


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunk = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunk)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG format"
        elif kind == b"IDAT":
            idat += chunk
        at += 12 + length
    raw = zlib.decompress(idat)
    bpp = 3 if colour == 2 else 4
    stride = width * bpp
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 255
        elif kind == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                a = line[i - bpp] if i >= bpp else 0
                b, c = previous[i], previous[i - bpp] if i >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, bpp)])
        previous = line
    return width, height, rows


def solid_boxes(rows, colour):
    """Bounding boxes (left, top, right, bottom) of the connected areas of one exact colour."""
    seen, boxes = set(), []
    for y, row in enumerate(rows):
        for x, pixel in enumerate(row):
            if pixel != colour or (x, y) in seen:
                continue
            stack, box = [(x, y)], [x, y, x, y]
            seen.add((x, y))
            while stack:
                px, py = stack.pop()
                box = [min(box[0], px), min(box[1], py), max(box[2], px), max(box[3], py)]
                for nx, ny in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                    if (0 <= ny < len(rows) and 0 <= nx < len(rows[ny]) and (nx, ny) not in seen
                            and rows[ny][nx] == colour):
                        seen.add((nx, ny))
                        stack.append((nx, ny))
            boxes.append(tuple(box))
    return sorted(boxes)


class FunnelReportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="funnel-report-test-")
        cls.data = os.path.join(cls.folder, "data")
        make_store(cls.data)
        cls.page = os.path.join(cls.folder, "report.html")
        cls.result = run_report("--data-dir", cls.data, "--html", cls.page)
        cls.lines = cls.result.stdout.splitlines()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_text_table_counts_runs_per_package_and_column(self):
        self.assertEqual(0, self.result.returncode, self.result.stderr)
        header = next(line for line in self.lines if line.startswith("package"))
        self.assertEqual(["package", "feed"] + funnel_report.COLUMNS, header.split())
        self.assertEqual(EXPECTED, parse_table(self.lines, EXPECTED))

    def test_rejection_reasons_and_left_out_events(self):
        start = self.lines.index(next(line for line in self.lines if line.startswith("rejection reason")))
        reasons = [line.rsplit(None, 1) for line in self.lines[start + 1:start + 3]]
        self.assertEqual([[r, str(n)] for r, n in EXPECTED_REASONS], [[r.strip(), n] for r, n in reasons])
        self.assertNotIn("FORGED", self.result.stdout)
        self.assertIn("Counted 24 of 31 events: only events with a good signature count. Left out: 4 with a bad "
                      "signature, 2 unreadable or not a package event, 1 of an unknown kind.", self.result.stdout)

    def test_last_line_names_the_page_written(self):
        self.assertEqual("HTML page: %s" % self.page, self.lines[-1])
        with open(self.page, encoding="utf-8") as f:
            text = f.read()
        # Self-contained and escaped: nothing fetched, nothing run, markup shown as text.
        for needle in ("<script", "<link", "src=", "href=", "url(", "@import"):
            self.assertNotIn(needle, text)
        self.assertIn("PDF &lt;script&gt;", text)

    def test_default_page_goes_next_to_the_store(self):
        folder = os.path.join(self.folder, "default")
        shutil.copytree(self.data, folder)
        result = run_report(os.path.join(folder, "events.sqlite3"))
        self.assertEqual(0, result.returncode, result.stderr)
        page = os.path.join(folder, funnel_report.HTML_NAME)
        self.assertEqual("HTML page: %s" % page, result.stdout.splitlines()[-1])
        self.assertTrue(os.path.isfile(page))

    def test_unusable_stores_fail_without_creating_one(self):
        not_a_store = os.path.join(self.folder, "plain.txt")
        with open(not_a_store, "w") as f:
            f.write("plain text")
        missing = os.path.join(self.folder, "missing")
        os.makedirs(missing)
        cases = [("missing store", ["--data-dir", missing]), ("missing file", [os.path.join(missing, "x.sqlite3")]),
                 ("not a database", [not_a_store])]
        for name, args in cases:
            with self.subTest(name):
                result = run_report(*args)
                self.assertEqual(2, result.returncode)
                self.assertIn("funnel_report: ", result.stderr)
                self.assertEqual("", result.stdout)
        self.assertEqual([], os.listdir(missing))

    def test_chart_of_a_large_store_keeps_its_bars_in_the_chart(self):
        # 600 runs, more than the chart has pixels: 150 done, 450 open.
        events = [(i, json.dumps(record("r%d" % i, None, 1, {})), True) for i in range(600)]
        events += [(600 + i, json.dumps(record("r%d" % i, None, 3, {})), True) for i in range(150)]
        report = funnel_report.tally(events)
        heights = sorted(int(h) for h in re.findall(r'<rect [^>]*height="(\d+)"', funnel_report.svg_chart(report)))
        self.assertEqual([funnel_report.BAR_AREA // 4, funnel_report.BAR_AREA * 3 // 4, funnel_report.BAR_AREA], heights)

    def test_chart_bars_have_the_heights_of_the_counts(self):
        chromium = shutil.which("chromium")
        if not chromium:
            self.skipTest("chromium is not installed (scripts/setup.sh installs it)")
        with open(self.page, encoding="utf-8") as f:
            scale = int(re.search(r"Bar height: (\d+) px per run", f.read()).group(1))
        self.assertEqual(EXPECTED_SCALE, scale)

        shot = os.path.join(self.folder, "shot.png")
        started = time.monotonic()
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                        "--force-device-scale-factor=1", "--no-first-run", "--window-size=1000,600",
                        "--user-data-dir=" + os.path.join(self.folder, "profile"), "--screenshot=" + shot,
                        "file://" + self.page], capture_output=True, timeout=90, check=True)
        print("chromium took %.1f s" % (time.monotonic() - started), file=sys.stderr)
        _, _, rows = read_png(shot)

        bottoms = set()
        for column in funnel_report.COLUMNS:
            with self.subTest(column):
                hexa = funnel_report.COLOURS[column]
                colour = tuple(int(hexa[i:i + 2], 16) for i in (1, 3, 5))
                # Bars are BAR_WIDTH wide; the legend's swatches are smaller.
                bars = [b for b in solid_boxes(rows, colour) if b[2] - b[0] + 1 == funnel_report.BAR_WIDTH]
                wanted = [cells[i + 1] * scale for cells in EXPECTED.values()
                          for i, c in enumerate(funnel_report.COLUMNS) if c == column and cells[i + 1]]
                self.assertEqual(len(wanted), len(bars), bars)
                for height, box in zip(wanted, bars):
                    self.assertLessEqual(abs(box[3] - box[1] + 1 - height), 1, box)
                bottoms.update(box[3] for box in bars)
        self.assertLessEqual(max(bottoms) - min(bottoms), 1, "bars stand on one baseline")


if __name__ == "__main__":
    unittest.main()
