#!/usr/bin/env bash
# The configuration window on the Wine virtual desktop, with a list of sample pictures of which one
# is missing (it shows the greyed icon). Screenshots of the window with a row selected, and with
# the list's popup menu open on that row (its Style submenu showing the row's style), go to
# OUT_DIR as window-*.png.
#   demo_window.sh [BUILD_DIR [OUT_DIR]]      defaults: build/win32 and build/demo
# The programs are the shipped ones (shipped/ of the 32-bit build); the sender is a test tool.
set -euo pipefail
source "$(dirname "$0")/demo_common.sh"

cmake --build "$build" -j 2 --target vistrel_shipped vistrel_window_send >/dev/null

fresh_run_folder window
cp "$build/shipped/vistrel.exe" "$build/bin/vistrel_window_send.exe" "$run/"

# Besides the bundled samples, three pictures drawn here (24-bit BMP).
python3 scripts/demo_pictures.py "$run" 160 100 dusk meadow harbour
list="3$(winpath "$run/dusk.bmp")"$'\r\n'
list+="2$(winpath "$run/meadow.bmp")"$'\r\n'
list+="1$(winpath "$run/harbour.bmp")"$'\r\n'
list+="3$(winpath "$run/holiday/beach.jpg")"$'\r\n'  # gone: the missing-file icon
for picture in "$run"/*.bmp "$run"/*.jpg "$run"/*.png; do
  case "$(basename "$picture")" in dusk.bmp | meadow.bmp | harbour.bmp | vistrel_wlp.bmp) continue ;; esac
  list+="2$(winpath "$picture")"$'\r\n'
done
printf '%s' "$list" >"$run/list.txt"
printf '[Settings]\r\nInterval=15\r\nRememberLast=1\r\n' >"$run/vistrel.ini"

start_wine

# Every program of the demo runs on the one virtual desktop.
on_desktop() { wine_run explorer /desktop=VistrelWindow,1024x768 "$@" >/dev/null 2>&1; }
send() { on_desktop "$(winpath "$run/vistrel_window_send.exe")" "$@"; }
screenshot() {
  /usr/bin/import-im6.q16 -display "$DISPLAY" -window root "$out/window-$1.png"
  echo "  $out/window-$1.png ($2)"
}

# A plain desktop behind the window.
wine_run reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /d '' /f >/dev/null 2>&1

echo "Window demo screenshots:"
# The first program opens the desktop and keeps it; the helper's runs only join it.
on_desktop "$(winpath "$run/vistrel.exe")" &
desktop=$!
sleep 6
send wait
sleep 3
send click 2  # the first click may only activate the window
sleep 1
send click 2
sleep 2
screenshot 1-list "the list with a missing file and the settings panel, row 2 selected"
send rclick 2
sleep 2
send key down down down down right
sleep 2
screenshot 2-menu "the list's popup menu on row 2, its Style submenu open"
send key escape escape escape
sleep 1
send close
# Wine 10's desktop outlives the window it was opened for: a few seconds, then it is ended.
for _ in $(seq 20); do kill -0 "$desktop" 2>/dev/null || break; sleep 0.5; done
"$root/scripts/wine-run" --kill "$build"
wait "$desktop" || true
