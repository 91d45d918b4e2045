#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the pio-out Debian package into a fresh Debian 12 (bookworm) root made with
# debootstrap, lets apt resolve everything from the package's Depends, and starts the panel
# there under Xvfb. It passes when a 340x200 window named "pio-out" appears.
#
# Usage, as root:  packaging/test-deb-in-root.sh PACKAGE.deb
#                  packaging/test-deb-in-root.sh FOLDER   (holding one pio-out_*.deb)
# Environment:
#   PIO_DEB_MIRROR  Debian mirror for debootstrap and apt (default: the one this machine's
#                   apt sources use for bookworm, else http://deb.debian.org/debian)
#   PIO_DEB_CACHE   kept between runs: the bootstrapped root as a tarball (remade after 14
#                   days or when the mirror changes) and apt's downloaded packages
#                   (default /var/tmp/pio-out-deb-test)
# Needs root, debootstrap (installed if missing) and the network; takes minutes.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
started=$(date +%s)
say() { echo "[test-deb-in-root $(($(date +%s) - started))s] $*"; }
die() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "run this as root (it uses debootstrap, chroot and mount)"
[ $# -eq 1 ] || die "usage: $0 PACKAGE.deb | FOLDER"
deb=$1
if [ -d "$deb" ]; then
    set -- "$deb"/pio-out_*.deb
    [ $# -eq 1 ] && [ -f "$1" ] || die "want exactly one pio-out_*.deb in $deb, found: $*"
    deb=$1
fi
[ -f "$deb" ] || die "no package file $deb"
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")

. "$here/../scripts/deps.sh"
install_missing $DEB_ROOT_TEST_PACKAGES

# The mirror this machine uses for bookworm, from one-line (.list) or deb822 (.sources) files.
host_mirror() {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([^[:space:]]\{1,\}\)[[:space:]]\{1,\}bookworm[[:space:]].*/\2/p' "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
             { types = ""; uris = ""; suites = ""; enabled = "yes"
               for (n = 1; n <= NF; n++) {
                   line = $n
                   if (line ~ /^#/) continue
                   key = tolower(substr(line, 1, index(line, ":") - 1))
                   val = substr(line, index(line, ":") + 1)
                   if (key == "types") types = val
                   else if (key == "uris") uris = val
                   else if (key == "suites") suites = val
                   else if (key == "enabled") enabled = val
               }
               if (enabled ~ /no/ || (" " types " ") !~ /[ \t]deb[ \t]/) next
               if ((" " suites " ") !~ /[ \t]bookworm[ \t]/) next
               nu = split(uris, u, " "); for (k = 1; k <= nu; k++) if (u[k] != "") { print u[k]; exit } }' "$f"
    done
}
mirror=${PIO_DEB_MIRROR:-$(host_mirror | head -n 1)}
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
say "package $deb"
say "mirror $mirror"

cache=${PIO_DEB_CACHE:-/var/tmp/pio-out-deb-test}
mkdir -p "$cache/apt-archives/partial"
exec 9>"$cache/lock"
flock 9  # one run at a time: they share the cache

# --- The base root, then a fresh root for this run -----------------------------------------
. "$here/../scripts/fresh-root.sh"
base_root bookworm "$mirror" "$cache/bookworm-minbase.tar"
new_root "$cache/bookworm-minbase.tar" deb
cp "$deb" "$root/tmp/"
cp "$here/deb-in-root-inside.sh" "$root/tmp/inside.sh"

# Mounts, most recent first in $mounted so they come off in reverse order. /dev is a
# private, non-recursive bind: nothing mounted under it reaches the host's /dev.
mount -t proc proc "$root/proc" && mounted="$root/proc $mounted"
mount -t sysfs sysfs "$root/sys" && mounted="$root/sys $mounted"
mount --bind /dev "$root/dev" && mounted="$root/dev $mounted"
mount --make-private "$root/dev"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm" && mounted="$root/dev/shm $mounted"
mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives" &&
    mounted="$root/var/cache/apt/archives $mounted"

say "installing the package and starting the panel inside the root"
# In the background so that an interrupt is handled at once (the clean-up ends it).
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/sh /tmp/inside.sh "/tmp/$(basename "$deb")" &
if wait $!; then
    say "PASS: pio-out installs from its package into a fresh Debian 12 root and shows its window"
else
    say "FAIL: see the messages above"
    exit 1
fi
