#!/bin/sh
# SPDX-License-Identifier: MIT
# check-zip.sh CPACK CPACK_CONFIG WORKDIR: builds the Windows zip and checks that it holds
# exactly the program, the read-me and the licence, side by side at its top level, and that
# the licence is the MIT licence with Windows line ends.
set -eu
cpack=$1 config=$2 work=$3
rm -rf "$work"
"$cpack" -G ZIP -B "$work" --config "$config" >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
set -- "$work"/pio-out-*.zip
[ -f "$1" ] || { echo "no zip in $work"; ls -l "$work"; exit 1; }
listing=$(cd "$work" && cmake -E tar tf "$1" | sort | tr '\n' ' ')
echo "$(basename "$1"): $listing"
[ "$listing" = "LICENSE.txt LIESMICH.txt pio-out.exe " ] || { echo "unexpected contents"; exit 1; }
licence=$(cd "$work" && cmake -E tar xf "$1" LICENSE.txt && cat LICENSE.txt)
echo "$licence" | head -n 1 | grep -qx "MIT License$(printf '\r')" ||
    { echo "LICENSE.txt is not the MIT licence with CRLF line ends"; exit 1; }
echo "$licence" | grep -q 'Copyright (c) [0-9]* The pio-out authors' ||
    { echo "LICENSE.txt names no copyright holder"; exit 1; }
