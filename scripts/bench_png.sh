#!/usr/bin/env bash
# PNG decoding speed: vistrel-convert against ImageMagick's convert, and against inflating the
# same image data alone with zlib (the floor for any zlib-based reader), on an 8000 x 6000 RGB,
# an RGBA and an interlaced picture made once with ImageMagick from a corpus photo.
#   scripts/bench_png.sh [PROGRAM [WORK [RUNS]]]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/bench/app/vistrel-convert}
work=${2:-build/bench/data}
runs=${3:-5}
magick=/usr/bin/convert-im6.q16
mkdir -p "$work"

# A real photo enlarged, so the data compresses like a photo's rather than like noise.
make_png() {  # name, extra ImageMagick options
  local out=$work/$1.png
  if [ ! -s "$out" ]; then
    "$magick" tests/data/jpeg/wuffs/harvesters.jpeg -resize 8000x6000! "${@:2}" "$out"
  fi
  echo "$out"
}

# Inflates every IDAT of the file in one go: what any zlib-based reader has to do at least.
cat >"$work/inflate_idat.py" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat = 8, []
while pos + 8 <= len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    if kind == b"IDAT":
        idat.append(data[pos + 8:pos + 8 + length])
    pos += 12 + length
zlib.decompress(b"".join(idat))
PY

for variant in "rgb:-type TrueColor -define png:color-type=2" \
            "rgba:-alpha set -channel A -evaluate set 80% +channel -define png:color-type=6" \
            "interlaced:-type TrueColor -interlace PNG"; do
  name=${variant%%:*}
  # shellcheck disable=SC2086
  png=$(make_png "png-photo-$name" ${variant#*:})
  echo "PNG 8000 x 6000 $name ($(stat -c %s "$png") bytes), $runs runs:"
  python3 scripts/bench_time.py "$runs" \
    "vistrel-convert" -- "$program" "$png" "$work/png-out.bmp" --- \
    "ImageMagick convert BMP3:" -- "$magick" "$png" BMP3:"$work/png-im.bmp" --- \
    "zlib inflate of the image data alone" -- python3 "$work/inflate_idat.py" "$png"
done
