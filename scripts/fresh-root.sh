# SPDX-License-Identifier: MIT
# Sourced by the scripts that try pio-out in a fresh Debian root (scripts/test-in-fresh-root.sh,
# packaging/test-deb-in-root.sh); they define say and die first. POSIX sh.

# base_root <release> <mirror> <tarball>: makes sure <tarball> holds a minimal root of the
# release: debootstrap once, then the tarball, remade after 14 days or when the mirror changes.
base_root() {
    _br_release=$1 _br_mirror=$2 _br_tarball=$3
    _br_dir=$(dirname "$_br_tarball")
    if [ -f "$_br_tarball" ] && [ "$(cat "$_br_tarball.mirror" 2>/dev/null)" = "$_br_mirror" ] &&
        [ -z "$(find "$_br_tarball" -mtime +14)" ]; then
        say "base root from the cache ($_br_tarball)"
        return 0
    fi
    say "debootstrap --variant=minbase $_br_release (cached for later runs)"
    rm -rf --one-file-system "$_br_dir/root.new"
    debootstrap --variant=minbase "$_br_release" "$_br_dir/root.new" "$_br_mirror" \
        >"$_br_dir/debootstrap.log" 2>&1 ||
        { tail -n 30 "$_br_dir/debootstrap.log" >&2; die "debootstrap failed (log: $_br_dir/debootstrap.log)"; }
    tar -C "$_br_dir/root.new" -cf "$_br_tarball.new" .
    mv "$_br_tarball.new" "$_br_tarball"
    echo "$_br_mirror" >"$_br_tarball.mirror"
    rm -rf --one-file-system "$_br_dir/root.new"
    say "base root made"
}

# new_root <tarball> <name>: unpacks the base root into a new folder under /var/tmp, sets
# $root to it and $mounted to nothing (each mount the caller makes goes in front of it), and
# has the root taken down again when the script exits, however it exits.
new_root() {
    root=$(mktemp -d "/var/tmp/pio-out-$2-root.XXXXXX")
    mounted=""
    trap remove_root EXIT
    trap 'exit 130' INT TERM HUP
    say "unpacking the base root into $root"
    tar -C "$root" -xf "$1"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
}

remove_root() {
    status=$?
    set +e
    # End what still runs inside the root (the build, the tests, the panel, Xvfb, QEMU).
    for _ in 1 2 3; do
        left=""
        for p in /proc/[0-9]*; do
            case "$(readlink "$p/root" 2>/dev/null)" in
            "$root" | "$root"/*) kill -9 "${p#/proc/}" 2>/dev/null && left=1 ;;
            esac
        done
        [ -n "$left" ] || break
        sleep 1
    done
    # Whatever was mounted under the root, by the script or by something run inside it,
    # comes off, the deepest first; then the root's own bind.
    awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r |
        while read -r m; do
            umount "$m" 2>/dev/null || umount -l "$m"
        done
    for m in $mounted; do
        ! grep -q " $m " /proc/mounts || umount "$m" || umount -l "$m"
    done
    if grep -q " ${root}[/ ]" /proc/mounts; then
        echo "WARNING: mounts left under $root; not removing it" >&2
    else
        rm -rf --one-file-system "$root"
    fi
    exit $status
}
