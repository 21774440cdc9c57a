#!/usr/bin/env python3
"""Makes the pictures with embedded ICC profiles in this folder (run once; the files are kept):
  make_files.py CORPUS_DIR
from two public-domain and CC0 pictures of the team corpus (CORPUS_DIR, ../shared/corpus) and two
profiles of Debian's icc-profiles-free package (zlib licence, LICENSE.txt beside this script):
compatibleWithAdobeRGB1998.icc (Adobe RGB (1998) primaries and gamma) and Gray-CIE_L.icc (grey
with the L* curve). Pillow writes
the files; ImageMagick the 16-bit interlaced PNG, whose iCCP chunk it copies."""
import os
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
PROFILES = "/usr/share/color/icc"
IM = "/usr/bin/convert-im6.q16"


def profile(name):
    with open(os.path.join(PROFILES, name), "rb") as f:
        return f.read()


def main(corpus):
    adobe = profile("compatibleWithAdobeRGB1998.icc")
    gray = profile("Gray-CIE_L.icc")
    out = lambda name: os.path.join(HERE, name)
    # Tiffany's "Hibiscus and Parrots" (public domain): a vivid picture, its values taken as Adobe RGB.
    hibiscus = Image.open(os.path.join(corpus, "jpeg/wuffs/hibiscus.regular.jpeg")).convert("RGB")
    hibiscus.save(out("hibiscus-adobergb.jpg"), quality=92, icc_profile=adobe)
    hibiscus.convert("L").save(out("hibiscus-gray.jpg"), quality=92, icc_profile=gray)
    # The CC0 peacock photograph, in every PNG layout a profile reaches.
    peacock = Image.open(os.path.join(corpus, "jpeg/wuffs/peacock.png")).convert("RGB")
    peacock.save(out("peacock-adobergb.png"), icc_profile=adobe)
    rgba = peacock.copy()
    rgba.putalpha(Image.linear_gradient("L").resize(peacock.size))
    rgba.save(out("peacock-adobergb-rgba.png"), icc_profile=adobe)
    peacock.quantize(64).save(out("peacock-adobergb-indexed.png"), icc_profile=adobe)
    peacock.convert("L").save(out("peacock-gray.png"), icc_profile=gray)
    subprocess.run([IM, out("peacock-adobergb.png"), "-depth", "16", "-interlace", "PNG",
                    out("peacock-adobergb-interlaced16.png")], check=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "../../../../shared/corpus"))
