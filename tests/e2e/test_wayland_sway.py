#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The panel in a Wayland session (sway, headless): natively when there is only Wayland
(the compositor places it), through Xwayland when sway offers an X server beside it
(--xwayland). Either way a hint appears beside the pointer resting on a switch, a double
click switches port output on, a click on a channel reaches the port, and Alt+F4 ends the
program with exit code 0. The pointer is sway's virtual pointer, the keys come from wtype
(its virtual keyboard; under Xwayland from xdotool), the pictures from grim."""
import time

import harness as h
import wayland as w

TITLE = "pio-out"


def hint_shown(before: h.Image, after: h.Image, at) -> int:
    """Light pixels (a hint's background) that appeared below and right of the pointer."""
    x0, y0 = at
    count = 0
    for y in range(y0, min(y0 + 40, after.height)):
        for x in range(max(x0 - 20, 0), min(x0 + 160, after.width)):
            p = after.pixel(x, y)
            if min(p) > 200 and before.pixel(x, y) != p:
                count += 1
    return count


def main(args):
    h.require_root()
    h.require_tools("unshare", "wtype")
    with w.Sway(args.xwayland) as sway, h.tempfile.TemporaryDirectory(prefix="pio-e2e-") as tmp, \
            h.PortFifo(tmp) as port, \
            h.contextlib.closing(w.VirtualPointer(sway.socket)) as pointer, \
            h.Panel(args.binary, sway, port=port.path) as panel:
        # The pointer is there before the program, as a desktop's mouse is. (Qt 6.8's xcb
        # plugin keeps a pointer device that appears while it runs until the end: a leak.)
        def placed():
            return [r for name, r, _ in sway.windows() if name in (TITLE, "org.pioout.PioOut")
                    and r["width"] == panel.WIDTH and r["height"] == panel.HEIGHT]
        rect = h.wait_until(placed, h.DEADLINE)
        h.check(rect, f"no 340x200 panel among sway's windows: {sway.windows()}; "
                      f"{panel.stderr_text()}")
        left, top = rect[0]["x"], rect[0]["y"]
        x11 = h.visible_windows(sway.env(), name=f"^{TITLE}$") if args.xwayland else []
        print(f"panel at {left},{top} ({'Xwayland' if args.xwayland else 'Wayland'}); "
              f"X windows: {x11}")
        h.check(bool(x11) == args.xwayland,
                "the panel is an X window" if x11 else "the panel is no X window under Xwayland")

        # A hint beside the pointer resting on the display switch (its own delay, then
        # the picture): the program follows this pointer from here on.
        sx, sy = h.LAYOUT.switch("v5")
        before = sway.screenshot()
        # Motion that comes before the program has taken the pointer's focus is lost; so
        # the pointer comes to rest again, one pixel off, until the hint shows.
        shown = None
        for nudge in range(8):
            pointer.move(left + sx, top + sy + nudge % 2)
            shown = h.wait_until(lambda: hint_shown(before, sway.screenshot(),
                                                    (left + sx, top + sy)) > 100, 3.0, 0.2)
            if shown:
                break
        if not shown:
            sway.screenshot().save_png(f"{args.artifacts or tmp}/wayland-no-hint.png")
        h.check(shown, "no hint beside the pointer on the display switch")

        px, py = h.LAYOUT.switch("pout")
        pointer.double_click(left + px, top + py)
        h.check(port.reader.wait_count(5, 5.0), "port output on (double click): no bytes")
        cx, cy = h.LAYOUT.socket(1)
        t = time.monotonic()
        pointer.click(left + cx, top + cy)
        h.check(port.reader.wait_byte(0x04, 5.0, after=t) is not None,
                "channel 1 clicked: no byte 0x04 at the port")

        # Natively the keys come from sway's virtual keyboard (wtype). An X window under
        # Xwayland did not get them that way (Xwayland 22.1, Debian 12: not one key of
        # wtype's arrived, with or without pauses), so there they go in through Xwayland's
        # own XTEST.
        if args.xwayland:
            h.require_tools("xdotool")
            h.run_tool(["xdotool", "key", "alt+F4"], sway.env())
        else:
            sway.keys("-M", "alt", "-k", "F4", "-m", "alt")
        code = panel.wait_exit(h.DEADLINE)
        h.check(code == 0, f"Alt+F4: exit code {code}; {panel.stderr_text()}")


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__, extra=lambda p: p.add_argument(
        "--xwayland", action="store_true", help="sway with Xwayland")))
