#!/usr/bin/env bash
# Fetches libjpeg-turbo's source from Debian's own source package for the cross builds, which build
# it with the mingw-w64 compilers (cmake/Jpeg.cmake). Run by scripts/install-deps.sh (`make deps`),
# never by a configure step. Idempotent: a complete copy is left alone, so it only checks.
#   fetch-jpeg-source.sh [DEPS_DIR]     default: $VISTREL_DEPS_DIR, else build/deps of the checkout
# The copy lands in DEPS_DIR/libjpeg-turbo/source; DEPS_DIR/libjpeg-turbo/complete names the
# version once the copy is whole.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps=${1:-${VISTREL_DEPS_DIR:-$root/build/deps}}
cache=$deps/libjpeg-turbo

# The usual case, and a shared read-only cache: nothing to write, not even the lock.
[ -f "$cache/complete" ] && [ -f "$cache/source/jpeglib.h" ] && exit 0

mkdir -p "$deps"
# Several checkouts may share one cache: one fetches, the others wait for it.
exec 9>"$deps/libjpeg-turbo.lock"
flock -w 600 9
[ -f "$cache/complete" ] && [ -f "$cache/source/jpeglib.h" ] && exit 0

echo "Fetching libjpeg-turbo from Debian's source package into $cache"
partial=$cache.partial
rm -rf "$cache" "$partial"
mkdir -p "$partial"
if ! (cd "$partial" && apt-get source -qq libjpeg-turbo) >"$partial.log" 2>&1; then
  cat "$partial.log" >&2
  echo "fetch-jpeg-source: apt-get source libjpeg-turbo failed (needs deb-src entries and" \
       "dpkg-dev, which scripts/install-deps.sh sets up as root)" >&2
  exit 1
fi
unpacked=()
for dir in "$partial"/libjpeg-turbo-*; do
  [ -d "$dir" ] && unpacked+=("$dir")
done
if [ ${#unpacked[@]} -ne 1 ] || [ ! -f "${unpacked[0]}/jpeglib.h" ]; then
  echo "fetch-jpeg-source: no single unpacked libjpeg-turbo source in $partial" >&2
  exit 1
fi
mkdir -p "$cache"
mv "${unpacked[0]}" "$cache/source"
basename "${unpacked[0]}" >"$cache/complete"
rm -rf "$partial" "$partial.log"
