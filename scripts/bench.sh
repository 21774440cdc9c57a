#!/usr/bin/env bash
# Benchmarks: vistrel-convert against a plain copy and against ImageMagick, medians over several
# runs. Never part of `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target vistrel-convert >/dev/null
convert_tool=$root/build/bench/app/vistrel-convert
im=/usr/bin/convert-im6.q16
work=$root/build/bench/data
mkdir -p "$work"
runs=${BENCH_RUNS:-5}

bmp=$work/large-24bit.bmp
if [ ! -f "$bmp" ]; then
  "$im" -size 6000x4000 gradient:navy-orange -swirl 200 -type TrueColor BMP3:"$bmp"
fi
echo "BMP 6000 x 4000, 24-bit ($(stat -c %s "$bmp") bytes), $runs runs:"
python3 scripts/bench_time.py "$runs" \
  "vistrel-convert" -- "$convert_tool" "$bmp" "$work/out.bmp" --- \
  "cp (plain file copy)" -- cp "$bmp" "$work/copy.bmp" --- \
  "ImageMagick convert BMP3:" -- "$im" "$bmp" BMP3:"$work/im.bmp"

for extra in scripts/bench_*.sh; do
  [ -f "$extra" ] || continue
  bash "$extra" "$convert_tool" "$work" "$runs"
done
