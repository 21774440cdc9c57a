#!/usr/bin/env bash
# GIF and PSD decoding speed: vistrel-convert against ImageMagick's convert on a large GIF and a
# large PSD made once with ImageMagick.
#   scripts/bench_gif_psd.sh [PROGRAM [WORK [RUNS]]]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/bench/app/vistrel-convert}
work=${2:-build/bench/data}
runs=${3:-5}
magick=/usr/bin/convert-im6.q16
mkdir -p "$work"

source_picture=tests/data/jpeg/wuffs/harvesters.jpeg
gif=$work/large.gif
psd=$work/large.psd
[ -s "$gif" ] || "$magick" "$source_picture" -resize 4000x3000! -colors 256 "$gif"
[ -s "$psd" ] || "$magick" "$source_picture" -resize 6000x4000! -compress RLE "$psd"

for picture in "$gif" "$psd"; do
  echo "$(basename "$picture") ($(stat -c %s "$picture") bytes), $runs runs:"
  python3 scripts/bench_time.py "$runs" \
    "vistrel-convert" -- "$program" "$picture" "$work/gp-out.bmp" --- \
    "ImageMagick convert BMP3:" -- "$magick" "$picture" BMP3:"$work/gp-im.bmp"
done
