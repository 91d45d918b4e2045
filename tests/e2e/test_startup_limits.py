#!/usr/bin/env python3
"""Started with too few descriptors (ulimit -n) or too little address space (ulimit -v), the
program ends within seconds with exit code 1 and a start-up report on stderr that names the
real cause: "Zu viele Dateien geoeffnet" (EInOutError) or "Zu wenig Arbeitsspeicher"
(EOutOfMemory) - never "no display" while the display is fine, never a signal, never a hang.
Generous limits on both still start the panel, so the check does not refuse everything."""
import subprocess
import time

import harness as h

FILES = ("Exception EInOutError im Modul pio-out bei 00000000.", "Zu viele Dateien geöffnet.")
MEMORY = ("Exception EOutOfMemory im Modul pio-out bei 00000000.", "Zu wenig Arbeitsspeicher.")
NO_DISPLAY = "Keine Verbindung zur Anzeige"

# (ulimit option, value, expected report). -n 4 failed inside Qt as "no display", 5..8 made
# GLib abort; -v 80000 (KB) failed as "no display", 90000 and 100000 hung after a thread could
# not be started. 16 descriptors and 120000 KB were enough for Qt to come up with threads
# missing; 3 descriptors or 60000 KB stop the dynamic loader before the program runs at all.
REFUSED = [("n", 4, FILES), ("n", 5, FILES), ("n", 6, FILES), ("n", 8, FILES),
           ("n", 16, FILES),
           ("v", 80000, MEMORY), ("v", 90000, MEMORY), ("v", 100000, MEMORY),
           ("v", 120000, MEMORY)]
STARTS = [("n", 256), ("v", 400000)]


def start(binary, env, option, value):
    return h.spawn(["sh", "-c", f'ulimit -{option} {value} && exec "$0"', binary], env=env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def refused(binary, env, option, value, report):
    label = f"ulimit -{option} {value}"
    t0 = time.monotonic()
    proc = start(binary, env, option, value)
    try:
        _, err = proc.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        h.kill_group(proc)
        raise AssertionError(f"{label}: still running after 10 s (a hang, or it started)")
    finally:
        h.kill_group(proc)
    took = time.monotonic() - t0
    text = err.decode(errors="replace")
    print(f"{label}: exit {proc.returncode} after {took:.2f} s: "
          f"{' | '.join(text.strip().splitlines()[-2:])}")
    h.check(proc.returncode == 1, f"{label}: exit code {proc.returncode}, expected 1 "
                                  f"(negative: a signal); stderr: {text!r}")
    h.check(took < 5, f"{label}: took {took:.1f} s")
    h.check(NO_DISPLAY not in text, f"{label}: blames the display: {text!r}")
    h.check(report[0] in text and report[1] in text,
            f"{label}: stderr lacks the report {report}: {text!r}")
    h.check(text.find(report[0]) < text.find(report[1]), f"{label}: lines out of order")


def starts(binary, env, option, value):
    label = f"ulimit -{option} {value}"
    proc = start(binary, env, option, value)
    try:
        shown = h.wait_until(lambda: proc.poll() is not None
                             or h.visible_windows(env, pid=proc.pid), 10, 0.05)
        h.check(proc.poll() is None and shown,
                f"{label}: no panel (exit {proc.poll()}): "
                f"{proc.stderr.read().decode(errors='replace') if proc.poll() is not None else ''}")
        print(f"{label}: the panel started")
    finally:
        h.kill_group(proc)


def main(args):
    h.require_tools("Xvfb", "xdotool")
    # A sanitizer build maps terabytes of shadow memory at start: no address-space limit
    # lets it run at all, so only the descriptor limits are tried on it.
    memory = not h.sanitized(args.binary)
    if not memory:
        print("a sanitizer build: the address-space limits are left out")
    with h.Xvfb() as x:
        env = x.env()
        for option, value, report in REFUSED:
            if option == "n" or memory:
                refused(args.binary, env, option, value, report)
        for option, value in STARTS:
            if option == "n" or memory:
                starts(args.binary, env, option, value)


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
