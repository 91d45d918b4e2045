#!/bin/busybox sh
# SPDX-License-Identifier: MIT
# First process of the rig's initramfs: loads the modules for the 9p shares and the overlay,
# mounts the host's root read-only under a tmpfs overlay, gives it the kernel's modules and
# a writable output share, and hands over to the guest program (guest.py).
# The kernel passes pio_* parameters of its command line in as environment variables.
/bin/busybox --install -s /bin
export PATH=/bin

fail() {
    echo "rig-init: $*"
    echo b > /proc/sysrq-trigger
    sleep 5
}

mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules.load); do
    insmod "/lib/modules/$pio_kver/$m" || fail "insmod $m"
done
mkdir -p /lower /upper /newroot
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /lower ||
    fail "no 9p root"
mount -t tmpfs -o mode=0755 tmpfs /upper
mkdir -p /upper/data /upper/work
mount -t overlay overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work /newroot ||
    fail "no overlay"
mount -t proc proc /newroot/proc
mount -t sysfs sys /newroot/sys
mount -t devtmpfs dev /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm
# A /tmp of the guest's own, but a build or checkout that lives under the host's /tmp (a
# clone made there) must stay in sight: its top folder is moved over the new /tmp.
tops=""
for p in "$pio_guest" "$pio_binary" "$pio_sampler" "$pio_probe" "$pio_wine" "$pio_wine_run" \
    "$pio_prefix"; do
    case "$p" in
    /tmp/?*/*)
        top="/tmp/$(echo "${p#/tmp/}" | cut -d/ -f1)"
        case " $tops " in *" $top "*) ;; *) tops="$tops $top" ;; esac
        ;;
    esac
done
for top in $tops; do
    mkdir -p "/keep$top"
    mount --bind "/newroot$top" "/keep$top" || fail "no bind of $top"
done
mount -t tmpfs -o mode=1777 tmpfs /newroot/tmp
for top in $tops; do
    mkdir -p "/newroot$top"
    mount --move "/keep$top" "/newroot$top" || fail "no move of $top"
done
mount -t tmpfs -o mode=0755 tmpfs /newroot/run
mkdir -p /newroot/run/rig-out
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 rigout /newroot/run/rig-out ||
    fail "no output share"
# The kernel's own modules, for modprobe in the guest (the host has other kernels' trees).
mkdir -p "/newroot/lib/modules/$pio_kver"
cp -a "/lib/modules/$pio_kver/." "/newroot/lib/modules/$pio_kver/"
# The host's machine-id and the like stay; the guest gets a name of its own.
hostname pio-rig
echo "rig-init: handing over to $pio_guest"
exec switch_root /newroot /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 PIO_ONLY="$pio_only" PIO_WINE="$pio_wine" PIO_WINE_RUN="$pio_wine_run" \
    PIO_PREFIX="$pio_prefix" /usr/bin/python3 -B "$pio_guest" /run/rig-out "$pio_binary" "$pio_sampler" \
    "$pio_probe"
