#!/usr/bin/env bash
# JPEG decoding speed: vistrel-convert (libjpeg-turbo through TJpegPicture, then the wallpaper BMP
# writer) against djpeg -bmp (the same library writing the same kind of BMP) and against
# ImageMagick's convert, on a 24-megapixel photo made once from a corpus picture. Each command
# runs RUNS times after one untimed warm-up run; the medians and their ratios to djpeg are shown.
#   scripts/bench_jpeg.sh [PROGRAM [WORK [RUNS]]]
# PROGRAM is the vistrel-convert to time (default build/bench/app/vistrel-convert, from
# `cmake --preset bench`), WORK the folder for the photo and the outputs (default
# build/bench/data), RUNS defaults to 5.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/bench/app/vistrel-convert}
work=${2:-build/bench/data}
runs=${3:-5}
magick=/usr/bin/convert-im6.q16
source_picture=tests/data/jpeg/wuffs/harvesters.jpeg

for tool in "$program" /usr/bin/djpeg "$magick"; do
  if [ ! -x "$tool" ]; then
    echo "bench_jpeg: $tool is missing (build the bench tree, or run scripts/install-deps.sh)" >&2
    exit 1
  fi
done

mkdir -p "$work"
photo=$work/jpeg-photo-6000x4000.jpg
if [ ! -s "$photo" ]; then
  # Enlarged and given fine grain, so it has a real photo's detail (and entropy-coded size) rather
  # than the smoothness of an upscale, which would decode unrealistically fast.
  "$magick" "$source_picture" -resize '6000x4000!' -attenuate 0.4 +noise Gaussian \
    -sampling-factor 2x2 -quality 90 "$photo.partial"
  mv "$photo.partial" "$photo"
fi

# Milliseconds of one run, with fractions.
run_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "bench_jpeg: failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.1f\n", ns / 1e6 }'
}

median_ms() {
  local samples=()
  "$@" >/dev/null 2>&1 || { echo "bench_jpeg: failed: $*" >&2; exit 1; }  # warm-up
  for ((i = 0; i < runs; i++)); do samples+=("$(run_ms "$@")"); done
  printf '%s\n' "${samples[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ours=$(median_ms "$program" "$photo" "$work/jpeg-vistrel.bmp")
djpeg=$(median_ms /usr/bin/djpeg -bmp -outfile "$work/jpeg-djpeg.bmp" "$photo")
magick_ms=$(median_ms "$magick" "$photo" "BMP3:$work/jpeg-magick.bmp")

# Both decode with the same library and settings, so their pixel arrays must be identical.
pixels() { tail -c +$(($(od -An -tu4 -j10 -N4 "$1") + 1)) "$1"; }
if cmp -s <(pixels "$work/jpeg-vistrel.bmp") <(pixels "$work/jpeg-djpeg.bmp"); then
  same="identical"
else
  same="DIFFERENT"
fi

size=$(stat -c %s "$photo")
echo "JPEG decode to BMP: $photo (6000x4000, $((size / 1024)) KiB), median of $runs runs"
awk -v ours="$ours" -v djpeg="$djpeg" -v magick="$magick_ms" 'BEGIN {
  printf "  %-22s %9.1f ms  %5.2f x djpeg\n", "vistrel-convert", ours, ours / djpeg
  printf "  %-22s %9.1f ms  %5.2f x djpeg\n", "djpeg -bmp", djpeg, 1
  printf "  %-22s %9.1f ms  %5.2f x djpeg\n", "convert (ImageMagick)", magick, magick / djpeg
}'
echo "  pixels of vistrel-convert and djpeg: $same"
[ "$same" = identical ]
