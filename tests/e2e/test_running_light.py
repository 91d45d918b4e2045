#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The running light sweeps one channel to and fro: with port output on, the bytes run
8,16,32,64,128,64,32,16,8,4,8,... one step about every 100 ms."""
import statistics
import time

import harness as h

CYCLE = [8, 16, 32, 64, 128, 64, 32, 16, 8, 4]


def runs(events):
    """[(start time, value, count)] for the runs of equal bytes."""
    out = []
    for t, b in events:
        if out and out[-1][1] == b:
            out[-1][2] += 1
        else:
            out.append([t, b, 1])
    return out


def main(args):
    with h.launch(args, port="fifo") as (panel, r):
        try:
            t_on = h.start_light(panel, r)
            h.check(r.wait_byte(8, 2.0, after=t_on) is not None,
                    "no byte 8 within 2 s after switching the running light on")
            time.sleep(2.6)  # more than two periods of 10 steps
            events = r.since(t_on)
            seq = runs(events)
            values = [v for _, v, _ in seq]
            # Zeros until the light starts; then the sweep from 8 on.
            while values and values[0] == 0:
                values.pop(0)
                seq.pop(0)
            expect = [CYCLE[i % len(CYCLE)] for i in range(len(values))]
            h.check(len(values) >= 2 * len(CYCLE) + 1,
                    f"only {len(values)} steps in 2.6 s: {values}")
            h.check(values == expect, f"sweep {values}, expected {expect}")
            # Every full run (not the first, not the one still going) lasts one step.
            starts = [t for t, _, _ in seq]
            gaps = [b - a for a, b in zip(starts, starts[1:])]
            median = statistics.median(gaps)
            print(f"{len(values)} steps, gaps ms: median {1000 * median:.0f}, "
                  f"min {1000 * min(gaps):.0f}, max {1000 * max(gaps):.0f}; "
                  f"bytes a step: {[c for _, _, c in seq[1:-1]]}")
            h.check(0.090 <= median <= 0.130, f"median step {1000 * median:.0f} ms, "
                                              f"expected 90..130 ms")
            h.check(min(gaps) >= 0.05, f"a step of only {1000 * min(gaps):.0f} ms")
            # The port output keeps its cadence while the light runs.
            span = r.between(t_on + 0.5, t_on + 2.5)
            h.check(160 <= len(span) <= 220, f"{len(span)} bytes in 2 s while the light runs")
        except AssertionError:
            h.save_artifacts(args, "running_light", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
