#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Started with too few descriptors (ulimit -n) or too little address space (ulimit -v), the
program ends within seconds with exit code 1 and a start-up report on stderr that names the
real cause: "Zu viele Dateien geoeffnet" (EInOutError) or "Zu wenig Arbeitsspeicher"
(EOutOfMemory) - never "no display" while the display is fine, never a signal, never a hang.
Where enough descriptors are left for it, the report is also shown in a box ("Anwendungs-
fehler"), drawn, and the program ends once it is closed. Generous limits on both still start
the panel, so the check does not refuse everything."""
import subprocess
import tempfile
import time

import harness as h

FILES = ("Exception EInOutError im Modul pio-out bei 00000000.", "Zu viele Dateien geöffnet.")
MEMORY = ("Exception EOutOfMemory im Modul pio-out bei 00000000.", "Zu wenig Arbeitsspeicher.")
NO_DISPLAY = "Keine Verbindung zur Anzeige"

# (ulimit option, value, expected report, shown in a box too). -n 4 failed inside Qt as "no
# display", 5..8 made GLib abort; -v 80000 (KB) failed as "no display", 90000 and 100000 hung
# after a thread could not be started. 16 descriptors and 120000 KB were enough for Qt to come
# up with threads missing, and 16 or 20 are enough for a box; 3 descriptors or 60000 KB stop
# the dynamic loader before the program runs at all.
REFUSED = [("n", 4, FILES, False), ("n", 5, FILES, False), ("n", 6, FILES, False),
           ("n", 8, FILES, False), ("n", 16, FILES, True), ("n", 20, FILES, True),
           ("v", 80000, MEMORY, False), ("v", 90000, MEMORY, False),
           ("v", 100000, MEMORY, False), ("v", 120000, MEMORY, False)]
STARTS = [("n", 256), ("v", 400000)]


def start(binary, env, option, value, err=subprocess.PIPE):
    return h.spawn(["sh", "-c", f'ulimit -{option} {value} && exec "$0"', binary], env=env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)


def close_report_box(env, proc, label):
    """The report's box: a window of the program that is not the panel, with the start-up
    caption and its text drawn. Return closes it."""
    found = h.wait_until(lambda: proc.poll() is not None or h.visible_windows(env, pid=proc.pid),
                         h.DEADLINE, 0.05)
    h.check(found and proc.poll() is None, f"{label}: no box (exit {proc.poll()})")
    wid = found[0]
    h.box_face(env, wid)  # drawn, and holding still
    info = h.window_info(env, wid)
    h.check((info.width, info.height) != (340, 200), f"{label}: the panel opened")
    title = h.window_property(env, wid, "WM_NAME")
    h.check("Anwendungsfehler" in title, f"{label}: box title {title!r}")
    img = h.screenshot(env, window=wid)
    dark = sum(1 for x in range(60, img.width) for y in range(img.height * 3 // 5)
               if sum(img.pixel(x, y)) < 300)
    h.check(dark >= 100, f"{label}: the box shows no text ({dark} dark pixels)")
    h.run_tool(["xdotool", "windowfocus", "--sync", str(wid)], env)
    h.run_tool(["xdotool", "key", "Return"], env)
    print(f"{label}: box {info.width}x{info.height} {title.split('=', 1)[-1].strip()}, "
          f"closed with Return")


def refused(binary, env, option, value, report, box):
    label = f"ulimit -{option} {value}"
    t0 = time.monotonic()
    with tempfile.TemporaryFile() as err:
        proc = start(binary, env, option, value, err)
        try:
            if box:
                close_report_box(env, proc, label)
            proc.wait(timeout=h.DEADLINE)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{label}: still running after {h.DEADLINE:.0f} s (a hang, or "
                                 f"it started)")
        finally:
            h.kill_group(proc)
        err.seek(0)
        text = err.read().decode(errors="replace")
    took = time.monotonic() - t0
    print(f"{label}: exit {proc.returncode} after {took:.2f} s: "
          f"{' | '.join(text.strip().splitlines()[-2:])}")
    h.check(proc.returncode == 1, f"{label}: exit code {proc.returncode}, expected 1 "
                                  f"(negative: a signal); stderr: {text!r}")
    h.check(took < 8 if box else took < 5, f"{label}: took {took:.1f} s")
    h.check(NO_DISPLAY not in text, f"{label}: blames the display: {text!r}")
    h.check(report[0] in text and report[1] in text,
            f"{label}: stderr lacks the report {report}: {text!r}")
    h.check(text.find(report[0]) < text.find(report[1]), f"{label}: lines out of order")


def starts(binary, env, option, value):
    label = f"ulimit -{option} {value}"
    proc = start(binary, env, option, value)
    try:
        shown = h.wait_until(lambda: proc.poll() is not None
                             or h.visible_windows(env, pid=proc.pid), h.DEADLINE, 0.05)
        h.check(proc.poll() is None and shown,
                f"{label}: no panel (exit {proc.poll()}): "
                f"{proc.stderr.read().decode(errors='replace') if proc.poll() is not None else ''}")
        print(f"{label}: the panel started")
    finally:
        h.kill_group(proc)


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "xwd")
    # A sanitizer build maps terabytes of shadow memory at start: no address-space limit
    # lets it run at all, so only the descriptor limits are tried on it.
    memory = not h.sanitized(args.binary)
    if not memory:
        print("a sanitizer build: the address-space limits are left out")
    with h.Xvfb() as x:
        env = x.env()
        for option, value, report, box in REFUSED:
            if option == "n" or memory:
                refused(args.binary, env, option, value, report, box)
        for option, value in STARTS:
            if option == "n" or memory:
                starts(args.binary, env, option, value)


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
