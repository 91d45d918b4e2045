#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Clicks on a socket, its number or its LED toggle that channel; the channel LEDs show the
channels only while the display switch (v5) is on."""
import time

import harness as h

L = h.LAYOUT


def led_states(img):
    """{n: "lit" | "dark" | "?"} for the six channel LEDs, plus the raw means."""
    states, means = {}, {}
    for n in range(1, 7):
        rgb = h.led_mean(img, (0, 0), L.led(n))
        means[n] = tuple(round(c) for c in rgb)
        states[n] = "lit" if h.LED_LIT(rgb) else "dark" if h.LED_DARK(rgb) else "?"
    return states, means


def expect_leds(panel, lit, what, timeout=h.DEADLINE):
    """Waits until exactly the channels in `lit` show lit and all others dark."""
    want = {n: ("lit" if n in lit else "dark") for n in range(1, 7)}
    last = {}

    def ok():
        states, means = led_states(panel.grab())
        last["states"], last["means"] = states, means
        return states == want

    h.check(h.wait_until(ok, timeout, 0.05),
            f"{what}: LEDs {last.get('states')} (means {last.get('means')}), expected "
            f"lit {sorted(lit)}")


def stays_leds(panel, lit, what, duration=0.4):
    """The LEDs keep showing `lit` for `duration` and at its end (a wrong change would show
    up)."""
    end = time.monotonic() + duration
    while time.monotonic() < end:
        expect_leds(panel, lit, what, timeout=0)
        time.sleep(0.1)
    expect_leds(panel, lit, what, timeout=0)


def main(args):
    with h.launch(args, tools=("xwd",)) as (panel, _):
        try:
            panel.wait_window()
            time.sleep(0.3)
            expect_leds(panel, set(), "at start")
            before = panel.grab()

            # Display off: a channel switched on does not light its LED.
            panel.click(*L.socket(2))
            stays_leds(panel, set(), "channel 2 on while the display is off")

            # Display on: the channel already set shows at once; the switch LED changes.
            panel.double_click(*L.switch("v5"))
            expect_leds(panel, {2}, "display switched on with channel 2 set")
            sx, sy = L.switch("v5")
            h.check(not panel.grab().crop_equal(before, sx - 5, sy - 5, 11, 11),
                    "the v5 switch LED looks the same after switching it on")

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
            stays_leds(panel, {1, 4, 6}, "after the double click on a4")

            # A single click on a switch does nothing.
            time.sleep(0.6)
            panel.click(*L.switch("v5"))
            stays_leds(panel, {1, 4, 6}, "single click on v5", duration=0.6)

            # Display off again: all dark although channels are set.
            time.sleep(0.6)
            panel.double_click(*L.switch("v5"))
            expect_leds(panel, set(), "display switched off")
        except AssertionError:
            h.save_artifacts(args, "clicks", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
