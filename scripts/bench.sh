#!/usr/bin/env bash
# Benchmarks: vistrel-convert against peer decoders (libspng, libpng, stb_image, giflib, djpeg,
# ImageMagick, cp + mv) on large pictures, one table at the end, and the agent's change over a
# long list of gone pictures. Never part of `make test`.
#   BENCH_RUNS=5 scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target vistrel-convert peer-spng peer-libpng peer-stb \
  peer-giflib peak-run rotation-ticks list-edits >/dev/null
echo "load: $(uptime)"
python3 scripts/bench_table.py build/bench build/bench/data "${BENCH_RUNS:-5}"
# The agent: one change over 100,000 lines whose pictures are gone (goal: under 50 ms of CPU).
rm -rf build/bench/rotation && mkdir -p build/bench/rotation
build/bench/bench/rotation-ticks build/bench/rotation
# The window's list model: the edits of a 100,000-entry list.
build/bench/bench/list-edits build/bench/rotation
echo "load: $(uptime)"
