#!/usr/bin/env bash
# Fetches a library's source from Debian's own source package for the cross builds, which compile
# it with the mingw-w64 compilers (cmake/Jpeg.cmake and the like). Run by scripts/install-deps.sh
# (`make deps`), never by a configure step. Idempotent: a complete copy is left alone, so it only
# checks.
#   fetch-source.sh PACKAGE MARKER [DEPS_DIR]
# PACKAGE is the Debian source package; MARKER a file the unpacked source must hold (jpeglib.h).
# DEPS_DIR defaults to $VISTREL_DEPS_DIR, else build/deps of the checkout. The copy lands in
# DEPS_DIR/PACKAGE/source; DEPS_DIR/PACKAGE/complete names the version once the copy is whole.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: fetch-source.sh PACKAGE MARKER [DEPS_DIR]" >&2; exit 2; }
package=$1
marker=$2
root=$(cd "$(dirname "$0")/.." && pwd)
deps=${3:-${VISTREL_DEPS_DIR:-$root/build/deps}}
cache=$deps/$package

# The usual case, and a shared read-only cache: nothing to write, not even the lock.
[ -f "$cache/complete" ] && [ -f "$cache/source/$marker" ] && exit 0

mkdir -p "$deps"
# Several checkouts may share one cache: one fetches, the others wait for it.
exec 9>"$deps/$package.lock"
flock -w 600 9
[ -f "$cache/complete" ] && [ -f "$cache/source/$marker" ] && exit 0

echo "Fetching $package from Debian's source package into $cache"
partial=$cache.partial
rm -rf "$cache" "$partial"
mkdir -p "$partial"
if ! (cd "$partial" && apt-get source -qq "$package") >"$partial.log" 2>&1; then
  cat "$partial.log" >&2
  echo "fetch-source: apt-get source $package failed (needs deb-src entries and dpkg-dev, which" \
       "scripts/install-deps.sh sets up as root)" >&2
  exit 1
fi
unpacked=()
for dir in "$partial/$package"-*; do
  [ -d "$dir" ] && unpacked+=("$dir")
done
if [ ${#unpacked[@]} -ne 1 ] || [ ! -f "${unpacked[0]}/$marker" ]; then
  echo "fetch-source: no single unpacked $package source holding $marker in $partial" >&2
  exit 1
fi
mkdir -p "$cache"
mv "${unpacked[0]}" "$cache/source"
basename "${unpacked[0]}" >"$cache/complete"
rm -rf "$partial" "$partial.log"
