#!/usr/bin/python3
"""Writes reference.txt: for each picture here, the size and the CRC-32 of its pixels as an
independent decoder gives them, top row first, as RGBA (255 where the picture has no alpha):
dwebp -pam for still pictures, Pillow for the first frame of an animation (libwebp's animation
decoder composes it on its canvas). The tests compare their decoded pixels with these figures in
the Windows build, where neither tool runs."""
import os
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

here = os.path.dirname(os.path.abspath(__file__))


def dwebp_rgba(path):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.pam")
        subprocess.run(["/usr/bin/dwebp", "-quiet", "-pam", path, "-o", out], check=True)
        data = open(out, "rb").read()
    header, pixels = data.split(b"ENDHDR\n", 1)
    fields = dict(line.split(b" ", 1) for line in header.split(b"\n")[1:] if b" " in line)
    return int(fields[b"WIDTH"]), int(fields[b"HEIGHT"]), pixels


def pillow_rgba(path):
    with Image.open(path) as im:
        im.seek(0)
        return im.size[0], im.size[1], im.convert("RGBA").tobytes()


lines = []
for folder in ("libwebp-test-data", "made"):
    for name in sorted(os.listdir(os.path.join(here, folder))):
        path = os.path.join(here, folder, name)
        decode = pillow_rgba if name.startswith("anim_") else dwebp_rgba
        width, height, pixels = decode(path)
        lines.append(f"{folder}/{name} {width} {height} {zlib.crc32(pixels):08x}\n")
open(os.path.join(here, "reference.txt"), "w").writelines(lines)
sys.stdout.write(f"{len(lines)} pictures\n")
