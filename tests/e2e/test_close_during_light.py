#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Alt+F4 while the running light runs ends the program with exit code 0, and the port
output stops with it. How soon it ends is a figure of the benchmarks (bench/, `close`); here
only a hang fails."""
import time

import harness as h


def main(args):
    with h.launch(args, port="fifo") as (panel, r):
        try:
            t = h.start_light(panel, r)
            # The light runs: its second step (16) has reached the port.
            h.check(r.wait_byte(16, h.DEADLINE, after=t) is not None,
                    "the running light did not start")
            time.sleep(0.25)
            panel.focus()
            t_key = time.monotonic()
            panel.key("alt+F4")
            rc = panel.wait_exit(h.DEADLINE)
            took = time.monotonic() - t_key
            print(f"ended {1000 * took:.0f} ms after Alt+F4 was sent, exit code {rc}")
            h.check(rc is not None,
                    f"still running {h.DEADLINE:.0f} s after Alt+F4 during the running light")
            h.check(rc == 0, f"exit code {rc}, expected 0")
            # Its bytes still in the FIFO are read right after; whatever arrives later than
            # 100 ms after its end came from something that outlived it.
            time.sleep(0.5)
            late = r.since(t_key + took + 0.1)
            h.check(not late, f"{len(late)} bytes after the program ended")
        except AssertionError:
            h.save_artifacts(args, "close_during_light", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
