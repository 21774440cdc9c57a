#!/usr/bin/env bash
# Runs the programs under Wine on a virtual desktop and leaves screenshots in build/demo/.
# The programs are the shipped ones: the 32-bit build's stripped files (shipped/).
set -euo pipefail
source "$(dirname "$0")/demo_common.sh"

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j 2 --target vistrel_shipped >/dev/null

rm -rf "$out"
mkdir -p "$out/run"
cp "$build/shipped/vistrel.exe" "$out/run/"
cp resources/demo/*.bmp "$out/run/"
cp "$build/shipped/vistrel_agent.exe" "$out/run/"

start_wine

desktop_value() {
  wine_run reg query 'HKCU\Control Panel\Desktop' /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v name="$1" '$1 == name { print $3 }'
}

# Each screenshot's style values, as the registry holds them, go to styles.txt beside it: Wine's
# own desktop draws only centred and tiled wallpapers, so a stretched one shows centred there.
screenshot() {
  local values="WallpaperStyle=$(desktop_value WallpaperStyle) TileWallpaper=$(desktop_value TileWallpaper)"
  /usr/bin/import-im6.q16 -display "$DISPLAY" -window root "$out/$1.png"
  echo "$1.png: $values" >>"$out/styles.txt"
  echo "  $out/$1.png ($values)"
}

# The virtual desktop reads the wallpaper when it starts, so each style gets a fresh desktop.
show_desktop() {
  wine_run explorer /desktop=Vistrel,1024x768 >/dev/null 2>&1 &
  sleep 4
  screenshot "$1"
  "$root/scripts/wine-run" --kill "$build"
  sleep 1
}

picture='Z:'$(echo "$out/run/rgb24.bmp" | tr / '\\')
exe='Z:'$(echo "$out/run/vistrel.exe" | tr / '\\')
echo "Demo screenshots:"
for style in 1:center 2:tile 3:stretch; do
  letter=${style%%:*} name=${style#*:}
  wine_run "$exe" "${letter}${picture}" >/dev/null 2>&1
  show_desktop "wallpaper-$name"
done

if [ -x scripts/demo_agent.sh ]; then
  bash scripts/demo_agent.sh "$build" "$out"
fi
if [ -x scripts/demo_window.sh ]; then
  bash scripts/demo_window.sh "$build" "$out"
fi
if [ -x scripts/demo_window_dpi.sh ]; then
  bash scripts/demo_window_dpi.sh "$build" "$out"
fi
