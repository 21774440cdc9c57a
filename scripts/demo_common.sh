# What the demo scripts share, sourced with the script's own arguments: BUILD_DIR (default
# build/win32) and OUT_DIR (default build/demo) made absolute, Windows paths of our files, a fresh
# folder with the bundled sample pictures, and Wine on its private display.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
build=${1:-$root/build/win32}
out=${2:-$root/build/demo}
[ -d "$build" ] || cmake --preset win32 -B "$build" >/dev/null
build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# Sets run to OUT_DIR/NAME, emptied, holding the bundled samples.
fresh_run_folder() {
  run=$out/$1
  rm -rf "$run"
  mkdir -p "$run"
  shopt -s nullglob
  for picture in resources/demo/*.bmp resources/demo/*.jpg resources/demo/*.png; do
    cp "$picture" "$run/"
  done
}

wine_run() { "$root/scripts/wine-run" --build "$build" "$@"; }
stop_wine() { "$root/scripts/wine-run" --stop "$build"; }

# Starts the display and makes the prefix; Wine stops when the script ends, however it ends.
start_wine() {
  trap stop_wine EXIT
  stop_wine
  wine_run cmd /c exit 0 >/dev/null 2>&1 || true
  export DISPLAY=:$(cat "$build/wine/xvfb.display")
}
