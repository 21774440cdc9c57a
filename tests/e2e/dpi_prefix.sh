#!/bin/sh
# Runs the end-to-end DPI test in a Wine prefix of its own whose screen is at the DPI: Wine takes a
# monitor's DPI from LogPixels when the prefix's session starts, so the value is written, the
# session ended, and the test started in a new one. The prefix stays for the next run.
#   dpi_prefix.sh WINE_RUN STATE_DIR DPI E2E_TESTS.exe
set -u
wine_run=$1
state=$2
dpi=$3
program=$4
"$wine_run" --build "$state" reg.exe add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
  /d "$dpi" /f >/dev/null || exit 1
"$wine_run" --stop "$state"
VISTREL_E2E_DPI=$dpi "$wine_run" --build "$state" "$program" --gtest_filter='DpiE2E.*'
rc=$?
"$wine_run" --stop "$state"
exit $rc
