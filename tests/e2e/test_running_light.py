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
            t8 = r.wait_byte(8, h.DEADLINE, after=t_on)
            h.check(t8 is not None, "no byte 8 after switching the running light on")

            def light():
                """The runs of equal bytes from the light's first step on (zeros before)."""
                seq = runs(r.since(t_on))
                while seq and seq[0][1] == 0:
                    seq.pop(0)
                return seq

            # More than two periods of 10 steps, and the 2 s of bytes looked at below.
            h.wait_until(lambda: len(light()) >= 2 * len(CYCLE) + 1
                         and r.quiet_since() >= t8 + 2.1, h.DEADLINE, 0.05)
            seq = light()
            values = [v for _, v, _ in seq]
            expect = [CYCLE[i % len(CYCLE)] for i in range(len(values))]
            h.check(len(values) >= 2 * len(CYCLE) + 1,
                    f"only {len(values)} steps in {h.DEADLINE:.0f} s: {values}")
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
            # The light keeps to its 100 ms grid: a step that came late (a loaded machine, or
            # the reader late to see it) is followed by one that comes early. A short gap is
            # only wrong where the two together make less than two steps: a step too many.
            for i, gap in enumerate(gaps):
                if gap < 0.05:
                    pair = gap + (gaps[i - 1] if i else 0)
                    h.check(pair >= 0.15, f"a step of only {1000 * gap:.0f} ms, "
                                          f"{1000 * pair:.0f} ms with the one before")
            # The port output keeps its cadence while the light runs (it ran 2 s and more).
            span = r.between(t8 + 0.1, t8 + 2.1)
            h.check(160 <= len(span) <= 220, f"{len(span)} bytes in 2 s while the light runs")
        except AssertionError:
            h.save_artifacts(args, "running_light", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
