#!/bin/sh
# SPDX-License-Identifier: MIT
# Tries the README's set-up as a new user would: makes a fresh Debian root of the given
# release with debootstrap, clones this repository into it and runs ./scripts/run-tests there
# (which installs everything it needs), then ./scripts/run-panel under Xvfb, where the panel
# must show its 340x200 window (a screenshot is kept). It passes when both did.
#
# Usage, as root:  scripts/test-in-fresh-root.sh RELEASE [REPOSITORY]
#   RELEASE     bookworm (or 12) or trixie (or 13)
#   REPOSITORY  the clone to test (default: this one); its committed HEAD is what is tested
# Environment:
#   PIO_ROOT_MIRROR  Debian mirror (default http://deb.debian.org/debian)
#   PIO_ROOT_CACHE   kept between runs: the bootstrapped root per release as a tarball
#                    (remade after 14 days), apt's downloaded packages, and each release's
#                    results of the last run: the output, the build folders' logs and the
#                    panel's screenshot (default /var/tmp/pio-out-fresh-root)
# Needs root, debootstrap (installed if missing) and the network; takes long (the whole test
# suite with its four builds, from nothing).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
started=$(date +%s)
say() { echo "[fresh-root $(($(date +%s) - started))s] $*"; }
die() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "run this as root (it uses debootstrap, chroot and mount)"
[ $# -ge 1 ] && [ $# -le 2 ] || die "usage: $0 bookworm|trixie|12|13 [REPOSITORY]"
case "$1" in
bookworm | 12) release=bookworm ;;
trixie | 13) release=trixie ;;
*) die "unknown release $1 (bookworm, trixie, 12 or 13)" ;;
esac
repo=$(cd "${2:-$here/..}" && pwd)
commit=$(git -C "$repo" rev-parse HEAD) || die "$repo is not a git clone"
mirror=${PIO_ROOT_MIRROR:-http://deb.debian.org/debian}

. "$here/deps.sh"
install_missing $DEB_ROOT_TEST_PACKAGES git

cache=${PIO_ROOT_CACHE:-/var/tmp/pio-out-fresh-root}
results=$cache/$release-results
mkdir -p "$cache/apt-archives-$release/partial"
exec 9>"$cache/lock"
flock 9 # one run at a time: they share the cache, and each is heavy
rm -rf "$results"
mkdir -p "$results"
say "Debian $release, $repo at $commit, results in $results"

# --- The base root, then a fresh root for this run -----------------------------------------
. "$here/fresh-root.sh"
base_root "$release" "$mirror" "$cache/$release-minbase.tar"
new_root "$cache/$release-minbase.tar" "$release"
git clone --quiet --no-hardlinks "$repo" "$root/root/pio-out"
git -C "$root/root/pio-out" checkout --quiet --detach "$commit"

# Mounts, most recent first in $mounted so they come off in reverse order. The root is a
# mount point of its own, as / is on a real system (unshare in the tests wants one); /dev
# is a private, non-recursive bind of the host's, so nothing mounted under it reaches the
# host's /dev. /dev/pts is a new instance, /dev/shm and /run fresh tmpfs.
mount --bind "$root" "$root" && mounted="$root"
mount --make-private "$root"
mount -t proc proc "$root/proc" && mounted="$root/proc $mounted"
mount -t sysfs sysfs "$root/sys" && mounted="$root/sys $mounted"
mount --bind /dev "$root/dev" && mounted="$root/dev $mounted"
mount --make-private "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts" &&
    mounted="$root/dev/pts $mounted"
mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx" && mounted="$root/dev/ptmx $mounted"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm" && mounted="$root/dev/shm $mounted"
mount -t tmpfs -o mode=755 tmpfs "$root/run" && mounted="$root/run $mounted"
mkdir -m 1777 "$root/run/lock"
mount --bind "$cache/apt-archives-$release" "$root/var/cache/apt/archives" &&
    mounted="$root/var/cache/apt/archives $mounted"

# in_root <log> <command>: runs the command in the clone inside the root as a login would,
# in the background so that an interrupt is handled at once (the clean-up ends it); its
# output goes to the terminal and to <log>.
in_root() {
    log=$1
    shift
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM=dumb USER=root /bin/sh -c "cd /root/pio-out && $*" \
        >"$log" 2>&1 &
    pid=$!
    tail -n +1 -f "$log" --pid=$pid &
    follower=$!
    rc=0
    wait $pid || rc=$?
    wait $follower 2>/dev/null || true
    return $rc
}

say "./scripts/run-tests"
t0=$(date +%s)
tests_rc=0
in_root "$results/run-tests.log" ./scripts/run-tests || tests_rc=$?
tests_s=$(($(date +%s) - t0))
say "./scripts/run-tests ended with exit $tests_rc after $tests_s s"
for d in "$root"/root/pio-out/build-*; do
    [ -d "$d" ] || continue
    mkdir -p "$results/${d##*/}"
    cp "$d"/build.log "$d"/test*.log "$d"/junit*.xml "$results/${d##*/}/" 2>/dev/null || true
done

# The panel, started by run-panel on a virtual screen (scripts/fresh-root-panel.sh).
say "./scripts/run-panel under Xvfb"
t0=$(date +%s)
panel_rc=0
in_root "$results/run-panel.log" sh scripts/fresh-root-panel.sh /tmp/panel.png || panel_rc=$?
panel_s=$(($(date +%s) - t0))
cp "$root/tmp/panel.png" "$results/panel.png" 2>/dev/null || true
say "./scripts/run-panel: exit $panel_rc after $panel_s s (building included)"

echo "fresh-root $release: run-tests exit $tests_rc in $tests_s s; run-panel exit $panel_rc in $panel_s s; results in $results" |
    tee "$results/summary.txt"
[ "$tests_rc" -eq 0 ] && [ "$panel_rc" -eq 0 ]
