#!/usr/bin/env python3
"""Draws the agent's two tray icons and writes them as .ico files beside this script.

ACTIVE: a green disc with a white "play" triangle (the rotation runs).
INACTIVE: a grey disc with two white "pause" bars (the rotation is paused).
Each file holds a 16x16 image with 16 colours and images with 32 bits per pixel at 16, 20, 24,
32, 40 and 48 pixels: the tray's small-icon size from 96 to 192 DPI and beyond, drawn at each size
rather than stretched from 16.
Run it again after changing the drawing; the .ico files are committed.
"""
import os
import struct

SIZE = 16
SUBSAMPLES = 4  # per axis, for the anti-aliased 32-bit image

# The 16 standard colours (the 4-bit images use this palette).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def inside_disc(x, y):
    cx = cy = SIZE / 2
    return (x - cx) ** 2 + (y - cy) ** 2 <= 7.4 ** 2


def inside_rim(x, y):
    cx = cy = SIZE / 2
    return (x - cx) ** 2 + (y - cy) ** 2 >= 6.3 ** 2


def inside_play(x, y):
    # Triangle pointing right: (5.5, 4) (5.5, 12) (12, 8).
    if x < 5.5 or x > 12:
        return False
    half = (12 - x) * 4 / 6.5
    return abs(y - 8) <= half


def inside_pause(x, y):
    return 4.5 <= y <= 11.5 and (5 <= x <= 7 or 9 <= x <= 11)


# Colour at a point for each icon: None outside, else (r, g, b).
def active_colour(x, y):
    if not inside_disc(x, y):
        return None
    if inside_play(x, y):
        return (255, 255, 255)
    return (0, 110, 0) if inside_rim(x, y) else (20, 170, 40)


def inactive_colour(x, y):
    if not inside_disc(x, y):
        return None
    if inside_pause(x, y):
        return (255, 255, 255)
    return (90, 90, 90) if inside_rim(x, y) else (150, 150, 150)


def nearest_palette_index(rgb):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], rgb)))


def render(colour_at, size=SIZE):
    """Returns rows top-down of (r, g, b, a) with anti-aliasing; the drawing is in 16ths."""
    rows = []
    unit = SIZE / size
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    c = colour_at((px + (sx + 0.5) / SUBSAMPLES) * unit,
                                  (py + (sy + 0.5) / SUBSAMPLES) * unit)
                    if c is not None:
                        samples.append(c)
            n = len(samples)
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                r = sum(s[0] for s in samples) // n
                g = sum(s[1] for s in samples) // n
                b = sum(s[2] for s in samples) // n
                row.append((r, g, b, 255 * n // SUBSAMPLES ** 2))
        rows.append(row)
    return rows


def and_mask(rows, opaque):
    """1 bit per pixel, 1 = transparent, rows bottom-up, each padded to 4 bytes."""
    stride = (len(rows[0]) + 31) // 32 * 4
    data = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if not opaque(pixel):
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bytes(bits)
    return data


def bitmap_header(bit_count, colours_used, image_size, size=SIZE):
    # Height counts the colour bits and the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0, image_size, 0, 0,
                       colours_used, 0)


def render_hard(colour_at):
    """Rows top-down of (r, g, b, a) sampled at pixel centres: no blends for the 16 colours."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            c = colour_at(px + 0.5, py + 0.5)
            row.append((0, 0, 0, 0) if c is None else c + (255,))
        rows.append(row)
    return rows


def image_4bit(rows):
    opaque = lambda p: p[3] > 0
    pixels = b""
    for row in reversed(rows):
        indices = [nearest_palette_index(p[:3]) if opaque(p) else 0 for p in row]
        pixels += bytes((indices[i] << 4) | indices[i + 1] for i in range(0, SIZE, 2))
    mask = and_mask(rows, opaque)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return bitmap_header(4, 16, len(pixels) + len(mask)) + palette + pixels + mask


def image_32bit(rows):
    pixels = b""
    for row in reversed(rows):
        for r, g, b, a in row:
            # Straight (not premultiplied) alpha, as icons store it.
            pixels += struct.pack("<BBBB", b, g, r, a)
    mask = and_mask(rows, lambda p: p[3] > 0)
    return bitmap_header(32, 0, len(pixels) + len(mask), len(rows)) + pixels + mask


SIZES = (16, 20, 24, 32, 40, 48)


def icon_file(colour_at):
    images = [(SIZE, 16, 4, image_4bit(render_hard(colour_at)))]
    images += [(size, 0, 32, image_32bit(render(colour_at, size))) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colour_count, bit_count, data in images:
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bit_count, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, colour_at in (("agent_active.ico", active_colour), ("agent_inactive.ico", inactive_colour)):
        with open(os.path.join(here, name), "wb") as f:
            f.write(icon_file(colour_at))


if __name__ == "__main__":
    main()
