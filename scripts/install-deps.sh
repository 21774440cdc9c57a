#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's own packages, then fetches the third-party
# sources the cross builds compile (scripts/fetch-source.sh) and sets up the Wine that runs the
# Windows tests (scripts/setup-wine.sh); VISTREL_DEPS_DIR overrides where both are kept, build/deps
# by default. `make deps` runs it, and every make command that builds runs that
# first; configuring a build never fetches anything. Idempotent: when everything is present it only
# checks and returns within a second or two.
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 nasm
  zlib1g-dev libz-mingw-w64-dev
  googletest libgtest-dev
  debootstrap xvfb xauth x11-utils
  libpng-dev libgif-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  liblcms2-dev libwebp-dev webp libvips-tools
  libspng-dev libstb-dev
  python3 python3-pil python3-numpy imagemagick
  dpkg-dev util-linux
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

need_src=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  need_src=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_src -eq 1 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages (${missing[*]:-none}) or deb-src entries; run as root" \
         "or install them" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if [ $need_src -eq 1 ]; then
    # Source entries let the Windows build take libjpeg-turbo from Debian's own source package.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/vistrel-src.sources
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/vistrel-src.list
    fi
  fi
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

# The libraries the Windows builds compile from Debian's source: a package and a file it holds.
for source in "libjpeg-turbo jpeglib.h" "lcms2 include/lcms2.h" "libwebp src/webp/decode.h"; do
  bash "$(dirname "$0")/fetch-source.sh" $source
done
# Wine 10 for the Windows tests, in a Debian 13 tree of its own (scripts/setup-wine.sh).
exec bash "$(dirname "$0")/setup-wine.sh"
