#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Double clicks at machine speed on the running-light switch: 6000 clicks 1 ms apart on `vl`
with port output on. Each double click that comes while earlier lights still wait runs
inside them; the program must not run out of stack. Afterwards switch, word and port agree
with an even number of double clicks: the light is off, the `vl` LED looks as it did before,
and the port holds one steady byte, channel 1 or 2 (4 or 8). A single double click then still
starts the light, and Alt+F4 ends the program with exit code 0."""
import time

import harness as h

L = h.LAYOUT
CLICKS = 6000
BOX = 6  # half size of the area compared around the switch


def switch_area(panel):
    """The pixels around `vl` with the pointer off the panel (no hint over it)."""
    h.run_tool(["xdotool", "mousemove", "--sync", "5", "5"], panel.env, check_rc=False)
    time.sleep(0.4)
    x, y = L.switch("vl")
    return panel.grab().region(x - BOX, y - BOX, 2 * BOX + 1, 2 * BOX + 1)


def settle(reader, label, quiet=0.5):
    """Waits until the port has had the same byte for `quiet` seconds: the lights that were
    still waiting when the last one was switched off have ended their steps."""
    def settled():
        events = reader.events()
        if not events:
            return False
        last = events[-1][1]
        changed = max((t for t, b in events if b != last), default=events[0][0])
        return time.monotonic() - changed >= quiet
    h.check(h.wait_until(settled, h.DEADLINE, 0.05), f"{label}: the port byte keeps changing")


def steady(reader, seconds, label):
    t = time.monotonic()
    time.sleep(seconds)
    got = [b for _, b in reader.since(t)]
    h.check(len(got) >= seconds * 50, f"{label}: only {len(got)} bytes in {seconds} s")
    values = sorted(set(got))
    h.check(len(values) == 1 and values[0] in (4, 8),
            f"{label}: the port got {values}, expected one steady byte, 4 or 8")
    return values[0]


def main(args):
    with h.panel_with_port(args.binary) as (panel, reader):
        try:
            panel.wait_window()
            h.switch_port_on(panel, reader)
            off = switch_area(panel)

            sx, sy = panel.screen(*L.switch("vl"))
            h.run_tool(["xdotool", "mousemove", "--sync", str(sx), str(sy)], panel.env)
            t0 = time.monotonic()
            h.run_tool(["xdotool", "click", "--repeat", str(CLICKS), "--delay", "1", "1"],
                       panel.env, timeout=120)
            took = time.monotonic() - t0
            print(f"{CLICKS} clicks in {took:.1f} s; "
                  f"{len(reader.since(t0))} bytes meanwhile")
            h.check(panel.proc.poll() is None,
                    f"pio-out ended with {panel.proc.returncode} during the clicks: "
                    f"{panel.stderr_text().strip()[-1500:]}")

            # The lights still waiting below end after their current step; then the switch
            # shows the light off.
            h.check(h.wait_until(lambda: panel.proc.poll() is not None
                                 or switch_area(panel) == off, h.DEADLINE),
                    "the vl switch does not show the light as off")
            h.check(panel.proc.poll() is None,
                    f"pio-out ended with {panel.proc.returncode} after the clicks")
            settle(reader, "after the clicks")
            byte = steady(reader, 1.0, "after the clicks")
            print(f"after the clicks: light off, port steady at {byte}")

            # Still responsive: one double click runs the light, another stops it.
            t = time.monotonic()
            panel.double_click(*L.switch("vl"))
            moved = h.wait_until(lambda: len({b for _, b in reader.since(t + 0.05)}) >= 3,
                                 h.DEADLINE)
            h.check(moved, "the light does not run after a double click on vl")
            h.check(h.wait_until(lambda: switch_area(panel) != off, h.DEADLINE),
                    "the vl switch does not show the light as on")
            panel.double_click(*L.switch("vl"))
            h.check(h.wait_until(lambda: switch_area(panel) == off, h.DEADLINE),
                    "the vl switch does not show the light as off again")
            settle(reader, "light switched off again")
            steady(reader, 0.6, "light switched off again")

            panel.close()
            rc = panel.wait_exit(h.DEADLINE)
            h.check(rc == 0, f"exit code {rc} after Alt+F4, expected 0")
        except AssertionError:
            h.save_artifacts(args, "double_click_storm", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
