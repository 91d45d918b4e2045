#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Started with too little stack (ulimit -s), the program refuses with "Zu wenig
Stapelspeicher" (EStackOverflow) on stderr and exit code 1 - before, it crashed with
SIGSEGV in fontconfig at the first paint (96 KB and less), or inside Qt even without a
display (24 KB and less), and said nothing. A stack of 1 MB still starts the panel. (Below
about 20 KB the dynamic loader itself may crash, before the program runs at all: with 16 KB
a third of the starts did, as many as the stack's random place leaves it short.)"""
import subprocess

import harness as h

REPORT = ("Exception EStackOverflow im Modul pio-out bei 00000000.", "Zu wenig Stapelspeicher.")


def start(binary, env, kb, err=subprocess.PIPE):
    return h.spawn(["sh", "-c", f'ulimit -s {kb} && exec "$0"', binary], env=env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)


def refused(binary, env, kb, label):
    proc = start(binary, env, kb)
    try:
        _, err = proc.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"{label}: still running after 30 s")
    finally:
        h.kill_group(proc)
    text = err.decode(errors="replace")
    print(f"{label}: exit {proc.returncode}: {' | '.join(text.strip().splitlines()[-2:])}")
    h.check(proc.returncode == 1, f"{label}: exit code {proc.returncode}, expected 1 "
                                  f"(negative: a signal): {text!r}")
    h.check(REPORT[0] in text and REPORT[1] in text, f"{label}: stderr lacks {REPORT}: {text!r}")
    h.check(text.find(REPORT[0]) < text.find(REPORT[1]), f"{label}: lines out of order")


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo")
    with h.Xvfb() as x:
        env = x.env()
        for kb in (96, 64, 32):
            refused(args.binary, env, kb, f"ulimit -s {kb}")
        refused(args.binary, h.clean_env(), 24, "ulimit -s 24, no display")
        proc = start(args.binary, env, 1024)
        try:
            shown = h.wait_until(lambda: proc.poll() is not None
                                 or h.visible_windows(env, pid=proc.pid), 10, 0.05)
            h.check(proc.poll() is None and shown, f"ulimit -s 1024: no panel "
                                                   f"(exit {proc.poll()})")
            print("ulimit -s 1024: the panel started")
        finally:
            h.kill_group(proc)


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
