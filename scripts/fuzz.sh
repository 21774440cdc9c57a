#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each for SECONDS (default 60), seeded
# from its built seed folder, the test pictures of its format in tests/data and the shared corpus
# beside the checkout (../shared/corpus, read-only; a folder that is missing is skipped).
# `make test` runs it briefly; `make fuzz` runs it longer. TARGETS (names, space-separated)
# limits the run to some targets; FUZZ_TIMEOUT (seconds, default 10) is the limit per input, to be
# raised when the machine is busy.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shared=../shared/corpus
cmake --preset fuzz >/dev/null
targets=${TARGETS:-$(for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)}
cmake --build --preset fuzz -j 2 --target $targets >/dev/null

# The real pictures each reader's target starts from, besides its built seeds.
real_seeds() {
  case "$1" in
    bmp_fuzz) echo tests/data/bmp "$shared/bmpsuite" ;;
    gif_fuzz | lzw_fuzz) echo tests/data/gif "$shared/gif" ;;
    jpeg_fuzz) echo tests/data/jpeg "$shared/jpeg" ;;
    png_fuzz) echo tests/data/png "$shared/png-libpng" "$shared/pngsuite" ;;
    psd_fuzz | packbits_fuzz) echo tests/data/psd "$shared/psd" ;;
    webp_fuzz) echo tests/data/webp "$shared/webp" ;;
  esac
}

status=0
for name in $targets; do
  target=build/fuzz/tests/fuzz/$name
  [ -x "$target" ] || continue
  work=build/fuzz/corpus/$name
  mkdir -p "$work" build/fuzz/crashes
  seeds=()
  for dir in tests/fuzz/corpus/$name $(real_seeds "$name"); do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  # Long enough for the largest seed, so no real file is cut short.
  max_len=65536
  if [ ${#seeds[@]} -gt 0 ]; then
    largest=$(find "${seeds[@]}" -type f -printf '%s\n' | sort -n | tail -1)
    [ -n "$largest" ] && [ "$largest" -gt "$max_len" ] && max_len=$largest
  fi
  args=(-max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -max_len="$max_len"
        -artifact_prefix=build/fuzz/crashes/"$name"- -print_final_stats=1)
  if "$target" "${args[@]}" "$work" "${seeds[@]}" >build/fuzz/"$name".log 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' build/fuzz/"$name".log | grep -o '[0-9]*$' || true)
    echo "fuzz $name: ${seconds}s, no failure ($(grep -o 'cov: [0-9]* ft: [0-9]*' build/fuzz/"$name".log | tail -1), ${runs:-?} runs, max_len $max_len)"
  else
    echo "fuzz $name: FAILED, see build/fuzz/$name.log and build/fuzz/crashes/" >&2
    tail -20 build/fuzz/"$name".log >&2
    status=1
  fi
done
exit $status
