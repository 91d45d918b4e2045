#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The bytes that reach the port: nothing before port output (pout) is switched on, then one
byte per 10 ms refresh carrying the channels (channel n -> bit n+1), nothing once it is off."""
import time

import harness as h

L = h.LAYOUT


def collapse(values):
    out = []
    for v in values:
        if not out or out[-1] != v:
            out.append(v)
    return out


def settle_on(reader, value, after, what, timeout=h.DEADLINE):
    """Waits for `value` to arrive after `after`; then every byte for 0.3 s must be `value`."""
    t = reader.wait_byte(value, timeout, after=after)
    seen = collapse(b for _, b in reader.since(after))
    h.check(t is not None, f"{what}: byte {value} did not arrive within {timeout} s "
                           f"(bytes since: {seen[:20]})")
    time.sleep(0.3)
    tail = [b for _, b in reader.since(t)]
    h.check(len(tail) >= 15, f"{what}: only {len(tail)} bytes in 0.3 s after {value}")
    h.check(set(tail) == {value}, f"{what}: after {value} came {collapse(tail)}")
    return t


def main(args):
    with h.launch(args, port="fifo", tools=("xwd",)) as (panel, r):
        try:
            panel.wait_window()
            pout_off = h.switch_face(panel, "pout")
            time.sleep(0.5)
            h.check(r.count() == 0, f"{r.count()} bytes written before pout was switched on")

            # A single click on the switch does nothing.
            panel.click(*L.switch("pout"))
            time.sleep(0.6)
            h.check(r.count() == 0, f"a single click on pout started output ({r.count()} B)")

            t_click = time.monotonic()
            panel.double_click(*L.switch("pout"))
            h.check(r.wait_count(1, h.DEADLINE), "no byte after switching pout on")
            first = r.events()[0][0]
            print(f"first byte {1000 * (first - t_click):.0f} ms after the double click")
            time.sleep(2.4)
            window = r.between(first + 0.2, first + 2.2)
            h.check(80 * 2 <= len(window) <= 110 * 2,
                    f"{len(window)} bytes in 2 s, expected 160..220 (about 100 a second)")
            values = {b for _, b in r.events()}
            h.check(values == {0}, f"with no channel on the bytes were {sorted(values)}")
            print(f"{len(window) / 2:.1f} bytes/s with pout on")

            # Channel 3 -> 1 << (3 + 1) = 16.
            t = time.monotonic()
            panel.click(*L.socket(3))
            settle_on(r, 16, t, "channel 3 on")

            # Channels 1, 6 added and 3 removed: 16 -> 20 -> 148 -> 132, each byte waited for
            # before the next click (two clicks taken between two refreshes would skip one).
            t = time.monotonic()
            for n, byte in ((1, 20), (6, 148)):
                t_click = time.monotonic()
                panel.click(*L.socket(n))
                h.check(r.wait_byte(byte, h.DEADLINE, after=t_click) is not None,
                        f"channel {n} clicked: byte {byte} did not arrive")
            panel.click(*L.socket(3))
            settle_on(r, 132, t, "channels 1 and 6 on")
            steps = collapse(b for _, b in r.since(t))
            h.check(steps == [16, 20, 148, 132],
                    f"clicks a1, a6, a3 gave the bytes {steps}, expected [16, 20, 148, 132]")

            # pout off: the bytes stop. Once the switch shows it off the panel has taken the
            # double click, and no cycle writes after it; what arrives later than 50 ms after
            # that is a byte too many.
            time.sleep(0.6)
            t_click = time.monotonic()
            panel.double_click(*L.switch("pout"))
            h.wait_switch(panel, "pout", pout_off, "pout off")
            t_off = time.monotonic()
            time.sleep(1.0)
            late = r.since(t_off + 0.05)
            h.check(not late, f"{len(late)} bytes arrived later than 50 ms after pout showed "
                              f"off (last {1000 * (late[-1][0] - t_off):.0f} ms after)"
                    if late else "")
            last = r.quiet_since()
            print(f"pout showed off {1000 * (t_off - t_click):.0f} ms after the double click was "
                  f"sent; last byte {1000 * (last - t_click):.0f} ms after it")
        except AssertionError:
            h.save_artifacts(args, "port_bytes", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
