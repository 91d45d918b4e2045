#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Scaling factors the panel cannot be shown at (QT_SCALE_FACTOR 0, nan, -1, 1000;
QT_SCREEN_SCALE_FACTORS 1000) are left unused with a line on stderr, and the panel opens at
its own size - before, 0 and nan gave no window and a program that went on running, -1 and
1000 a window 65376 or 32767 pixels wide. A screen of 8 bits (256 colours) is refused with
"Zu geringe Farbtiefe der Anzeige" and exit code 1 - before, the panel stayed blank with a
"QPainter not active" warning at every paint; 16 bits still start the panel."""
import subprocess

import harness as h

IGNORED = "wird nicht beachtet"
DEPTH = ("Exception EOSError im Modul pio-out bei 00000000.",
         "Zu geringe Farbtiefe der Anzeige.")


def bad_factor(binary, x, variable, value):
    label = f"{variable}={value}"
    with h.Panel(binary, x, namespace=False, env={variable: value}) as panel:
        panel.wait_window()  # the panel's own 340 x 200, or it fails
        h.check(h.wait_until(lambda: IGNORED in panel.stderr_text(), h.DEADLINE, 0.05),
                f"{label}: nothing said: {panel.stderr_text()!r}")
        line = next(l for l in panel.stderr_text().splitlines() if IGNORED in l)
        h.check(variable in line and f"„{value}“" in line, f"{label}: {line!r}")
        print(f"{label}: the panel at 340 x 200; {line}")


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo")
    with h.Xvfb() as x:
        for value in ("0", "nan", "-1", "1000"):
            bad_factor(args.binary, x, "QT_SCALE_FACTOR", value)
        bad_factor(args.binary, x, "QT_SCREEN_SCALE_FACTORS", "1000")
    with h.Xvfb(depth=8) as x:
        proc = h.spawn([args.binary], env=x.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            _, err = proc.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            raise AssertionError("8-bit screen: still running after 30 s")
        finally:
            h.kill_group(proc)
        text = err.decode(errors="replace")
        print(f"8-bit screen: exit {proc.returncode}: {text.strip().splitlines()[-2:]}")
        h.check(proc.returncode == 1, f"8-bit screen: exit code {proc.returncode}: {text!r}")
        h.check(DEPTH[0] in text and DEPTH[1] in text, f"8-bit screen: {text!r}")
        h.check("QPainter" not in text, f"8-bit screen: painted anyway: {text!r}")
    with h.Xvfb(depth=16) as x, h.Panel(args.binary, x, namespace=False) as panel:
        panel.wait_window()
        h.check("QPainter" not in panel.stderr_text(), panel.stderr_text())
        print("16-bit screen: the panel started")


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
