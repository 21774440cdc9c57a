#!/usr/bin/env bash
# The tray agent on the Wine virtual desktop: a list of sample pictures, a one-minute interval, not
# paused. Screenshots before and after its first automatic change (about a minute after the start),
# after "Next" from its menu, and with its tray menu open, go to OUT_DIR as agent-*.png.
#   demo_agent.sh [BUILD_DIR [OUT_DIR]]      defaults: build/win64 and build/demo
# The programs run from the 64-bit build: Wine here cannot start 32-bit programs.
set -euo pipefail
source "$(dirname "$0")/demo_common.sh"

cmake --build "$build" -j 2 --target vistrel vistrel_agent vistrel_agent_send >/dev/null

fresh_run_folder agent
cp "$build/bin/vistrel.exe" "$build/bin/vistrel_agent.exe" "$build/bin/vistrel_agent_send.exe" "$run/"

# Besides the bundled samples, two pictures drawn here (24-bit BMP) so that every change shows.
python3 scripts/demo_pictures.py "$run" 320 200 dusk meadow
list=""
for picture in dusk.bmp meadow.bmp; do list+="3$(winpath "$run/$picture")"$'\r\n'; done
for picture in "$run"/*.bmp "$run"/*.jpg "$run"/*.png; do
  case "$(basename "$picture")" in dusk.bmp | meadow.bmp | vistrel_wlp.bmp) continue ;; esac
  list+="2$(winpath "$picture")"$'\r\n'
done
printf '%s' "$list" >"$run/list.txt"
printf '[Settings]\r\nInterval=1\r\nPaused=0\r\nLastIndex=0\r\nRandomWallpaper=0\r\nShowBaloonOnChange=1\r\nRememberLast=1\r\nViewerPath=%s\r\n' \
  "$(winpath "$run/vistrel.exe")" >"$run/vistrel.ini"

start_wine

# Every program of the demo runs on the one virtual desktop, where the agent's window is found.
on_desktop() { wine_run explorer /desktop=VistrelAgent,1024x768 "$@" >/dev/null 2>&1; }
send() { on_desktop "$(winpath "$run/vistrel_agent_send.exe")" "$@"; }
last_index() { tr -d '\r' <"$run/vistrel.ini" | sed -n 's/^LastIndex=//p'; }
wait_for_index() {
  for _ in $(seq "$2"); do
    [ "$(last_index)" = "$1" ] && return 0
    sleep 1
  done
  echo "demo_agent: no change to line $1 within $2 seconds" >&2
  return 1
}
screenshot() {
  /usr/bin/import-im6.q16 -display "$DISPLAY" -window root "$out/agent-$1.png"
  echo "  $out/agent-$1.png ($2)"
}

# A plain desktop to start from.
wine_run reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /d '' /f >/dev/null 2>&1

echo "Agent demo screenshots:"
on_desktop "$(winpath "$run/vistrel_agent.exe")" &
sleep 6
screenshot 1-started "running, one-minute interval, nothing changed yet"
wait_for_index 1 120
sleep 2  # the applier's work, and the balloon is up for 3 seconds
screenshot 2-first-change "after the first automatic change: line 1"
send next
wait_for_index 2 30
sleep 2
screenshot 3-after-next "after Next: line 2"
send menu 700 560
sleep 2
screenshot 4-menu "the tray menu open at the cursor"
send escape
send exit
