#!/usr/bin/env python3
"""Draws the configuration program's artwork and writes it beside this script.

vistrel.ico (MAINICON): a framed landscape (sky, sun, hills) with an orange badge holding a white
circular arrow: pictures that take turns. 16, 20, 24, 32, 40, 48 and 64 pixels (the small and
large icon sizes from 96 to 192 DPI) at 32 bits per pixel with alpha, 16 and 32 pixels with the
16 standard colours.

vistrel_list_icons.bmp (FORM1_IMAGELIST2): 48 by 16 pixels, 24 bits, three 16 by 16 images side
by side for the list rows; pure white is the transparent colour.
  0: a picture file in colour (a page with a folded corner showing a landscape),
  1: a red prohibition sign (the "No Wallpaper" row),
  2: the picture file greyed out (a file that was missing).
Run it again after changing the drawing; the output files are committed.
"""
import math
import os
import struct

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

SKY_TOP = (70, 130, 220)
SKY_BOTTOM = (150, 200, 245)
SUN = (255, 210, 40)
HILL_FAR = (60, 150, 70)
HILL_NEAR = (30, 110, 45)
FRAME = (120, 80, 40)
FRAME_DARK = (80, 50, 25)
BADGE = (240, 130, 20)
WHITE = (255, 255, 255)


# ---- The main icon, drawn in a unit square (0..1 both ways, y downwards).

def landscape(u, v):
    """The picture inside the frame at (u, v) in 0..1."""
    if (u - 0.72) ** 2 + (v - 0.28) ** 2 <= 0.11 ** 2:
        return SUN
    far = 0.62 - 0.10 * math.sin(u * 5.0 + 0.6)
    near = 0.78 - 0.12 * math.sin(u * 3.2 + 2.4)
    if v >= near:
        return HILL_NEAR
    if v >= far:
        return HILL_FAR
    t = v / 0.7
    return tuple(int(a + (b - a) * min(t, 1.0)) for a, b in zip(SKY_TOP, SKY_BOTTOM))


def badge(x, y):
    """The round badge with a circular arrow, or None outside it."""
    cx, cy, r = 0.76, 0.76, 0.23
    d = math.hypot(x - cx, y - cy)
    if d > r:
        return None
    angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
    # A ring open between 300 and 360 degrees, with an arrow head at its open end.
    on_ring = 0.09 <= d <= 0.15 and not (300 <= angle < 360)
    hx, hy = cx + 0.12, cy - 0.02
    head = (y >= hy - 0.01 and y <= hy + 0.10 and abs(x - hx) <= (hy + 0.10 - y) * 0.9)
    return WHITE if on_ring or head else BADGE


def main_icon_colour(x, y):
    b = badge(x, y)
    if b is not None:
        return b
    if not (0.04 <= x <= 0.96 and 0.12 <= y <= 0.88):
        return None
    inner = 0.12 <= x <= 0.88 and 0.20 <= y <= 0.80
    if inner:
        return landscape((x - 0.12) / 0.76, (y - 0.20) / 0.60)
    edge = x < 0.06 or x > 0.94 or y < 0.14 or y > 0.86
    return FRAME_DARK if edge else FRAME


def render(colour_at, size, subsamples):
    """Rows top-down of (r, g, b, a)."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(subsamples):
                for sx in range(subsamples):
                    c = colour_at((px + (sx + 0.5) / subsamples) / size,
                                  (py + (sy + 0.5) / subsamples) / size)
                    if c is not None:
                        samples.append(c)
            n = len(samples)
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(sum(s[i] for s in samples) // n for i in range(3))
                           + (255 * n // subsamples ** 2,))
        rows.append(row)
    return rows


def and_mask(rows, size):
    """1 bit per pixel, 1 = transparent, rows bottom-up, each padded to 4 bytes."""
    stride = (size + 31) // 32 * 4
    data = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bytes(bits)
    return data


def bitmap_header(size, bit_count, colours_used, image_size):
    # The height counts the colour bits and the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0, image_size, 0, 0,
                       colours_used, 0)


def nearest_palette_index(rgb):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], rgb)))


def image_4bit(size):
    rows = render(main_icon_colour, size, 1)
    stride = (size // 2 + 3) // 4 * 4
    pixels = b""
    for row in reversed(rows):
        indices = [nearest_palette_index(p[:3]) if p[3] >= 128 else 0 for p in row]
        line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        pixels += line + bytes(stride - len(line))
    mask = and_mask(rows, size)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return bitmap_header(size, 4, 16, len(pixels) + len(mask)) + palette + pixels + mask


def image_32bit(size):
    rows = render(main_icon_colour, size, 4)
    pixels = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rows)
                      for r, g, b, a in row)
    mask = and_mask(rows, size)
    return bitmap_header(size, 32, 0, len(pixels) + len(mask)) + pixels + mask


def icon_file():
    images = [(16, 16, 4, image_4bit(16)), (32, 16, 4, image_4bit(32))]
    images += [(size, 0, 32, image_32bit(size)) for size in (16, 20, 24, 32, 40, 48, 64)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colour_count, bit_count, data in images:
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bit_count, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return out


# ---- The list icons, 16 by 16, sampled at pixel centres (no blends with the transparent white).

PAGE = (244, 244, 240)
PAGE_EDGE = (110, 110, 110)
FOLD = (200, 200, 196)
SIGN_RED = (215, 25, 25)


def picture_file(x, y):
    """Pixel (x, y) of the picture-file symbol, or None for transparent."""
    left, right, top, bottom, fold = 2, 13, 0, 15, 4
    if x < left or x > right or y < top or y > bottom:
        return None
    # The folded top-right corner: cut off above its diagonal, the flap below it.
    a, b = x - (right - fold), y - top
    if a > 0 and b < fold:
        if a > b + 1:
            return None
        return PAGE_EDGE if a >= b or a == fold or b == fold - 1 else FOLD
    if x in (left, right) or y in (top, bottom):
        return PAGE_EDGE
    # The landscape in the middle of the page.
    if 4 <= x <= 11 and 5 <= y <= 12:
        u, v = (x - 4 + 0.5) / 8, (y - 5 + 0.5) / 8
        return landscape(u, v)
    return PAGE


def prohibition(x, y):
    cx = cy = 7.5
    d = math.hypot(x - cx, y - cy)
    if d > 7.4:
        return None
    if d >= 5.4:
        return SIGN_RED
    # The bar from top-left to bottom-right.
    if abs((x - cx) - (y - cy)) <= 1.6:
        return SIGN_RED
    return None  # the white inside shows the list's own background


def greyed(x, y):
    c = picture_file(x, y)
    if c is None:
        return None
    grey = int(0.30 * c[0] + 0.59 * c[1] + 0.11 * c[2])
    grey = min(232, 112 + grey // 2)  # lighter, and never the transparent white
    return (grey, grey, grey)


def list_icons_bmp():
    width, height = 48, 16
    drawings = [picture_file, prohibition, greyed]
    rows = []
    for y in range(height):
        row = b""
        for x in range(width):
            c = drawings[x // 16](x % 16, y)
            if c is None:
                c = WHITE
            elif c == WHITE:
                c = (254, 254, 254)
            row += bytes((c[2], c[1], c[0]))
        rows.append(row)
    pixels = b"".join(reversed(rows))  # bottom-up; 144 bytes a row is already 4-aligned
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "vistrel.ico"), "wb") as f:
        f.write(icon_file())
    with open(os.path.join(here, "vistrel_list_icons.bmp"), "wb") as f:
        f.write(list_icons_bmp())


if __name__ == "__main__":
    main()
