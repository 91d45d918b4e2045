#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs lintian, Debian's package checker, on the package in the given folder. It passes when
# lintian reports no error and no warning; what is overridden on purpose (the package's own
# lintian/overrides/pio-out, each with its reason) is shown but does not count. Information
# and pedantic tags are shown for a look, and do not fail it either.
# Usage: check-lintian.sh DEB_DIR
set -eu
dir=$1
command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
set -- "$dir"/pio-out_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "FAIL: want one pio-out_*.deb in $dir, found: $*"; exit 1; }
deb=$1

# lintian warns when run as root; tests run as root in CI, and it only reads the package.
out=$(lintian --pedantic --show-overrides "$deb" 2>&1) && rc=0 || rc=$?
echo "lintian $(lintian --version | sed 's/^[^0-9]*//') on $deb (exit $rc):"
echo "$out"
bad=$(echo "$out" | grep -E '^[EW]: ' || true)
if [ -n "$bad" ]; then
    echo "FAIL: lintian reports errors or warnings:"
    echo "$bad"
    exit 1
fi
# Exit non-zero without an E: or W: line is lintian itself failing (an unreadable package).
[ $rc -eq 0 ] || { echo "FAIL: lintian exited with $rc"; exit 1; }
echo "PASS: lintian finds no error and no warning in $deb"
