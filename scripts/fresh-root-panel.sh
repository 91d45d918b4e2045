#!/bin/sh
# SPDX-License-Identifier: MIT
# Run by scripts/test-in-fresh-root.sh inside the fresh root, from the clone: starts
# ./scripts/run-panel (which installs, builds and starts the panel) on a virtual screen,
# waits for the panel's 340x200 window, prints where it stands, photographs the screen into
# the PNG file given, then closes the panel. Exit 0 when the window appeared.
set -eu
png=$1
. scripts/deps.sh
install_missing xvfb xauth x11-utils python3

if [ -z "${PIO_PANEL_ON_XVFB:-}" ]; then
    export PIO_PANEL_ON_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" sh "$0" "$@"
fi

./scripts/run-panel >/tmp/run-panel.out 2>&1 &
panel=$!
# The first start builds the release preset: minutes on a slow machine.
deadline=$(($(date +%s) + 3600))
until xwininfo -root -children 2>/dev/null | grep -q '"pio-out": (.* 340x200+'; do
    if [ "$(date +%s)" -gt "$deadline" ] || ! kill -0 "$panel" 2>/dev/null; then
        tail -n 40 /tmp/run-panel.out
        echo "FAIL: no 340x200 window named pio-out"
        exit 1
    fi
    sleep 0.5
done
sleep 1 # the first paint
grep -Ev '^\[ *[0-9]+%\] |^-- ' /tmp/run-panel.out || true
echo "window: $(xwininfo -root -children | grep '"pio-out": (')"
python3 -B -c 'import os, sys
sys.path.insert(0, "tests/e2e")
import harness
harness.screenshot(dict(os.environ)).save_png(sys.argv[1])' "$png"
echo "screenshot: $png"
kill "$panel"
rc=0
wait "$panel" || rc=$?
echo "pio-out ended with exit $rc after SIGTERM"
