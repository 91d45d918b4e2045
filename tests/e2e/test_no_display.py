#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Started without a display (DISPLAY unset, or naming a display nobody serves) the program
reports the failure on stderr and ends with exit code 1 - no crash, no abort."""
import os
import subprocess
import tempfile
import time

import harness as h

LINE1 = "Exception EOSError im Modul pio-out bei 00000000."
LINE2 = "Keine Verbindung zur Anzeige."


def run_without_display(binary: str, display) -> None:
    env = h.clean_env()
    if display is not None:
        env["DISPLAY"] = display
    label = f"DISPLAY={display}" if display is not None else "DISPLAY unset"
    with tempfile.TemporaryDirectory(prefix="pio-e2e-") as tmp:
        t0 = time.monotonic()
        proc = h.spawn([binary], env=env, cwd=tmp, stdin=subprocess.DEVNULL,
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            out, err = proc.communicate(timeout=h.DEADLINE)
        except subprocess.TimeoutExpired:
            h.kill_group(proc)
            raise AssertionError(f"{label}: still running after {h.DEADLINE:.0f} s")
        finally:
            h.kill_group(proc)
        took = time.monotonic() - t0
        err_text = err.decode(errors="replace")
        print(f"{label}: exit {proc.returncode} after {took:.2f} s; stderr: {err_text!r}")
        h.check(proc.returncode == 1,
                f"{label}: exit code {proc.returncode}, expected exactly 1 "
                f"(negative = killed by a signal); stderr: {err_text!r}")
        h.check(LINE1 in err_text, f"{label}: stderr lacks {LINE1!r}: {err_text!r}")
        h.check(LINE2 in err_text, f"{label}: stderr lacks {LINE2!r}: {err_text!r}")
        h.check(err_text.find(LINE1) < err_text.find(LINE2),
                f"{label}: the two lines are out of order: {err_text!r}")
        h.check(not os.listdir(tmp) or all(not f.startswith("core") for f in os.listdir(tmp)),
                f"{label}: left a core file: {os.listdir(tmp)}")


def main(args):
    run_without_display(args.binary, None)
    run_without_display(args.binary, h.dead_display())


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
