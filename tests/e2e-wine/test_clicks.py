#!/usr/bin/env python3
"""Windows program under wine: clicks on a socket, its number or its LED toggle that
channel; the channel LEDs show the channels only while the display switch (v5) is on."""
import time

import winepanel as w

h = w.h

L = h.LAYOUT


def expect_leds(panel, lit, what, timeout=2.0):
    """Waits until exactly the channels in `lit` show lit and all others dark."""
    want = {n: n in lit for n in range(1, 7)}
    last = {}

    def ok():
        img = panel.grab()
        means = {n: h.led_mean(img, (0, 0), L.led(n)) for n in range(1, 7)}
        last["means"] = {n: tuple(round(c) for c in m) for n, m in means.items()}
        return all((h.LED_LIT(m) if want[n] else h.LED_DARK(m)) for n, m in means.items())

    h.check(h.wait_until(ok, timeout, 0.05),
            f"{what}: LED means {last.get('means')}, expected lit {sorted(lit)}")


def main(args):
    with w.wine_panel(args, port=False) as (panel, _):
        try:
            panel.wait_window(20)
            time.sleep(0.3)
            expect_leds(panel, set(), "at start")
            # Display off: a channel switched on does not light its LED.
            panel.click(*L.socket(2))
            time.sleep(0.4)
            expect_leds(panel, set(), "channel 2 on while the display is off", timeout=0)
            panel.double_click(*L.switch("v5"))
            expect_leds(panel, {2}, "display switched on with channel 2 set")
            panel.click(*L.socket(2))
            expect_leds(panel, set(), "socket a2 clicked again")
            panel.click(*L.socket(3))
            expect_leds(panel, {3}, "socket a3 clicked")
            panel.click(*L.tag(3))
            expect_leds(panel, set(), "number 3 clicked")
            panel.click(*L.led(6))
            expect_leds(panel, {6}, "LED p6 clicked")
            panel.click(*L.tag(1))
            expect_leds(panel, {1, 6}, "number 1 clicked")
            # A double click on a channel toggles it once, not twice.
            time.sleep(0.6)
            panel.double_click(*L.socket(4))
            expect_leds(panel, {1, 4, 6}, "socket a4 double-clicked")
            time.sleep(0.4)
            expect_leds(panel, {1, 4, 6}, "after the double click on a4", timeout=0)
            # A single click on a switch does nothing; a double click on v5 hides the LEDs.
            time.sleep(0.6)
            panel.click(*L.switch("v5"))
            time.sleep(0.6)
            expect_leds(panel, {1, 4, 6}, "single click on v5", timeout=0)
            time.sleep(0.6)
            panel.double_click(*L.switch("v5"))
            expect_leds(panel, set(), "display switched off")
        except AssertionError:
            h.save_artifacts(args, "wine_clicks", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, w.parse_args(__doc__))
