#!/usr/bin/env bash
# Fails when a C or C++ file that git tracks differs from .clang-format's layout, naming each one.
# Quick (a few seconds), so `make test` runs it before any build.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (make deps)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/vistrel-format.$$; then
  grep -o '^[^:]*:[0-9]*' /tmp/vistrel-format.$$ | sort -u -t: -k1,1 | sed 's/^/check-format: differs from .clang-format at /' >&2
  echo "check-format: run  clang-format -i <file>  on the files above" >&2
  rm -f /tmp/vistrel-format.$$
  exit 1
fi
rm -f /tmp/vistrel-format.$$
echo "check-format: ${#files[@]} files match .clang-format"
