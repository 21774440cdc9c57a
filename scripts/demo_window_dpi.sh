#!/usr/bin/env bash
# The configuration window at 144 DPI (150 %): Wine's LogPixels set to 144 in a prefix of its own
# (Wine takes a monitor's DPI from it when the prefix's session starts), the same list as the
# window demo, and a screenshot window-144dpi.png in OUT_DIR.
#   demo_window_dpi.sh [BUILD_DIR [OUT_DIR]]      defaults: build/win32 and build/demo
set -euo pipefail
source "$(dirname "$0")/demo_common.sh"

cmake --build "$build" -j 2 --target vistrel_shipped >/dev/null

fresh_run_folder window-144dpi
cp "$build/shipped/vistrel.exe" "$run/"
python3 scripts/demo_pictures.py "$run" 160 100 dusk meadow harbour
list="3$(winpath "$run/dusk.bmp")"$'\r\n'
list+="2$(winpath "$run/meadow.bmp")"$'\r\n'
list+="1$(winpath "$run/harbour.bmp")"$'\r\n'
list+="3$(winpath "$run/holiday/beach.jpg")"$'\r\n'  # gone: the missing-file icon
list+="2$(winpath "$run/rgb24.bmp")"$'\r\n'
printf '%s' "$list" >"$run/list.txt"
printf '[Settings]\r\nInterval=15\r\nRememberLast=1\r\n' >"$run/vistrel.ini"

# The prefix of the 144-DPI end-to-end test (the same folder), set up here if it is not yet.
state=$build/dpi144
dpi_run() { "$root/scripts/wine-run" --build "$state" "$@"; }
"$root/scripts/wine-run" --stop "$state"
dpi_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
dpi_run reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /d '' /f >/dev/null 2>&1
"$root/scripts/wine-run" --stop "$state"
trap '"$root/scripts/wine-run" --stop "$state"' EXIT
dpi_run cmd /c exit 0 >/dev/null 2>&1 || true
export DISPLAY=:$(cat "$state/wine/xvfb.display")

echo "Window demo at 144 DPI:"
dpi_run explorer /desktop=VistrelWindow144,1024x768 "$(winpath "$run/vistrel.exe")" >/dev/null 2>&1 &
desktop=$!
sleep 10
/usr/bin/import-im6.q16 -display "$DISPLAY" -window root "$out/window-144dpi.png"
echo "  $out/window-144dpi.png (the window at 150 %: its layout, font and icons at 144 DPI)"
"$root/scripts/wine-run" --kill "$state"
wait "$desktop" || true
