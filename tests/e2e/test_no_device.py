#!/usr/bin/env python3
"""Without /dev/parport0, switching port output on opens one stop box ("pio-out",
"Datei nicht gefunden."); once it is closed no other box follows while output stays on, and
Alt+F4 still ends the program with exit code 0."""
import time

import harness as h

L = h.LAYOUT


def boxes(panel):
    """The program's visible top-level windows other than the panel."""
    return [w for w in panel.windows() if w.id != panel.window]


def is_reddish(p):
    r, g, b = p
    return r > 150 and r > g + 60 and r > b + 60


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "xwd", "unshare")
    h.require_root()
    with h.Xvfb() as x, h.Panel(args.binary, x, port=None, namespace=True) as panel:
        try:
            panel.wait_window()
            time.sleep(0.3)
            h.check(not boxes(panel), "a box is open before pout was switched on")

            panel.double_click(*L.switch("pout"))
            found = h.wait_until(lambda: boxes(panel), 3.0, 0.05)
            h.check(found, "no message box within 3 s after switching pout on without a port")
            # It stays one box: refreshes go on every 10 ms, none may open another.
            for _ in range(10):
                time.sleep(0.1)
                now = boxes(panel)
                h.check(len(now) == 1, f"{len(now)} boxes open: {now}")
            box = now[0]
            print(f"box {box.id:#x}: {box.width}x{box.height} at {box.x},{box.y}")
            h.check((box.width, box.height) != (340, 200), f"the box is panel-sized: {box}")
            title = h.window_property(panel.env, box.id, "WM_NAME")
            h.check(title.endswith('= "pio-out"'), f"box title {title!r}, expected pio-out")
            transient = h.window_property(panel.env, box.id, "WM_TRANSIENT_FOR")
            h.check(f"{panel.window:#x}" in transient,
                    f"the box is not transient for the panel: {transient!r}")

            # Its contents: more than a blank window, with the red of a stop icon.
            img = h.screenshot(panel.env, window=box.id)
            colours = {img.pixel(px, py) for px in range(img.width) for py in range(img.height)}
            h.check(len(colours) > 10, f"the box shows only {len(colours)} colours")
            red = sum(1 for px in range(img.width // 3) for py in range(img.height)
                      if is_reddish(img.pixel(px, py)))
            h.check(red >= 30, f"no stop icon: {red} red pixels in the left third of the box "
                               f"(a greyed icon means the box is disabled)")

            # Close it with the keyboard: OK is the default button.
            panel.focus(box.id)
            panel.key("Return")
            gone = h.wait_until(lambda: box.id not in [w.id for w in boxes(panel)], 2.0, 0.05)
            h.check(gone, "the box did not close on Return (focus on the box)")

            # pout is still on: no new box, also over the next 2 s.
            end = time.monotonic() + 2.0
            while time.monotonic() < end:
                again = boxes(panel)
                h.check(not again, f"another box opened after the first was closed: {again}")
                time.sleep(0.1)

            panel.close()
            rc = panel.wait_exit(5)
            h.check(rc is not None, "Alt+F4 did not end the program within 5 s")
            h.check(rc == 0, f"exit code after Alt+F4 is {rc}, expected 0")
        except AssertionError:
            h.save_artifacts(args, "no_device", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
