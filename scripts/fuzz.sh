#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each for SECONDS (default 60) from
# its seed folder. `make test` runs it briefly; `make fuzz` runs it longer.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
targets=$(for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)
cmake --build --preset fuzz -j 2 --target $targets >/dev/null
status=0
for target in build/fuzz/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds=tests/fuzz/corpus/$name
  work=build/fuzz/corpus/$name
  mkdir -p "$work" build/fuzz/crashes
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536
        -artifact_prefix=build/fuzz/crashes/"$name"- -print_final_stats=0)
  if "$target" "${args[@]}" "$work" ${seeds:+$( [ -d "$seeds" ] && echo "$seeds")} >build/fuzz/"$name".log 2>&1; then
    echo "fuzz $name: ${seconds}s, no failure ($(grep -o 'cov: [0-9]*' build/fuzz/"$name".log | tail -1))"
  else
    echo "fuzz $name: FAILED, see build/fuzz/$name.log and build/fuzz/crashes/" >&2
    tail -20 build/fuzz/"$name".log >&2
    status=1
  fi
done
exit $status
