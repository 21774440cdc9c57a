#!/usr/bin/env bash
# Sets up the Wine that runs the shipped 32-bit programs: Debian 13's Wine 10 in a Debian 13 tree of
# its own (debootstrap), with the i386 Windows DLLs of its libwine:i386 beside the 64-bit ones, so
# that Wine's WoW64 mode runs 32-bit PE code inside a 64-bit process. This host's kernel refuses
# 32-bit Linux binaries, so 32-bit Wine cannot start here, and Debian 12's Wine 8 fails
# ImageList_Create in WoW64 mode. scripts/wine-run enters the tree with chroot.
# Run by scripts/install-deps.sh (`make deps`) as root; idempotent: a complete tree is only checked.
#   setup-wine.sh [DEPS_DIR]     default: $VISTREL_DEPS_DIR, else build/deps of the checkout
# The tree lands in DEPS_DIR/wine/root; DEPS_DIR/wine/complete names the Wine version once it is whole.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
deps=${1:-${VISTREL_DEPS_DIR:-$root/build/deps}}
suite=trixie
mirror=${VISTREL_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=$deps/wine

fail() {
  echo "setup-wine: $*" >&2
  exit 1
}

# The usual case: a complete tree. Its pieces are checked, never mended behind the user's back: a
# tree with a piece missing would only seem to work, so it is reported (scripts/wine-run says the same).
if [ -f "$cache/complete" ]; then
  exec bash "$here/wine-run" --check-tree "$cache/root"
fi

[ "$(id -u)" -eq 0 ] || fail "setting up the Wine tree needs root (debootstrap and chroot)"
command -v debootstrap >/dev/null || fail "debootstrap is missing (scripts/install-deps.sh installs it)"
mkdir -p "$deps"
# Several checkouts may share one cache: one sets up, the others wait for it.
exec 9>"$deps/wine.lock"
flock -w 1800 9
[ -f "$cache/complete" ] && exec bash "$here/wine-run" --check-tree "$cache/root"

partial=$cache.partial
log=$deps/wine-setup.log
rm -rf "$cache" "$partial"
mkdir -p "$partial"
: >"$log"
echo "Setting up Wine 10 (Debian $suite) in $cache; the log is $log"

# Runs a step inside the tree with /proc and /dev mounted in a private mount namespace, so that no
# mount outlives the step or shows outside it.
in_tree() {
  unshare --mount --propagation private -- bash -c '
    tree=$1; shift
    mount -t proc proc "$tree/proc" && mount --bind /dev "$tree/dev" &&
      mount --bind /dev/pts "$tree/dev/pts" || exit 1
    exec chroot "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
      DEBIAN_FRONTEND=noninteractive "$@"' in-tree "$partial/root" "$@"
}

step() {
  local name=$1
  shift
  echo "== $name" >>"$log"
  "$@" >>"$log" 2>&1 || { tail -n 20 "$log" >&2; fail "step failed: $name (the log is $log)"; }
}

step "debootstrap $suite from $mirror" \
  debootstrap --variant=minbase "$suite" "$partial/root" "$mirror"
step "install wine64 and fonts-wine in the tree" \
  in_tree sh -c 'apt-get update -qq && apt-get install -y -qq --no-install-recommends wine64 fonts-wine &&
                 apt-get clean'

# The i386 DLLs of exactly the installed libwine, fetched with an apt state of their own so the
# tree's architectures and lists stay as they are.
i386_step() {
  in_tree sh -c '
    set -e
    version=$(dpkg-query -W -f="\${Version}" libwine)
    state=/var/tmp/wine-i386
    rm -rf $state && mkdir -p $state/lists/partial $state/cache/archives/partial
    mkdir -p $state/parts
    cp /etc/apt/sources.list $state/sources.list 2>/dev/null || : >$state/sources.list
    cp /etc/apt/sources.list.d/*.sources $state/parts/ 2>/dev/null || true
    opts="-o APT::Architecture=i386 -o APT::Architectures::=i386 -o Dir::State::Lists=$state/lists
          -o Dir::Cache=$state/cache -o Dir::Etc::sourcelist=$state/sources.list
          -o Dir::Etc::sourceparts=$state/parts"
    apt-get $opts update -qq
    cd $state && apt-get $opts download "libwine:i386=$version"
    dpkg-deb -x $state/libwine_*_i386.deb $state/unpacked
    cp -a $state/unpacked/usr/lib/i386-linux-gnu/wine/i386-windows/. \
      /usr/lib/x86_64-linux-gnu/wine/i386-windows/
    rm -rf $state'
}
step "fetch and unpack the i386 Windows DLLs of libwine:i386" i386_step

mkdir -p "$partial/root/tmp/.X11-unix"
version=$(chroot "$partial/root" dpkg-query -W -f='${Version}' wine64)
mkdir -p "$cache"
mv "$partial/root" "$cache/root"
rm -rf "$partial"
bash "$here/wine-run" --check-tree "$cache/root" || exit 1
echo "wine64 $version" >"$cache/complete"
echo "Wine $version is set up in $cache/root ($(du -sxh "$cache/root" | cut -f1))"
