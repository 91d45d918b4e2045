#!/usr/bin/env python3
"""Windows program under wine, LPT1 a FIFO: Alt+F4 while the running light runs ends the
program promptly with exit code 0, and the port output stops with it."""
import time

import winepanel as w

h = w.h


def main(args):
    with w.wine_panel(args) as (panel, r):
        try:
            panel.wait_window(20)
            t = h.start_light(panel, r)
            h.check(r.wait_byte(16, 2.0, after=t) is not None, "the running light did not start")
            time.sleep(0.25)
            panel.focus()
            t_key = time.monotonic()
            panel.key("alt+F4")
            rc = panel.wait_exit(3.0)
            took = time.monotonic() - t_key
            print(f"ended {1000 * took:.0f} ms after Alt+F4 was sent, exit code {rc}")
            h.check(rc is not None, "still running 3 s after Alt+F4 during the running light")
            h.check(took <= 1.0, f"took {1000 * took:.0f} ms to end, expected <= 1000 ms")
            h.check(rc == 0, f"exit code {rc}, expected 0")
            time.sleep(0.1)
            late = r.since(t_key + took + 0.02)
            h.check(not late, f"{len(late)} bytes after the program ended")
        except AssertionError:
            h.save_artifacts(args, "wine_close_during_light", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, w.parse_args(__doc__))
