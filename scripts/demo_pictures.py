#!/usr/bin/env python3
"""Draws the demo's sample pictures as 24-bit BMP files:
demo_pictures.py DIR WIDTH HEIGHT NAME... (NAME one of dusk, meadow, harbour)."""
import struct
import sys

COLOURS = {
    "dusk": lambda u, v: (int(40 + 180 * v), int(30 + 60 * v), int(120 + 100 * (1 - v))),
    "meadow": lambda u, v: (int(60 * u), int(110 + 120 * v),
                            int(40 + 30 * ((int(u * 16) + int(v * 10)) % 2))),
    "harbour": lambda u, v: (30, int(80 + 100 * u), int(160 + 90 * v)),
}


def bmp(path, width, height, colour):
    row = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height):
        line = bytearray()
        for x in range(width):
            r, g, b = colour(x / width, y / height)
            line += bytes((b, g, r))
        pixels += line + bytes(row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def main(argv):
    folder, width, height = argv[0], int(argv[1]), int(argv[2])
    for name in argv[3:]:
        bmp(f"{folder}/{name}.bmp", width, height, COLOURS[name])


if __name__ == "__main__":
    main(sys.argv[1:])
