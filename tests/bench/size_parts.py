"""The size rows of scripts/bench.sh: one wizard's size, its sections, and its largest
parts by library and by object, read from the link map of the same link.

    size_parts.py EXE MAP TYPE
"""
import collections
import os
import re
import subprocess
import sys

exe, map_path, kind = sys.argv[1:4]


def row(*cells):
    print("\t".join(str(c) for c in cells))


def kib(size):
    return f"{size / 1024:.0f} KiB"


size = os.path.getsize(exe)
row("size", f"{kind} OrvaneSetup.exe", size, "-", "at most 3 MiB", "bytes:max-3145728")

sections = {}
dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", exe], capture_output=True, text=True).stdout
for match in re.finditer(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s", dump, re.M):
    sections[match.group(1)] = int(match.group(2), 16)
largest = sorted(sections.items(), key=lambda item: -item[1])[:5]
row("size", "  sections: " + ", ".join(f"{name} {kib(n)}" for name, n in largest), "-", "-", "-", "none:none")

# Input sections of the memory map: " .name  0xADDRESS  0xSIZE  FILE", the name
# sometimes on a line of its own.
by_library = collections.Counter()
by_object = collections.Counter()
if os.path.exists(map_path):
    in_map = False
    pending = None
    for line in open(map_path, errors="replace"):
        if not in_map:
            in_map = line.startswith("Linker script and memory map")
            continue
        match = re.match(r"^ (\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if not match and pending:
            match = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            match = (pending, match.group(1), match.group(2)) if match else None
        elif match:
            match = match.groups()
        pending = None
        if not match:
            alone = re.match(r"^ (\.\S+)\s*$", line)
            pending = alone.group(1) if alone else None
            continue
        section, length, source = match
        length = int(length, 16)
        if length == 0 or section.startswith((".debug", ".stab")):
            continue
        source = source.strip()
        archive = re.match(r"^(.*\.a)\((.*)\)$", source)
        if archive:
            library = os.path.basename(archive.group(1))
            by_library[library] += length
            by_object[f"{library}({archive.group(2)})"] += length
        else:
            name = os.path.basename(source)
            by_library[name] += length
            by_object[name] += length
    row("size", "  largest libraries: " + ", ".join(f"{n} {kib(s)}" for n, s in by_library.most_common(4)),
        "-", "-", "-", "none:none")
    row("size", "  largest objects: " + ", ".join(f"{n} {kib(s)}" for n, s in by_object.most_common(4)),
        "-", "-", "-", "none:none")
