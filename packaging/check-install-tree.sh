#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks what a desktop needs from it: the
# program, the menu entry, the icon in three sizes and the AppStream data, consistent with
# each other, the manual page and the licence, and nothing else. Then removes it all again
# with the uninstall script, by the manifest that the installation wrote.
# Usage: check-install-tree.sh CMAKE BUILD_DIR STAGE_DIR BINDIR DATADIR MANDIR DOCDIR UNINSTALL
set -eu
cmake=$1 build=$2 stage=$3 bindir=$4 datadir=$5 mandir=$6 docdir=$7 uninstall=$8
id=org.pioout.PioOut
status=0
fail() { echo "FAIL: $*"; status=1; }

rm -rf "$stage"
"$cmake" --install "$build" --prefix "$stage" >/dev/null

# Exactly these files, nothing more (no libraries, headers or test programs).
expected=$(printf '%s\n' "$bindir/pio-out" "$datadir/applications/$id.desktop" \
    "$datadir/icons/hicolor/32x32/apps/$id.png" "$datadir/icons/hicolor/48x48/apps/$id.png" \
    "$datadir/icons/hicolor/64x64/apps/$id.png" "$datadir/metainfo/$id.metainfo.xml" \
    "$mandir/man1/pio-out.1.gz" "$docdir/copyright" | sort)
actual=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
--- expected
$expected
--- installed
$actual"

[ -x "$stage/$bindir/pio-out" ] || fail "$bindir/pio-out is missing or not executable"

desktop="$stage/$datadir/applications/$id.desktop"
if [ -f "$desktop" ]; then
    key() { sed -n "s/^$1=//p" "$desktop"; }
    exec_prog=$(key Exec | cut -d' ' -f1)
    [ "$exec_prog" = pio-out ] || fail "Exec runs '$exec_prog', not pio-out"
    [ -x "$stage/$bindir/$exec_prog" ] || fail "Exec program $exec_prog is not installed"
    [ "$(key Icon)" = "$id" ] || fail "Icon is '$(key Icon)', not $id"
    [ "$(key StartupWMClass)" = pio-out ] || fail "StartupWMClass is not pio-out"
    [ "$(key Terminal)" = false ] || fail "Terminal is not false"
    key 'Comment\[de\]' | grep -q . || fail "no German Comment"
fi

# Each icon is a PNG whose header gives the size of the folder it is in.
be32() { od -An -tu1 -j"$2" -N4 "$1" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }'; }
for size in 32 48 64; do
    png="$stage/$datadir/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$png" ] || continue
    magic=$(od -An -tx1 -N16 "$png" | tr -d ' \n')
    case $magic in
        89504e470d0a1a0a0000000d49484452) ;;
        *) fail "${size}x${size} icon is not a PNG (starts with '$magic')"; continue ;;
    esac
    tail -c 8 "$png" | od -An -tx1 | tr -d ' \n' | grep -qx 49454e44ae426082 ||
        fail "${size}x${size} icon does not end with an IEND chunk (cut short?)"
    w=$(be32 "$png" 16) h=$(be32 "$png" 20)
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "${size}x${size} icon is ${w}x${h}"
done

meta="$stage/$datadir/metainfo/$id.metainfo.xml"
if [ -f "$meta" ]; then
    grep -q "<id>$id</id>" "$meta" || fail "metainfo id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$meta" ||
        fail "metainfo does not launch $id.desktop"
    grep -q "<binary>pio-out</binary>" "$meta" || fail "metainfo does not provide pio-out"
fi

gzip -dc "$stage/$mandir/man1/pio-out.1.gz" | grep -q '^\.TH PIO\\-OUT 1 ' ||
    fail "$mandir/man1/pio-out.1.gz is not the manual page"
grep -q '^License: MIT$' "$stage/$docdir/copyright" || fail "$docdir/copyright names no MIT licence"

# The uninstall script removes exactly what the manifest lists: nothing is left but folders.
manifest="$build/install_manifest.txt"
listed=$(sed "s|^$stage/||" "$manifest" | sort)
[ "$listed" = "$expected" ] || fail "install_manifest.txt does not list what was installed:
$listed"
"$cmake" -DMANIFEST="$manifest" -P "$uninstall" >/dev/null || fail "the uninstall script failed"
left=$(cd "$stage" && find . -type f -o -type l)
[ -z "$left" ] || fail "left behind after uninstalling:
$left"

[ $status -eq 0 ] && echo "PASS: install tree in $stage, and uninstalled again"
exit $status
