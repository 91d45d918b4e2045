#!/bin/sh
# SPDX-License-Identifier: MIT
# check-zip.sh CPACK CPACK_CONFIG WORKDIR: builds the Windows zip and checks that it holds
# exactly the program and the read-me, side by side at its top level.
set -eu
cpack=$1 config=$2 work=$3
rm -rf "$work"
"$cpack" -G ZIP -B "$work" --config "$config" >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
set -- "$work"/pio-out-*.zip
[ -f "$1" ] || { echo "no zip in $work"; ls -l "$work"; exit 1; }
listing=$(cd "$work" && cmake -E tar tf "$1" | sort | tr '\n' ' ')
echo "$(basename "$1"): $listing"
[ "$listing" = "LIESMICH.txt pio-out.exe " ] || { echo "unexpected contents"; exit 1; }
