#!/bin/sh
# Prepares (setup) or removes (cleanup) a program folder that no file can be created in, for the
# end-to-end test of a read-only program folder. Wine runs as root here, and root writes into a
# folder whatever its mode or its Windows read-only attribute; the file system's immutable flag
# (chattr +i) stops root too. Where the flag cannot be set, the folder stays writable and the
# test skips itself. The settings and the list are read-only files too.
#   readonly_folder.sh setup DIR BIN_DIR PICTURE | cleanup DIR
set -u
action=$1
dir=$2
case "$action" in
  setup)
    bin=$3
    picture=$4
    [ -d "$dir" ] && chattr -i "$dir" 2>/dev/null
    rm -rf "$dir"
    mkdir -p "$dir" || exit 1
    cp "$bin/vistrel.exe" "$bin/vistrel_agent.exe" "$dir/" 2>/dev/null
    cp "$picture" "$dir/picture.bmp"
    # Wine sees the Unix root as drive Z:, with backslashes.
    winpath="Z:$(printf '%s' "$dir/picture.bmp" | tr '/' '\\')"
    printf '2%s\r\n' "$winpath" >"$dir/list.txt"
    printf '[Settings]\r\nInterval=15\r\n' >"$dir/vistrel.ini"
    # Files copied from a CD or an installer often carry the read-only attribute; Wine shows a file
    # that its owner cannot write as read-only, and refuses writes to it.
    chmod a-w "$dir/list.txt" "$dir/vistrel.ini"
    chattr +i "$dir" 2>/dev/null || echo "readonly_folder: chattr +i refused; the test will skip"
    exit 0
    ;;
  cleanup)
    [ -d "$dir" ] && chattr -i "$dir" 2>/dev/null
    rm -rf "$dir"
    exit 0
    ;;
esac
exit 2
