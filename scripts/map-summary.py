#!/usr/bin/env python3
"""What a program's bytes are, from its GNU ld map (-Wl,-Map):
  map-summary.py PROGRAM.exe.map [TOP]
Sums the input sections kept in the program by where they came from (an archive such as
libstdc++.a, or one of our own libraries) and by output section, largest first."""
import collections
import os
import re
import sys

INPUT = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
NAME_ONLY = re.compile(r"^ (\S+)$")
OUTPUT = re.compile(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x[0-9a-f]+")


def origin(path):
    path = path.strip()
    archive = re.match(r"(.*\.a)\((.*)\)$", path)
    if archive:
        return os.path.basename(archive.group(1))
    return os.path.basename(path)


def summarise(map_path):
    by_origin = collections.Counter()
    by_section = collections.Counter()
    by_origin_section = collections.Counter()
    with open(map_path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    try:
        start = lines.index("Linker script and memory map")
    except ValueError:
        raise SystemExit(f"map-summary: {map_path} has no memory map")
    output = None
    pending = None
    for line in lines[start:]:
        match = OUTPUT.match(line)
        if match:
            output = match.group(1)
            continue
        if output is None or output.startswith(".debug") or output.startswith(".stab"):
            continue
        only = NAME_ONLY.match(line)
        if only:
            pending = only.group(1)
            continue
        match = INPUT.match(line)
        if match and not match.group(4).startswith("0x"):
            size = int(match.group(3), 16)
            source = match.group(4)
            if size and not source.startswith("*") and (match.group(1) or pending):
                where = origin(source)
                by_origin[where] += size
                by_section[output] += size
                by_origin_section[(where, output)] += size
        pending = None
    return by_origin, by_section, by_origin_section


def main(argv):
    map_path = argv[0]
    top = int(argv[1]) if len(argv) > 1 else 12
    by_origin, by_section, by_origin_section = summarise(map_path)
    total = sum(by_origin.values())
    print(f"{map_path}: {total} bytes of sections kept (before stripping)")
    print("  by output section: " + ", ".join(f"{s} {n}" for s, n in by_section.most_common()))
    for where, size in by_origin.most_common(top):
        detail = ", ".join(f"{s} {n}" for (w, s), n in by_origin_section.most_common()
                           if w == where and n >= 512)
        print(f"  {size:>8}  {100 * size / total:5.1f}%  {where}  ({detail})")


if __name__ == "__main__":
    main(sys.argv[1:])
