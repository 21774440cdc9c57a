#!/usr/bin/env bash
# Benchmarks: vistrel-convert against peer decoders (libspng, libpng, stb_image, giflib, djpeg,
# ImageMagick, cp + mv) on large pictures, one table at the end. Never part of `make test`.
#   BENCH_RUNS=5 scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target vistrel-convert peer-spng peer-libpng peer-stb \
  peer-giflib peak-run >/dev/null
echo "load: $(uptime)"
python3 scripts/bench_table.py build/bench build/bench/data "${BENCH_RUNS:-5}"
echo "load: $(uptime)"
