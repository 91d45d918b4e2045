#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The panel's place: 321,112 wherever the 340x200 window fits there; on a smaller screen
it moves up and left by the least amount that makes it fit, and where the screen is narrower
(or lower) than the window it sits at the left (or top) edge and shows what fits. It opens mapped and painted on every one."""
import harness as h

W, H = 340, 200

# (screen width, height, expected window place)
SCREENS = [
    (1280, 1024, (321, 112)),
    (661, 312, (321, 112)),     # fits exactly: not moved
    (660, 400, (320, 112)),     # one pixel too narrow: one to the left
    (500, 250, (160, 50)),
    (320, 240, (0, 40)),        # narrower than the window: at the left edge, its left
                                # part shows; in height it fits, moved up by 72
    (320, 180, (0, 0)),         # smaller both ways: its top-left part
]


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xwd")
    for width, height, expected in SCREENS:
        with h.Xvfb(width=width, height=height) as x, \
                h.Panel(args.binary, x, namespace=False) as panel:
            label = f"{width}x{height}"
            try:
                wid = panel.wait_window()
                info = h.window_info(panel.env, wid)
                print(f"{label}: window at {info.x},{info.y}")
                h.check((info.x, info.y) == expected,
                        f"{label}: window at {info.x},{info.y}, expected {expected}")
                if width >= W and height >= H:
                    h.check(info.x + W <= width and info.y + H <= height,
                            f"{label}: part of the window is off the screen")
                # Painted where it shows: the grained face is not one colour.
                shot = h.screenshot(panel.env)
                seen_w, seen_h = min(W, width - info.x), min(H, height - info.y)
                colours = {shot.pixel(info.x + px, info.y + py)
                           for px in range(0, seen_w, 5) for py in range(0, seen_h, 5)}
                h.check(len(colours) > 3, f"{label}: the panel shows {len(colours)} colours")
                panel.close()
                rc = panel.wait_exit(h.DEADLINE)
                h.check(rc == 0, f"{label}: exit code {rc} after Alt+F4, expected 0")
            except AssertionError:
                h.save_artifacts(args, f"small_screen_{label}", panel.env, panel)
                raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
