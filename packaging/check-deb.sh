#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the Debian package that `cpack -G DEB` wrote into the given folder: its control
# data (name, section, dependencies) and its file list.
# Usage: check-deb.sh DEB_DIR
set -eu
dir=$1
id=org.pioout.PioOut
status=0
fail() { echo "FAIL: $*"; status=1; }

set -- "$dir"/pio-out_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "FAIL: want one pio-out_*.deb in $dir, found: $*"; exit 1; }
deb=$1
echo "Package file: $deb"
dpkg-deb -I "$deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pio-out ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
# The project's own address, under its own name (the domain of its desktop id org.pioout).
field Maintainer | grep -q '^PIO Out maintainers <[^@>]*@pioout\.org>$' ||
    fail "Maintainer is not the project's own address: '$(field Maintainer)'"
field Description | grep -q 'parallel port' || fail "Description does not say what it is for"

# Depends: what dpkg-shlibdeps found plus the fonts. Debian 13 renamed some libraries for
# its 64-bit time_t (libqt6core6 is libqt6core6t64 there): either name will do.
depends=$(field Depends)
for pkg in fonts-liberation libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//; s/t64$//' | grep -qx "$pkg" ||
        fail "Depends lacks $pkg: $depends"
done
# Recommends: Qt's Wayland plugin, for a session with Wayland alone.
field Recommends | grep -qw 'qt6-wayland' || fail "Recommends lacks qt6-wayland"

# Files: exactly these, owned by root.
listing=$(dpkg-deb -c "$deb")
echo "$listing"
files=$(echo "$listing" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$(printf '%s\n' ./usr/bin/pio-out ./usr/share/applications/$id.desktop \
    ./usr/share/icons/hicolor/32x32/apps/$id.png ./usr/share/icons/hicolor/48x48/apps/$id.png \
    ./usr/share/icons/hicolor/64x64/apps/$id.png ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/man/man1/pio-out.1.gz ./usr/share/doc/pio-out/copyright \
    ./usr/share/doc/pio-out/changelog.Debian.gz ./usr/share/lintian/overrides/pio-out \
    ./usr/lib/udev/rules.d/70-pio-out-usbrelay.rules | sort)
[ "$files" = "$expected" ] || fail "package files differ:
--- expected
$expected
--- packaged
$files"
echo "$listing" | awk '$2 != "root/root" { bad = 1 } END { exit bad }' || fail "files not owned by root/root"
# Modes: folders and the program 0755, every other file 0644.
bad_modes=$(echo "$listing" | awk '
    $1 ~ /^d/ { if ($1 != "drwxr-xr-x") print; next }
    $6 == "./usr/bin/pio-out" { if ($1 != "-rwxr-xr-x") print; next }
    $1 != "-rw-r--r--" { print }')
[ -z "$bad_modes" ] || fail "wrong modes (want 0755 for folders and the program, 0644 else):
$bad_modes"

# The Debian files: the changelog's entry is this very version, the copyright file is in
# the machine-readable format and holds the licence, the manual page is a gzipped roff page.
version=$(field Version)
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/pio-out/changelog.Debian.gz | gzip -dc |
    head -n 1 | grep -qx "pio-out ($version) [a-z]*; urgency=[a-z]*" ||
    fail "changelog.Debian.gz does not start with an entry for $version"
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/pio-out/copyright)
echo "$copyright" | head -n 1 |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not in the machine-readable format"
echo "$copyright" | grep -qx 'License: MIT' || fail "copyright names no MIT licence"
echo "$copyright" | grep -q '^ THE SOFTWARE IS PROVIDED "AS IS"' || fail "copyright lacks the licence text"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/pio-out.1.gz | gzip -dc |
    grep -q '^\.TH PIO\\-OUT 1 ' || fail "usr/share/man/man1/pio-out.1.gz is not the manual page"

# The program is stripped: no debug sections in the package.
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/pio-out >"$tmp"
if readelf -S "$tmp" | grep -q '\.debug_'; then fail "usr/bin/pio-out is not stripped"; fi

[ $status -eq 0 ] && echo "PASS: $deb"
exit $status
