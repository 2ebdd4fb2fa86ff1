#!/usr/bin/env python3
"""The run command's closing report: what the wizard downloaded and where, what it
started with which arguments (the demo installers leave a marker with their command
line), and every event the content host received, one line each."""
import argparse
import json
import os
import sqlite3
import sys


def downloads(data_dir, downloads_dir):
    lines = []
    log = os.path.join(data_dir, "requests.jsonl")
    if os.path.exists(log):
        with open(log, encoding="utf-8") as f:
            for line in f:
                try:
                    request = json.loads(line)
                except ValueError:
                    continue
                if request.get("path", "").startswith("/f/") and not request["path"].startswith("/f/img/"):
                    lines.append("fetched    %s" % request.get("target", request["path"]))
    if downloads_dir and os.path.isdir(downloads_dir):
        for name in sorted(os.listdir(downloads_dir)):
            path = os.path.join(downloads_dir, name)
            if os.path.isfile(path):
                lines.append("saved      %s (%d bytes) in the user's Downloads folder" % (name, os.path.getsize(path)))
    return lines


def started(markers_dir):
    lines = []
    if markers_dir and os.path.isdir(markers_dir):
        for name in sorted(os.listdir(markers_dir)):
            if name.endswith(".marker"):
                with open(os.path.join(markers_dir, name), encoding="utf-8", errors="replace") as f:
                    what = "ran        " if name.endswith(".run.marker") else "started    "
                    lines.append(what + f.read().strip())
    return lines


KINDS = {"1": "started", "2": "rejected", "3": "done", "4": "declined", "-1": "failed", "5": "closing report"}


def events(data_dir):
    lines = []
    path = os.path.join(data_dir, "events.sqlite3")
    if not os.path.exists(path):
        return lines
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        rows = db.execute("SELECT kind, record, signature_ok FROM events ORDER BY id").fetchall()
    finally:
        db.close()
    for kind, record_text, signature_ok in rows:
        try:
            record = json.loads(record_text)
        except ValueError:
            record = {}
        package = "main product" if record.get("10") == 1 else "offer %s" % record.get("5", "?")
        detail = record.get("13") or record.get("12") or ""
        line = "event %-3s %-15s %-20s %s" % (kind, KINDS.get(kind, "kind " + kind), package, detail)
        if not signature_ok:
            line += "  (bad signature)"
        lines.append(line.rstrip())
    return lines


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--data-dir", required=True, help="the content host's data folder")
    parser.add_argument("--markers", help="folder of the installers' markers")
    parser.add_argument("--downloads", help="the Wine user's Downloads folder")
    args = parser.parse_args(argv)
    sections = [("Downloaded", downloads(args.data_dir, args.downloads)),
                ("Started", started(args.markers)),
                ("Events the content host received", events(args.data_dir))]
    for title, lines in sections:
        print("%s:" % title)
        for line in lines or ["(none)"]:
            print("  " + line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
